// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Generators of test texts: plain texts with and without digits, cipher text,
// and digit runs built from whole and broken codes, which are the inputs where
// a fast pass is most likely to part ways with the 61 plain steps.

#include <kelvane/alphabet.h>
#include <kelvane/codebook.h>
#include <random>
#include <string>

namespace kelvane::testing {

// Pass-through units that a text box can hold: controls, NUL, punctuation
// outside the alphabet, non-ASCII letters and both halves of a surrogate pair.
inline constexpr std::u16string_view passThrough = u"\n\r\t-:;'/\u00e9\u20ac\u4e2d\xd83d\xde00";
inline constexpr std::u16string_view digits = u"0123456789";

inline char16_t pick(std::mt19937& rng, std::u16string_view from)
{
    return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(rng)];
}

// Returns a text of `length` units, mostly alphabet characters, with
// pass-through units and NUL, and digits when `withDigits` is set.
inline std::u16string plainText(std::mt19937& rng, std::size_t length, bool withDigits)
{
    std::u16string text;
    std::uniform_int_distribution<int> kind(0, 9);
    for (std::size_t i = 0; i < length; ++i) {
        const int k = kind(rng);
        if (k < 6)
            text += pick(rng, CipherAlphabet::characters());
        else if (k < 8 || !withDigits)
            text += k == 7 ? u'\0' : pick(rng, passThrough);
        else
            text += pick(rng, k == 8 ? digits : std::u16string_view(u"9"));
    }
    return text;
}

// Returns a run built from whole codes of `codebook`, pieces of codes, and
// stray digits (9s above all), so that codes meet at every possible offset.
inline std::u16string codeSoup(std::mt19937& rng, const Codebook& codebook, std::size_t pieces)
{
    std::u16string text;
    std::uniform_int_distribution<std::size_t> position(0, CipherAlphabet::size - 1);
    std::uniform_int_distribution<int> kind(0, 9);
    for (std::size_t i = 0; i < pieces; ++i) {
        const auto code = codebook.code(position(rng));
        const int k = kind(rng);
        if (k < 5) {
            text += code;
        } else if (k < 7) {
            std::uniform_int_distribution<std::size_t> cut(1, code.size() - 1);
            const auto at = cut(rng);
            text += k == 5 ? code.substr(0, at) : code.substr(at);
        } else if (k < 9) {
            text += pick(rng, k == 7 ? digits : std::u16string_view(u"99-\n"));
        } else {
            text += pick(rng, CipherAlphabet::characters());
        }
    }
    return text;
}

} // namespace kelvane::testing
