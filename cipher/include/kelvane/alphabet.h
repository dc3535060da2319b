// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace kelvane {

// The ordered 61 characters that the cipher encodes. Their order is the step
// order of both substitution passes; every other 16-bit unit passes through.
class CipherAlphabet
{
public:
    static constexpr std::size_t size = 61;

    // Returns the alphabet as one text, in step order.
    static constexpr std::u16string_view characters()
    {
        return u"abcdefghijklmnopqrstuvwxyz .,?ABCDEFGHIJKLMNOPQRSTUVWXYZ!\"()@";
    }

    // Returns the character at a zero-based position (0 to 60).
    static constexpr char16_t at(std::size_t position) { return characters()[position]; }

    // Returns the zero-based position of `c`, or nullopt for a pass-through character.
    static constexpr std::optional<std::size_t> positionOf(char16_t c)
    {
        const auto found = characters().find(c);
        if (found == std::u16string_view::npos)
            return std::nullopt;
        return found;
    }

    // Returns true when `c` is one of the 61 alphabet characters.
    static constexpr bool contains(char16_t c) { return positionOf(c).has_value(); }
};

static_assert(CipherAlphabet::characters().size() == CipherAlphabet::size);

// The ten key numbers, in the order the key list shows them. A key text is a
// key number only when it equals one of these exactly.
inline constexpr std::array<std::u16string_view, 10> keyNumbers = {u"1", u"2", u"3", u"4", u"5",
                                                                   u"6", u"7", u"8", u"9", u"10"};

} // namespace kelvane
