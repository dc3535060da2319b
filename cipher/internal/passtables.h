// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <kelvane/alphabet.h>
#include <kelvane/codebook.h>
#include <string_view>
#include <type_traits>

namespace kelvane::detail {

// The code that a window of text begins with: its character and length, or
// a length of 0 when no code begins there.
struct CodeMatch
{
    char character = 0;
    std::size_t length = 0;
};

// Up to 16 units from a 9 on, narrowed to bytes and read as two little-endian
// words, `lo` for units 0 to 7 and `hi` for 8 to 15, with a bit mask of the
// units that are 9s.
struct Window
{
    std::uint64_t lo = 0;
    std::uint64_t hi = 0;
    unsigned nines = 0;
};

// Returns the window at `p` unit by unit; units past `end` read as 0 and a
// unit above 255 as 0xFF, neither of which is a digit.
template <class Unit>
constexpr Window portableWindow(const Unit* p, const Unit* end)
{
    Window w;
    std::uint64_t words[2] = {0, 0};
    const auto n = static_cast<std::size_t>(std::min<std::ptrdiff_t>(end - p, 16));
    for (std::size_t i = 0; i < n; ++i) {
        std::uint64_t byte = static_cast<std::make_unsigned_t<Unit>>(p[i]);
        if constexpr (sizeof(Unit) > 1)
            byte = byte < 256 ? byte : 0xFF;
        words[i / 8] |= byte << (8 * (i % 8));
        w.nines |= unsigned{byte == '9'} << i;
    }
    w.lo = words[0];
    w.hi = words[1];
    return w;
}

// The tables that the fast passes read, derived from one codebook's codes.
//
// Encrypting writes each ASCII unit's code, or the unit itself, with one
// fixed-width store of `padded` units and then advances by its length.
//
// Decrypting looks at the Window that starts at a 9. A code begins there
// exactly when the window's first 4 bytes equal a short code, or its first
// longLength bytes equal a long code. No long code begins with a short code,
// so at most one of the two can match, and match() looks both up without a
// branch: the short codes by comparison, the long codes in a perfect hash
// table, whose multiplier placeLongCodes() picks so that no two long codes
// share a slot.
struct PassTables
{
    static constexpr std::size_t padded = 16;
    static constexpr std::size_t shortCount = 4;
    static constexpr std::size_t longCapacity = 63;
    static constexpr std::size_t slotBits = 10;
    static constexpr std::size_t slotCount = std::size_t{1} << slotBits;
    // How many multipliers placeLongCodes() tries; the ten codebooks need far
    // fewer, and a table with two equal long codes has no perfect multiplier.
    static constexpr std::size_t multiplierTries = 256;

    struct LongCode
    {
        std::uint64_t lo = 0;
        std::uint64_t hi = 0;
        char character = 0;
    };

    std::array<std::uint8_t, 128> lengths{};
    std::array<std::array<char, padded>, 128> codes8{};
    std::array<std::array<char16_t, padded>, 128> codes16{};
    std::array<std::uint32_t, shortCount> shortKeys{};
    std::array<char, 16> shortByMask{}; // by the bit mask of the matching short key
    std::size_t longLength = 0;
    std::uint64_t loMask = 0;
    std::uint64_t hiMask = 0;
    std::uint64_t multiplier = 0;
    std::array<LongCode, longCapacity + 1> longCodes{}; // entry 0 marks an empty slot
    std::array<std::uint8_t, slotCount> slots{};
    bool perfect = false; // whether every long code has a slot of its own

    // Returns the tables for one codebook's 61 codes in alphabet order. Any
    // codes give tables, so that the compile-time check in codebook.cpp can
    // name what is wrong with a bad codebook; only good ones give working tables.
    static constexpr PassTables
    build(const std::array<std::u16string_view, CipherAlphabet::size>& codes)
    {
        PassTables t;
        t.longLength = std::min(codes[0].size(), padded);
        t.loMask =
            t.longLength >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * t.longLength)) - 1;
        t.hiMask = t.longLength <= 8 ? 0 : (std::uint64_t{1} << (8 * (t.longLength - 8))) - 1;
        for (std::size_t c = 0; c < 128; ++c) {
            t.lengths[c] = 1;
            t.codes8[c][0] = static_cast<char>(c);
            t.codes16[c][0] = static_cast<char16_t>(c);
        }
        std::size_t shorts = 0;
        std::size_t longs = 0;
        for (std::size_t i = 0; i < CipherAlphabet::size; ++i) {
            const char16_t c = CipherAlphabet::at(i);
            const auto code = codes[i].substr(0, padded);
            t.lengths[c] = static_cast<std::uint8_t>(code.size());
            for (std::size_t k = 0; k < code.size(); ++k) {
                t.codes8[c][k] = static_cast<char>(code[k]);
                t.codes16[c][k] = code[k];
            }
            const Window w = portableWindow(code.data(), code.data() + code.size());
            if (code.size() == Codebook::shortCodeLength && shorts < shortCount) {
                t.shortKeys[shorts] = static_cast<std::uint32_t>(w.lo);
                t.shortByMask[std::size_t{1} << shorts++] = static_cast<char>(c);
            } else if (code.size() != Codebook::shortCodeLength && longs < longCapacity) {
                t.longCodes[++longs] = {w.lo, w.hi, static_cast<char>(c)};
            }
        }
        t.perfect = t.placeLongCodes(longs);
        return t;
    }

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

private:
    // Fills slots with a multiplier under which no two of the first `count`
    // long codes share a slot; returns false when none of the tried ones does.
    constexpr bool placeLongCodes(std::size_t count)
    {
        std::uint64_t candidate = 0x9E3779B97F4A7C15u;
        for (std::size_t attempt = 0; attempt < multiplierTries; ++attempt) {
            multiplier = candidate | 1;
            slots = {};
            bool distinct = true;
            for (std::size_t i = 1; i <= count && distinct; ++i) {
                auto& slot = slots[slotOf(longCodes[i].lo, longCodes[i].hi)];
                distinct = slot == 0;
                slot = static_cast<std::uint8_t>(i);
            }
            if (distinct)
                return true;
            candidate += 0x5851F42D4C957F2Eu;
        }
        return false;
    }
};

// Gives the passes the tables of a codebook.
struct CodebookAccess
{
    static constexpr const PassTables& tables(const Codebook& codebook)
    {
        return *codebook.tables_;
    }
};

} // namespace kelvane::detail
