// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "codebook.h"

#include <algorithm>

namespace kelvane {

namespace {

// How the codes meet the invariants (tools/make_codebooks.py writes them):
//
// Every code is the marker digit 9 followed only by the digits 0 to 8. The
// short codes are 4 digits long and the same in every codebook; within one
// codebook the long codes share one length, are distinct, and none of them
// begins with the digits of a short code. So within a codebook:
//
// 1. Distinct: the long codes are distinct by construction, the short codes
//    are distinct, and a short code differs from every long code in length.
// 2. Substring-free: an occurrence of a code starts with a 9, and the only 9
//    in any code is its first digit, so one code inside another would be a
//    prefix of it. Equal lengths and distinct means no prefix among the long
//    codes or among the short codes, and no long code begins with a short one.
// 3. Aligned: in a concatenation of codes, every 9 is the first digit of a
//    token, so a code can occur only at the start of a token; there the
//    prefix-free set leaves only the token itself to match.
// 4. Reversible: follows from 1 to 3 (see substitution.cpp).
//
// checkConstruction() below verifies these rules at compile time.
#include "codebook_data.inc"

constexpr std::array<Codebook, 10> table = {
    Codebook{keyNumbers[0], codesOfKey1}, Codebook{keyNumbers[1], codesOfKey2},
    Codebook{keyNumbers[2], codesOfKey3}, Codebook{keyNumbers[3], codesOfKey4},
    Codebook{keyNumbers[4], codesOfKey5}, Codebook{keyNumbers[5], codesOfKey6},
    Codebook{keyNumbers[6], codesOfKey7}, Codebook{keyNumbers[7], codesOfKey8},
    Codebook{keyNumbers[8], codesOfKey9}, Codebook{keyNumbers[9], codesOfKey10},
};

constexpr std::array<std::size_t, 10> longLengths = {9, 7, 8, 10, 9, 8, 8, 9, 9, 9};
constexpr std::size_t firstShort = 26; // the space, then '.', ',' and '?'

// Returns true when every codebook follows the construction described above.
constexpr bool checkConstruction()
{
    for (std::size_t k = 0; k < table.size(); ++k) {
        const Codebook& book = table[k];
        if (book.longCodeLength() != longLengths[k])
            return false;
        for (std::size_t i = 0; i < CipherAlphabet::size; ++i) {
            const auto code = book.code(i);
            const bool isShort = i >= firstShort && i < firstShort + 4;
            if (code.size() != (isShort ? Codebook::shortCodeLength : longLengths[k]))
                return false;
            if (isShort && code != table[0].code(i))
                return false;
            if (code[0] != u'9' ||
                !std::all_of(code.begin() + 1, code.end(), detail::isCodeTailDigit))
                return false;
            for (std::size_t j = 0; j < CipherAlphabet::size; ++j) {
                if (j != i && book.code(j).starts_with(code))
                    return false;
            }
            // The lookup tables must map the code back to its own character.
            const auto found = book.codeAt(code, 0);
            if (!found || found->first != CipherAlphabet::at(i) || found->second != code.size())
                return false;
        }
    }
    return true;
}

static_assert(checkConstruction(), "a codebook breaks the marker-digit construction");

} // namespace

std::span<const Codebook, 10> codebookTable()
{
    return table;
}

const Codebook* findCodebook(std::u16string_view keyText)
{
    const auto found = std::find(keyNumbers.begin(), keyNumbers.end(), keyText);
    if (found == keyNumbers.end())
        return nullptr;
    return &table[static_cast<std::size_t>(found - keyNumbers.begin())];
}

} // namespace kelvane
