// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "substitution.h"

#include "passkernels.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace kelvane {

namespace {

// Returns the alphabet character at `position` as a one-character view into
// the constant alphabet, so that passes need no storage of their own.
constexpr std::u16string_view characterText(std::size_t position)
{
    return CipherAlphabet::characters().substr(position, 1);
}

// Returns the fastest kernel this machine runs.
detail::Isa bestIsa()
{
    return detail::availableIsas().back();
}

} // namespace

std::u16string replaceAll(std::u16string_view text, std::u16string_view find,
                          std::u16string_view replacement)
{
    if (find.empty())
        return std::u16string(text);
    std::u16string result;
    result.reserve(text.size());
    std::size_t pos = 0;
    for (auto hit = text.find(find); hit != std::u16string_view::npos; hit = text.find(find, pos)) {
        result.append(text.substr(pos, hit - pos));
        result.append(replacement);
        pos = hit + find.size();
    }
    result.append(text.substr(pos));
    return result;
}

SubstitutionPass encryptionPass(const Codebook& codebook)
{
    SubstitutionPass pass;
    for (std::size_t i = 0; i < pass.size(); ++i)
        pass[i] = {characterText(i), codebook.code(i)};
    return pass;
}

SubstitutionPass decryptionPass(const Codebook& codebook)
{
    SubstitutionPass pass;
    for (std::size_t i = 0; i < pass.size(); ++i)
        pass[i] = {codebook.code(i), characterText(i)};
    return pass;
}

std::u16string runPass(std::u16string_view text, const SubstitutionPass& pass)
{
    std::u16string result(text);
    for (const SubstitutionStep& step : pass)
        result = replaceAll(result, step.find, step.replacement);
    return result;
}

// Encryption in one walk equals the 61 steps: every find string is a single
// alphabet character and every replacement is digits, which no step finds, so
// no step creates or destroys a match of another; each alphabet character ends
// up replaced by its code, and every other unit stays in place.
std::u16string encryptText(std::u16string_view text, const Codebook& codebook)
{
    return detail::transformAll(text, codebook, Direction::encrypt, bestIsa());
}

// Decryption in one walk equals the 61 steps for every input, not only for
// cipher text of the same key. Codes are a 9 followed by digits 0 to 8, and the
// code set is prefix-free (codebook.cpp). For each 9 of the input call its
// segment the 9 with the run of digits 0 to 8 behind it. Then:
//
// - A code can only match at a 9, and only inside that 9's segment, since its
//   other digits are no 9s; so at most one code matches at each 9, the one
//   that is a prefix of the segment, and matches at different 9s never overlap.
// - Replacing a match puts a non-digit where the 9 was and leaves every other
//   segment as it was: the units that follow a segment (a 9, a non-digit or
//   the end) still end it, and a replaced match ends with a non-digit.
//
// By induction over the steps, after step i every 9 whose segment begins with
// one of the codes 1 to i has become that code's character and nothing else
// has changed; the left-to-right scan of step i finds all of its matches since
// they cannot overlap. After step 61 that holds for all codes, which is what
// the walk in passkernels.cpp computes: at each 9, replace the code that
// begins there.
std::u16string decryptText(std::u16string_view text, const Codebook& codebook)
{
    return detail::transformAll(text, codebook, Direction::decrypt, bestIsa());
}

std::string encryptText(std::string_view text, const Codebook& codebook)
{
    return detail::transformAll(text, codebook, Direction::encrypt, bestIsa());
}

std::string decryptText(std::string_view text, const Codebook& codebook)
{
    return detail::transformAll(text, codebook, Direction::decrypt, bestIsa());
}

bool roundTrips(std::string_view text, const Codebook& codebook)
{
    return detail::noCodeBegins(text, codebook, bestIsa());
}

std::u16string transform(std::u16string_view text, const Codebook& codebook, Direction direction)
{
    return direction == Direction::encrypt ? encryptText(text, codebook)
                                           : decryptText(text, codebook);
}

// In the cipher text of `text`, every token's segment begins with the token
// itself, since what follows it is a code's 9, a pass-through unit or digits
// that were in `text`; so every token comes back. A 9 that was in `text` has
// the same segment in the cipher text as in `text` (an alphabet character
// ends it in both: as a non-digit here, as a code's 9 there). The round trip
// fails exactly when such a segment begins with a code, which the scan below
// checks on `text` directly.
bool roundTrips(std::u16string_view text, const Codebook& codebook)
{
    for (auto pos = text.find(u'9'); pos != std::u16string_view::npos;
         pos = text.find(u'9', pos + 1)) {
        if (codebook.codeAt(text, pos))
            return false;
    }
    return true;
}

namespace {

// The counts are taken 8 units at a time in portable vector lanes; each lane
// counts up to `laneRun` units before the lanes are added up.
using Lanes = std::uint16_t __attribute__((vector_size(16)));
constexpr std::size_t laneWidth = sizeof(Lanes) / sizeof(char16_t);
constexpr std::size_t laneRun = 4096;

// Returns all ones in the lanes that hold a space, '.', ',' or '?'.
Lanes shortCodedIn(Lanes c)
{
    return (Lanes)((c == ' ') | (c == '.') | (c == ',') | (c == '?'));
}

// Returns all ones in the lanes that hold any other alphabet character: a
// letter, '!', '"', '(', ')' or '@'.
Lanes longCodedIn(Lanes c)
{
    const Lanes letter = (c | 0x20) - 'a';
    const Lanes bang = c - '!';
    const Lanes parenthesis = c - '(';
    return (Lanes)((letter < 26) | (bang < 2) | (parenthesis < 2) | (c == '@'));
}

} // namespace

// Every unit stays one unit long except the alphabet characters, which grow
// to their codes: the space, '.', ',' and '?' to 4 units in every codebook
// (codebook.cpp checks that at compile time), the others to the key's
// long-code length.
UnitCounts countUnits(std::u16string_view text)
{
    UnitCounts counts{text.size()};
    std::size_t i = 0;
    while (text.size() - i >= laneWidth) {
        Lanes shortCoded{};
        Lanes longCoded{};
        const std::size_t end =
            i + std::min(text.size() - i, laneRun * laneWidth) / laneWidth * laneWidth;
        for (; i < end; i += laneWidth) {
            Lanes c;
            std::memcpy(&c, text.data() + i, sizeof c);
            shortCoded -= shortCodedIn(c);
            longCoded -= longCodedIn(c);
        }
        for (std::size_t k = 0; k < laneWidth; ++k) {
            counts.shortCoded += shortCoded[k];
            counts.longCoded += longCoded[k];
        }
    }
    if (i < text.size()) { // the last units, beside lanes of 0, which counts for neither
        Lanes c{};
        std::memcpy(&c, text.data() + i, (text.size() - i) * sizeof(char16_t));
        const Lanes shortCoded = shortCodedIn(c);
        const Lanes longCoded = longCodedIn(c);
        for (std::size_t k = 0; k < laneWidth; ++k) {
            counts.shortCoded += shortCoded[k] & 1;
            counts.longCoded += longCoded[k] & 1;
        }
    }
    return counts;
}

std::size_t encryptedSize(const UnitCounts& counts, const Codebook& codebook)
{
    return counts.units + counts.shortCoded * (Codebook::shortCodeLength - 1) +
           counts.longCoded * (codebook.longCodeLength() - 1);
}

std::size_t encryptedSize(std::u16string_view text, const Codebook& codebook)
{
    return encryptedSize(countUnits(text), codebook);
}

} // namespace kelvane
