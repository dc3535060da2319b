// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "alphabet.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

namespace kelvane {

namespace detail {

// Returns true for the digits that may follow the leading 9 of a code.
constexpr bool isCodeTailDigit(char16_t c)
{
    return c >= u'0' && c <= u'8';
}

// The code that a window of text begins with: its character and length, or
// a length of 0 when no code begins there.
struct CodeMatch
{
    char character = 0;
    std::size_t length = 0;
};

// The tables that the fast passes read, derived from one codebook's codes.
//
// Encrypting writes each ASCII unit's code, or the unit itself, with one
// fixed-width store of `padded` units and then advances by its length.
//
// Decrypting looks at a window of 16 units that starts at a 9. The window is
// narrowed to bytes (a unit above 255 becomes a byte that is no digit) and
// read as two little-endian words, `lo` for bytes 0 to 7 and `hi` for 8 to 15.
// A code begins there exactly when the window's first 4 bytes equal a short
// code, or its first longLength bytes equal a long code. No long code begins
// with a short code, so at most one of the two can match, and match() looks
// both up without a branch: the short codes by comparison, the long codes in
// a perfect hash table, whose multiplier the constructor picks so that no two
// long codes share a slot.
struct PassTables
{
    static constexpr std::size_t padded = 16;
    static constexpr std::size_t slotBits = 10;
    static constexpr std::size_t slotCount = std::size_t{1} << slotBits;

    struct LongCode
    {
        std::uint64_t lo = 0;
        std::uint64_t hi = 0;
        char character = 0;
    };

    std::array<std::uint8_t, 128> lengths{};
    std::array<std::array<char, padded>, 128> codes8{};
    std::array<std::array<char16_t, padded>, 128> codes16{};
    std::array<std::uint32_t, 4> shortKeys{};
    std::array<char, 16> shortByMask{}; // by the bit mask of the matching short key
    std::size_t longLength = 0;
    std::uint64_t loMask = 0;
    std::uint64_t hiMask = 0;
    std::uint64_t multiplier = 0;
    std::array<LongCode, 64> longCodes{}; // entry 0 marks an empty slot
    std::array<std::uint8_t, slotCount> slots{};

    // Returns the padded codes for units of type `Unit`.
    template <class Unit>
    constexpr const std::array<std::array<Unit, padded>, 128>& codes() const
    {
        if constexpr (sizeof(Unit) == 1)
            return codes8;
        else
            return codes16;
    }

    constexpr std::size_t slotOf(std::uint64_t lo, std::uint64_t hi) const
    {
        return static_cast<std::size_t>(((lo ^ (hi << 56 | hi >> 8)) * multiplier) >>
                                        (64 - slotBits));
    }

    // Returns the code that the window `lo`, `hi` begins with; its first byte
    // must be a 9 (entry 0 of longCodes, all zeros, then matches nothing).
    constexpr CodeMatch match(std::uint64_t lo, std::uint64_t hi) const
    {
        const auto first = static_cast<std::uint32_t>(lo);
        const unsigned mask =
            unsigned{first == shortKeys[0]} | unsigned{first == shortKeys[1]} << 1 |
            unsigned{first == shortKeys[2]} << 2 | unsigned{first == shortKeys[3]} << 3;
        lo &= loMask;
        hi &= hiMask;
        const LongCode& entry = longCodes[slots[slotOf(lo, hi)]];
        const bool isLong = (entry.lo == lo) & (entry.hi == hi);
        const char character =
            static_cast<char>(shortByMask[mask] | (isLong ? entry.character : 0));
        const std::size_t length = (mask != 0 ? 4 : 0) | (isLong ? longLength : 0);
        return {character, length};
    }

    // Fills longCodes and slots with a multiplier under which no two of the
    // `count` long codes share a slot (a table that is not perfect fails the
    // compile-time check in codebook.cpp).
    constexpr void placeLongCodes(std::size_t count)
    {
        for (std::uint64_t candidate = 0x9E3779B97F4A7C15u; candidate != 0;
             candidate += 0x5851F42D4C957F2Eu) {
            multiplier = candidate | 1;
            slots = {};
            bool perfect = true;
            for (std::size_t i = 1; i <= count && perfect; ++i) {
                auto& slot = slots[slotOf(longCodes[i].lo, longCodes[i].hi)];
                perfect = slot == 0;
                slot = static_cast<std::uint8_t>(i);
            }
            if (perfect)
                return;
        }
    }
};

// Returns the bytes of `units` (at most 16) as a window: lo, hi.
constexpr std::pair<std::uint64_t, std::uint64_t> windowOf(std::u16string_view units)
{
    std::uint64_t words[2] = {0, 0};
    for (std::size_t i = 0; i < units.size() && i < 16; ++i) {
        const std::uint64_t byte = units[i] < 256 ? units[i] : 0xFF;
        words[i / 8] |= byte << (8 * (i % 8));
    }
    return {words[0], words[1]};
}

} // namespace detail

// One key's 61 codes of decimal digits, in alphabet order. Codebooks are
// constants that live for the whole run; the lookup tables that the passes
// use are derived from the codes at compile time.
class Codebook
{
public:
    static constexpr std::size_t shortCodeLength = 4;

