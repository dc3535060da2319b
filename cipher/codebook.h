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

// Open-addressing table from the value of a long code's tail digits to its
// character; sized so that 57 codes leave most slots empty and probes short.
struct LongCodeIndex
{
    static constexpr std::size_t slotBits = 7;
    static constexpr std::size_t slotCount = std::size_t{1} << slotBits;

    std::array<std::uint32_t, slotCount> tails{};
    std::array<char16_t, slotCount> characters{};

    static constexpr std::size_t slotOf(std::uint32_t tail)
    {
        return static_cast<std::uint32_t>(tail * 0x9E3779B1u) >> (32 - slotBits);
    }

    constexpr void insert(std::uint32_t tail, char16_t c)
    {
        auto slot = slotOf(tail);
        while (characters[slot] != 0)
            slot = (slot + 1) % slotCount;
        tails[slot] = tail;
        characters[slot] = c;
    }

    constexpr char16_t find(std::uint32_t tail) const
    {
        for (auto slot = slotOf(tail); characters[slot] != 0; slot = (slot + 1) % slotCount) {
            if (tails[slot] == tail)
                return characters[slot];
        }
        return 0;
    }
};

// Returns the value of the decimal digits in `digits`.
constexpr std::uint32_t digitValue(std::u16string_view digits)
{
    std::uint32_t value = 0;
    for (char16_t d : digits)
        value = value * 10 + static_cast<std::uint32_t>(d - u'0');
    return value;
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
        for (std::size_t i = 0; i < CipherAlphabet::size; ++i) {
            const char16_t c = CipherAlphabet::at(i);
            encodeSlots_[c] = static_cast<std::uint8_t>(i + 1);
            const auto tail = codes[i].substr(1);
            if (codes[i].size() == shortCodeLength)
                shortIndex_[detail::digitValue(tail)] = c;
            else
                longIndex_.insert(detail::digitValue(tail), c);
        }
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
        const std::size_t left = text.size() - pos;
        if (left < shortCodeLength || text[pos] != u'9')
            return std::nullopt;
        std::uint32_t tail = 0;
        std::size_t length = 1;
        for (; length < shortCodeLength; ++length) {
            const char16_t d = text[pos + length];
            if (!detail::isCodeTailDigit(d))
                return std::nullopt;
            tail = tail * 10 + static_cast<std::uint32_t>(d - u'0');
        }
        if (const char16_t c = shortIndex_[tail])
            return std::pair{c, shortCodeLength};
        if (left < longLength_)
            return std::nullopt;
        for (; length < longLength_; ++length) {
            const char16_t d = text[pos + length];
            if (!detail::isCodeTailDigit(d))
                return std::nullopt;
            tail = tail * 10 + static_cast<std::uint32_t>(d - u'0');
        }
        if (const char16_t c = longIndex_.find(tail))
            return std::pair{c, longLength_};
        return std::nullopt;
    }

private:
    std::u16string_view key_;
    std::array<std::u16string_view, CipherAlphabet::size> codes_;
    std::size_t longLength_;
    std::array<std::uint8_t, 128> encodeSlots_{};
    std::array<char16_t, 1000> shortIndex_{};
    detail::LongCodeIndex longIndex_{};
};

// Returns the ten codebooks in key-number order.
std::span<const Codebook, 10> codebookTable();

// Returns the codebook whose key number equals `keyText` exactly, or nullptr.
const Codebook* findCodebook(std::u16string_view keyText);

} // namespace kelvane
