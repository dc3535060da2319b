// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "utf8.h"

#include <cstdint>
#include <cstring>

namespace kelvane::cli {

namespace {

constexpr bool isContinuation(unsigned char b)
{
    return (b & 0xC0) == 0x80;
}

// One multi-byte sequence: its code point and length, or why it is no UTF-8.
struct Sequence
{
    char32_t code = 0;
    std::size_t length = 0;
    std::string_view fault;
};

// Returns the sequence that starts with the non-ASCII byte p[0]; `left`
// bytes are readable.
Sequence decodeSequence(const unsigned char* p, std::size_t left)
{
    const unsigned char lead = p[0];
    std::size_t length = 0;
    char32_t code = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
        minimum = 0x10000;
    } else if (isContinuation(lead)) {
        return {0, 0, "unexpected continuation byte"};
    } else if (lead == 0xC0 || lead == 0xC1) {
        return {0, 0, "overlong encoding"};
    } else {
        return {0, 0, "byte that never occurs in UTF-8"};
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (i >= left || !isContinuation(p[i]))
            return {0, 0, "truncated sequence"};
        code = (code << 6) | (p[i] & 0x3F);
    }
    if (code < minimum)
        return {0, 0, "overlong encoding"};
    if (code >= 0xD800 && code <= 0xDFFF)
        return {0, 0, "encoded surrogate"};
    if (code > 0x10FFFF)
        return {0, 0, "code point above U+10FFFF"};
    return {code, length, {}};
}

} // namespace

std::optional<Utf8Char> decodeUtf8(std::string_view bytes)
{
    if (bytes.empty())
        return std::nullopt;
    const auto* const p = reinterpret_cast<const unsigned char*>(bytes.data());
    if (p[0] < 0x80)
        return Utf8Char{p[0], 1};
    const Sequence sequence = decodeSequence(p, bytes.size());
    if (!sequence.fault.empty())
        return std::nullopt;
    return Utf8Char{sequence.code, sequence.length};
}

std::optional<Utf8Error> validateUtf8(std::string_view bytes)
{
    const auto* const p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    constexpr std::uint64_t highBits = 0x8080808080808080u;
    std::size_t pos = 0;
    while (pos < size) {
        if (p[pos] < 0x80) {
            ++pos;
            for (; size - pos >= 16; pos += 16) {
                std::uint64_t words[2];
                std::memcpy(words, p + pos, sizeof words);
                if (((words[0] | words[1]) & highBits) != 0)
                    break;
            }
            continue;
        }
        const Sequence sequence = decodeSequence(p + pos, size - pos);
        if (!sequence.fault.empty())
            return Utf8Error{pos, sequence.fault};
        pos += sequence.length;
    }
    return std::nullopt;
}

std::optional<Utf8Error> appendUtf16(std::string_view bytes, std::u16string& out)
{
    const auto* const p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    std::size_t pos = 0;
    while (pos < size) {
        if (p[pos] < 0x80) {
            out.push_back(static_cast<char16_t>(p[pos]));
            ++pos;
            continue;
        }
        const Sequence sequence = decodeSequence(p + pos, size - pos);
        if (!sequence.fault.empty())
            return Utf8Error{pos, sequence.fault};
        char32_t code = sequence.code;
        if (code < 0x10000) {
            out.push_back(static_cast<char16_t>(code));
        } else {
            code -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        }
        pos += sequence.length;
    }
    return std::nullopt;
}

} // namespace kelvane::cli