    constexpr Codebook(std::u16string_view keyNumber,
                       const std::array<std::u16string_view, CipherAlphabet::size>& codes)
        : key_(keyNumber), codes_(codes), longLength_(codes[0].size())
    {
        auto& t = tables_;
        t.longLength = longLength_;
        t.loMask =
            longLength_ >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * longLength_)) - 1;
        t.hiMask = longLength_ <= 8 ? 0 : (std::uint64_t{1} << (8 * (longLength_ - 8))) - 1;
        for (std::size_t c = 0; c < 128; ++c) {
            t.lengths[c] = 1;
            t.codes8[c][0] = static_cast<char>(c);
            t.codes16[c][0] = static_cast<char16_t>(c);
        }
        std::size_t shortCount = 0;
        std::size_t longCount = 0;
        for (std::size_t i = 0; i < CipherAlphabet::size; ++i) {
            const char16_t c = CipherAlphabet::at(i);
            const auto code = codes[i];
            encodeSlots_[c] = static_cast<std::uint8_t>(i + 1);
            t.lengths[c] = static_cast<std::uint8_t>(code.size());
            for (std::size_t k = 0; k < code.size(); ++k) {
                t.codes8[c][k] = static_cast<char>(code[k]);
                t.codes16[c][k] = code[k];
            }
            const auto [lo, hi] = detail::windowOf(code);
            if (code.size() == shortCodeLength) {
                t.shortKeys[shortCount] = static_cast<std::uint32_t>(lo);
                t.shortByMask[std::size_t{1} << shortCount++] = static_cast<char>(c);
            } else {
                t.longCodes[++longCount] = {lo, hi, static_cast<char>(c)};
            }
        }
        t.placeLongCodes(longCount);
    }

    // Returns the key number this codebook belongs to ("1" to "10").
    constexpr std::u16string_view keyNumber() const { return key_; }

    // Returns the length shared by the 57 long codes.
    constexpr std::size_t longCodeLength() const { return longLength_; }

    // Returns the code at a zero-based alphabet position (0 to 60).
    constexpr std::u16string_view code(std::size_t position) const { return codes_[position]; }

    // Returns all 61 codes in alphabet order.
    constexpr std::span<const std::u16string_view> codes() const { return codes_; }

    // Returns the code of `c`, or an empty view when `c` is a pass-through character.
    constexpr std::u16string_view codeOf(char16_t c) const
    {
        if (c >= encodeSlots_.size() || encodeSlots_[c] == 0)
            return {};
        return codes_[encodeSlots_[c] - 1];
    }

    // Returns the character whose code begins `text` at `pos`, with the code's
    // length, or nullopt when no code begins there.
    constexpr std::optional<std::pair<char16_t, std::size_t>> codeAt(std::u16string_view text,
                                                                     std::size_t pos) const
    {
        if (text[pos] != u'9')
            return std::nullopt;
        const auto [lo, hi] = detail::windowOf(text.substr(pos, detail::PassTables::padded));
        const auto found = tables_.match(lo, hi);
        if (found.length == 0)
            return std::nullopt;
        return std::pair{static_cast<char16_t>(found.character), found.length};
    }

    // Returns the tables that the fast passes read.
    constexpr const detail::PassTables& passTables() const { return tables_; }

private:
    std::u16string_view key_;
    std::array<std::u16string_view, CipherAlphabet::size> codes_;
    std::size_t longLength_;
    std::array<std::uint8_t, 128> encodeSlots_{};
    detail::PassTables tables_{};
};

// Returns the ten codebooks in key-number order.
std::span<const Codebook, 10> codebookTable();

// Returns the codebook whose key number equals `keyText` exactly, or nullptr.
const Codebook* findCodebook(std::u16string_view keyText);

} // namespace kelvane
