// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

// libFuzzer target for the cipher core. The input picks a key with its first
// byte, the lengths of a find and a replacement string with the next two, and
// the rest is read as 16-bit units: find, replacement, then the text. Every
// property the window and the command-line tool rely on is checked against
// the plain definition, and a difference aborts the run.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <kelvane/alphabet.h>
#include <kelvane/codebook.h>
#include <kelvane/substitution.h>
#include <passkernels.h>
#include <reference.h>
#include <string>
#include <string_view>

namespace {

// Stops the run with a message; libFuzzer then keeps the input as a crash.
void fail(const char* what)
{
    std::fprintf(stderr, "fuzz_cipher: %s\n", what);
    std::abort();
}

// The position loop that defines replaceAll: at each position either the find
// string matches and the replacement is appended, or one unit is copied.
std::u16string referenceReplaceAll(std::u16string_view text, std::u16string_view find,
                                   std::u16string_view replacement)
{
    if (find.empty())
        return std::u16string(text);
    std::u16string result;
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (text.size() - pos >= find.size() && text.compare(pos, find.size(), find) == 0) {
            result.append(replacement);
            pos += find.size();
        } else {
            result.push_back(text[pos]);
            ++pos;
        }
    }
    return result;
}

// Returns the byte form of `units`: ASCII stays, every other unit becomes the
// byte 0xE9, which passes through the byte passes as the unit passes through
// the 16-bit ones.
std::string narrow(std::u16string_view units)
{
    std::string bytes;
    for (char16_t u : units)
        bytes += u < 0x80 ? static_cast<char>(u) : '\xE9';
    return bytes;
}

// Returns the pass of `direction` over `text` run in pieces of at most
// `room` units of output.
template <class Unit>
std::basic_string<Unit> inPieces(std::basic_string_view<Unit> text, const kelvane::Codebook& book,
                                 kelvane::Direction direction, kelvane::detail::Isa isa,
                                 std::size_t room)
{
    std::basic_string<Unit> result;
    std::basic_string<Unit> block(room, Unit{});
    for (std::size_t from = 0; from < text.size();) {
        const auto done = kelvane::detail::runPiece<Unit>(text, from, block, book, direction, isa);
        result.append(block.data(), done.written);
        from += done.read;
    }
    return result;
}

bool hasDigit(std::u16string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace kelvane;
    if (size < 3)
        return 0;
    const Codebook& codebook = codebookTable()[data[0] % 10];
    std::size_t findLength = data[1] % 12;
    std::size_t replacementLength = data[2] % 12;

    std::u16string units((size - 3) / 2, u'\0');
    std::memcpy(units.data(), data + 3, units.size() * sizeof(char16_t));
    const std::u16string_view all = units;
    findLength = std::min(findLength, all.size());
    replacementLength = std::min(replacementLength, all.size() - findLength);
    const std::u16string_view find = all.substr(0, findLength);
    const std::u16string_view replacement = all.substr(findLength, replacementLength);
    const std::u16string_view text = all.substr(findLength + replacementLength);

    if (replaceAll(text, find, replacement) != referenceReplaceAll(text, find, replacement))
        fail("replaceAll differs from the position loop");

    // The whole input is also used as a text, so that seeds of plain and cipher
    // text reach the passes whole.
    for (const std::u16string_view subject : {all, text}) {
        const std::u16string encrypted = encryptText(subject, codebook);
        const std::u16string expected[] = {runPass(subject, encryptionPass(codebook)),
                                           runPass(subject, decryptionPass(codebook))};
        if (encrypted != expected[0])
            fail("encryptText differs from the 61 encryption steps");
        if (decryptText(subject, codebook) != expected[1])
            fail("decryptText differs from the 61 decryption steps");
        // Every kernel, over 16-bit units and over bytes, in pieces of a size
        // that the input picks.
        const std::size_t room = detail::pieceSlack + 1 + data[1] % 64;
        const std::string bytes = narrow(subject);
        for (const detail::Isa isa : detail::availableIsas()) {
            for (const Direction direction : {Direction::encrypt, Direction::decrypt}) {
                const std::u16string& want = expected[direction == Direction::decrypt];
                if (inPieces(subject, codebook, direction, isa, room) != want)
                    fail("a 16-bit kernel differs from the 61 steps");
                if (inPieces(std::string_view(bytes), codebook, direction, isa, room) !=
                    narrow(want))
                    fail("a byte kernel differs from the 61 steps");
            }
            if (detail::noCodeBegins(subject, codebook, isa) !=
                (decryptText(encrypted, codebook) == subject))
                fail("a kernel's roundTrips disagrees with the actual round trip");
        }
        const bool restored = decryptText(encrypted, codebook) == subject;
        if (!hasDigit(subject) && !restored)
            fail("a text without digits does not come back");
        if (roundTrips(subject, codebook) != restored)
            fail("roundTrips disagrees with the actual round trip");
        if (std::any_of(encrypted.begin(), encrypted.end(), CipherAlphabet::contains))
            fail("cipher text holds an alphabet character");
    }
    return 0;
}
