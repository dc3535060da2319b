// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "internal/passtables.h"

#include <algorithm>
#include <kelvane/codebook.h>

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
// The static_asserts below verify these rules at compile time.
#include "codebook_data.inc"

using Codes = std::array<std::u16string_view, CipherAlphabet::size>;

constexpr std::array<const Codes*, 10> codesByKey = {
    &codesOfKey1, &codesOfKey2, &codesOfKey3, &codesOfKey4, &codesOfKey5,
    &codesOfKey6, &codesOfKey7, &codesOfKey8, &codesOfKey9, &codesOfKey10,
};

constexpr std::array<detail::PassTables, 10> passTables = [] {
    std::array<detail::PassTables, 10> tables;
    for (std::size_t k = 0; k < tables.size(); ++k)
        tables[k] = detail::PassTables::build(*codesByKey[k]);
    return tables;
}();

constexpr std::array<Codebook, 10> table = {
    Codebook{keyNumbers[0], codesOfKey1, passTables[0]},
    Codebook{keyNumbers[1], codesOfKey2, passTables[1]},
    Codebook{keyNumbers[2], codesOfKey3, passTables[2]},
    Codebook{keyNumbers[3], codesOfKey4, passTables[3]},
    Codebook{keyNumbers[4], codesOfKey5, passTables[4]},
    Codebook{keyNumbers[5], codesOfKey6, passTables[5]},
    Codebook{keyNumbers[6], codesOfKey7, passTables[6]},
    Codebook{keyNumbers[7], codesOfKey8, passTables[7]},
    Codebook{keyNumbers[8], codesOfKey9, passTables[8]},
    Codebook{keyNumbers[9], codesOfKey10, passTables[9]},
};

constexpr std::array<std::size_t, 10> longLengths = {9, 7, 8, 10, 9, 8, 8, 9, 9, 9};
constexpr std::size_t firstShort = 26; // the space, then '.', ',' and '?'

// The first rule of the construction that a codebook breaks, in the order
// they are checked; each rule may rely on those before it.
enum class Fault
{
    none,
    notMarkerForm,
    wrongLength,
    shortCodesDiffer,
    equalCodes,
    prefixCode,
    noPerfectHash,
    tablesDisagree,
};

// Returns true for the digits that may follow the leading 9 of a code.
constexpr bool isCodeTailDigit(char16_t c)
{
    return c >= u'0' && c <= u'8';
}

// A fault and where it is: the key number, the character whose code breaks a
// rule and, for two codes, the other character (0 where none applies).
struct FaultAt
{
    Fault fault = Fault::none;
    std::size_t keyNumber = 0;
    char character = 0;
    char other = 0;
};

// Returns the first fault of the codebook of key index `k`.
constexpr FaultAt faultOf(std::size_t k)
{
    const Codes& codes = *codesByKey[k];
    const auto isShort = [](std::size_t i) { return i >= firstShort && i < firstShort + 4; };
    const auto at = [k](Fault fault, std::size_t i, std::optional<std::size_t> j = {}) {
        return FaultAt{fault, k + 1, static_cast<char>(CipherAlphabet::at(i)),
                       j ? static_cast<char>(CipherAlphabet::at(*j)) : '\0'};
    };
    for (std::size_t i = 0; i < codes.size(); ++i) {
        const auto code = codes[i];
        if (code.empty() || code[0] != u'9' ||
            !std::all_of(code.begin() + 1, code.end(), isCodeTailDigit))
            return at(Fault::notMarkerForm, i);
    }
    for (std::size_t i = 0; i < codes.size(); ++i) {
        if (codes[i].size() != (isShort(i) ? Codebook::shortCodeLength : longLengths[k]))
            return at(Fault::wrongLength, i);
        if (isShort(i) && codes[i] != codesOfKey1[i])
            return at(Fault::shortCodesDiffer, i);
    }
    for (std::size_t i = 0; i < codes.size(); ++i) {
        for (std::size_t j = i + 1; j < codes.size(); ++j) {
            if (codes[j] == codes[i])
                return at(Fault::equalCodes, i, j);
        }
    }
    for (std::size_t i = 0; i < codes.size(); ++i) {
        for (std::size_t j = 0; j < codes.size(); ++j) {
            if (j != i && codes[i].starts_with(codes[j]))
                return at(Fault::prefixCode, i, j);
        }
    }
    const detail::PassTables& tables = passTables[k];
    if (!tables.perfect)
        return FaultAt{Fault::noPerfectHash, k + 1};
    // The lookup tables must map every code back to its own character.
    for (std::size_t i = 0; i < codes.size(); ++i) {
        const auto code = codes[i];
        const detail::Window w = detail::portableWindow(code.data(), code.data() + code.size());
        const detail::CodeMatch found = tables.match(w.lo, w.hi);
        if (found.character != static_cast<char>(CipherAlphabet::at(i)) ||
            found.length != code.size())
            return at(Fault::tablesDisagree, i);
    }
    return {};
}

// Returns the first fault of the first codebook that has one.
constexpr FaultAt firstFault()
{
    for (std::size_t k = 0; k < table.size(); ++k) {
        if (const FaultAt found = faultOf(k); found.fault != Fault::none)
            return found;
    }
    return {};
}

// Stops the build on a fault. The compiler names the instantiation that
// failed, and with it the key number and the characters where the fault is.
template <Fault fault, std::size_t keyNumber, char character, char other>
constexpr bool codebooksAreSound()
{
    static_assert(fault != Fault::notMarkerForm,
                  "a codebook has a code that is not a 9 followed by the digits 0 to 8 (the code "
                  "of `character` under key `keyNumber`)");
    static_assert(fault != Fault::wrongLength,
                  "a codebook has a code of the wrong length (short codes have 4 digits, long "
                  "codes the key's long-code length; the code of `character` under key "
                  "`keyNumber`)");
    static_assert(fault != Fault::shortCodesDiffer,
                  "a codebook's short codes differ from those of key 1 (the code of `character` "
                  "under key `keyNumber`)");
    static_assert(fault != Fault::equalCodes,
                  "a codebook has two equal codes (those of `character` and `other` under key "
                  "`keyNumber`)");
    static_assert(fault != Fault::prefixCode,
                  "a codebook has a code that begins with another of its codes (that of "
                  "`character` begins with that of `other` under key `keyNumber`)");
    static_assert(fault != Fault::noPerfectHash,
                  "no multiplier tried puts a codebook's long codes in slots of their own (those "
                  "of key `keyNumber`)");
    static_assert(fault != Fault::tablesDisagree,
                  "a codebook's lookup tables do not map every code back to its character (the "
                  "code of `character` under key `keyNumber`)");
    return true;
}

constexpr FaultAt fault = firstFault();
static_assert(codebooksAreSound<fault.fault, fault.keyNumber, fault.character, fault.other>());

} // namespace

std::optional<std::pair<char16_t, std::size_t>> Codebook::codeAt(std::u16string_view text,
                                                                 std::size_t pos) const
{
    if (pos >= text.size() || text[pos] != u'9')
        return std::nullopt;
    const detail::Window w = detail::portableWindow(text.data() + pos, text.data() + text.size());
    const detail::CodeMatch found = tables_->match(w.lo, w.hi);
    if (found.length == 0)
        return std::nullopt;
    return std::pair{static_cast<char16_t>(found.character), found.length};
}

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
