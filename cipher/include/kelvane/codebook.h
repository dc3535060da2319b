// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <cstddef>
#include <kelvane/alphabet.h>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

namespace kelvane {

namespace detail {
struct PassTables;
struct CodebookAccess;
} // namespace detail

// One key's 61 codes of decimal digits, in alphabet order. Codebooks are
// constants that live for the whole run, and so are the lookup tables that
// the passes read, which are derived from the codes at compile time.
class Codebook
{
public:
    static constexpr std::size_t shortCodeLength = 4;

    // Keeps `keyNumber`, `codes` and a reference to `tables`, the tables
    // built from `codes`.
    constexpr Codebook(std::u16string_view keyNumber,
                       const std::array<std::u16string_view, CipherAlphabet::size>& codes,
                       const detail::PassTables& tables)
        : key_(keyNumber), codes_(codes), tables_(&tables)
    {}

    // Returns the key number this codebook belongs to ("1" to "10").
    constexpr std::u16string_view keyNumber() const { return key_; }

    // Returns the length shared by the 57 long codes.
    constexpr std::size_t longCodeLength() const { return codes_[0].size(); }

    // Returns the code at a zero-based alphabet position (0 to 60).
    constexpr std::u16string_view code(std::size_t position) const { return codes_[position]; }

    // Returns the code of `c`, or an empty view when `c` is a pass-through character.
    constexpr std::u16string_view codeOf(char16_t c) const
    {
        const auto position = CipherAlphabet::positionOf(c);
        return position ? codes_[*position] : std::u16string_view{};
    }

    // Returns the character whose code begins `text` at `pos`, with the code's
    // length, or nullopt when no code begins there (or `pos` is past the end).
    std::optional<std::pair<char16_t, std::size_t>> codeAt(std::u16string_view text,
                                                           std::size_t pos) const;

private:
    friend struct detail::CodebookAccess;

    std::u16string_view key_;
    std::array<std::u16string_view, CipherAlphabet::size> codes_;
    const detail::PassTables* tables_;
};

// Returns the ten codebooks in key-number order.
std::span<const Codebook, 10> codebookTable();

// Returns the codebook whose key number equals `keyText` exactly, or nullptr.
const Codebook* findCodebook(std::u16string_view keyText);

} // namespace kelvane
