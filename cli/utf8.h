// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kelvane::cli {

// Where and why a byte sequence is not UTF-8. The offset counts bytes from the
// start of the converted input, so that a user can find the fault with a hex
// viewer; nothing is ever replaced, since a changed byte would be lost data.
struct Utf8Error
{
    std::size_t offset = 0;
    std::string_view reason;
};

// One character of a UTF-8 text: its code point and its length in bytes.
struct Utf8Char
{
    char32_t code = 0;
    std::size_t length = 0;
};

// Returns the character that `bytes` starts with, or nullopt when `bytes` is
// empty or does not start with a valid UTF-8 sequence.
std::optional<Utf8Char> decodeUtf8(std::string_view bytes);

// Returns the first fault of `bytes` as appendUtf16 would report it, or
// nullopt when `bytes` is UTF-8. Runs of ASCII are checked 16 bytes at a time.
std::optional<Utf8Error> validateUtf8(std::string_view bytes);

// Appends the UTF-16 form of `bytes` to `out` and returns nullopt, or returns
// the first fault and leaves `out` with the units decoded before it. Rejects
// stray continuation bytes, truncated sequences, overlong forms, encoded
// surrogates and code points above U+10FFFF; a BOM is U+FEFF like any other.
std::optional<Utf8Error> appendUtf16(std::string_view bytes, std::u16string& out);

} // namespace kelvane::cli
