// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The UTF-8 form of 16-bit texts, which the tests of the command-line tool
// compare its output with; the tool itself only reads UTF-8.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kelvane::testing {

// Appends the UTF-8 form of `text` to `out` and returns nullopt, or returns the
// index of the first unpaired surrogate, which has no UTF-8 form.
inline std::optional<std::size_t> appendUtf8(std::u16string_view text, std::string& out)
{
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size; ++i) {
        char32_t code = text[i];
        if (code >= 0xD800 && code <= 0xDFFF) {
            const bool pairs =
                code <= 0xDBFF && i + 1 < size && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
            if (!pairs)
                return i;
            code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
            ++i;
        }
        if (code < 0x80) {
            out.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (code >> 6)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (code >> 12)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (code >> 18)));
            out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }
    return std::nullopt;
}

} // namespace kelvane::testing
