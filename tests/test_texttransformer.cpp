// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "textgen.h"
#include "texttransformer.h"
#include "utf8.h"
#include "utf8form.h"

#include <gtest/gtest.h>
#include <kelvane/blocktransform.h>
#include <kelvane/substitution.h>
#include <ostream>
#include <random>
#include <stdexcept>
#include <string>

namespace kelvane::cli {
namespace {

// Returns `text` with every unpaired surrogate replaced by U+00E9, since only
// paired surrogates have a UTF-8 form.
std::u16string pairedOnly(std::u16string text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF)
            ++i;
        else if (c >= 0xD800 && c <= 0xDFFF)
            text[i] = u'\u00e9';
    }
    return text;
}

std::string toUtf8(std::u16string_view text)
{
    std::string bytes;
    EXPECT_FALSE(testing::appendUtf8(text, bytes).has_value());
    return bytes;
}

// Returns the blocks that `transformer` hands out for `input`, put together.
std::string wholeResult(const TextTransformer& transformer, std::string_view input)
{
    std::string output;
    EXPECT_TRUE(transformer.transform(input, [&output](std::string_view block) {
        output.append(block);
        return true;
    }));
    return output;
}

// Returns mixed UTF-8 input: plain text with digits, cipher text and code soup.
std::string mixedInput(std::mt19937& rng, const Codebook& codebook)
{
    std::u16string text = testing::plainText(rng, 200, true);
    text += encryptText(testing::plainText(rng, 100, false), codebook);
    text += testing::codeSoup(rng, codebook, 80);
    text += u"\U0001F600\r\n";
    text += testing::plainText(rng, 50, true);
    return toUtf8(pairedOnly(text));
}

struct BlockCase
{
    Direction direction;
    std::size_t blockSize;
};

// Prints the case as its direction and block size.
void PrintTo(const BlockCase& c, std::ostream* os)
{
    *os << (c.direction == Direction::encrypt ? "encrypt" : "decrypt") << " in blocks of "
        << c.blockSize;
}

class TextTransformerBlocks : public ::testing::TestWithParam<BlockCase>
{};

// The UTF-8 passes in blocks must give exactly what the 16-bit core gives for
// the whole text, whatever the block size, including the verdict on the digits.
TEST_P(TextTransformerBlocks, EqualsTheWholeTextThroughTheCore)
{
    const auto [direction, blockSize] = GetParam();
    std::mt19937 rng(12345);
    for (const Codebook& codebook : codebookTable()) {
        for (int round = 0; round < 20; ++round) {
            const std::string input = mixedInput(rng, codebook);
            std::u16string units;
            ASSERT_FALSE(appendUtf16(input, units).has_value());
            const std::u16string expected = direction == Direction::encrypt
                                                ? encryptText(units, codebook)
                                                : decryptText(units, codebook);
            ASSERT_EQ(wholeResult(TextTransformer(codebook, direction, blockSize), input),
                      toUtf8(expected));
            if (direction == Direction::encrypt) {
                ASSERT_EQ(roundTrips(input, codebook), roundTrips(units, codebook));
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, TextTransformerBlocks,
    ::testing::Values(BlockCase{Direction::encrypt, 1}, BlockCase{Direction::encrypt, 65},
                      BlockCase{Direction::encrypt, TextTransformer::defaultBlockSize},
                      BlockCase{Direction::decrypt, 1}, BlockCase{Direction::decrypt, 67},
                      BlockCase{Direction::decrypt, TextTransformer::defaultBlockSize}),
    [](const auto& info) {
        return std::string(info.param.direction == Direction::encrypt ? "Encrypt" : "Decrypt") +
               std::to_string(info.param.blockSize);
    });

// The block pass takes blocks of at least 64 bytes and refuses a smaller one
// rather than run past it; TextTransformer raises its block size to that.
TEST(TextTransformer, BlockPassRefusesBlocksBelow64Bytes)
{
    const std::string text(100, 'a');
    char block[64];
    for (Direction direction : {Direction::encrypt, Direction::decrypt}) {
        BlockTransform pass(text, *findCodebook(u"5"), direction);
        EXPECT_THROW(pass.next({block, 63}), std::length_error);
        EXPECT_GT(pass.next({block, 64}), 0u);
    }
}

// Lines without a break: cipher text (one run of digits whose codes straddle
// every block edge), digits 1 to 8, and non-ASCII text. Each comes out whole
// through the smallest blocks.
TEST(TextTransformer, LongLinesCrossBlockEdgesWhole)
{
    const Codebook& codebook = *findCodebook(u"2");
    std::u16string plain;
    while (plain.size() < 5000)
        plain += u"Hello there, how are you? ";
    const std::string cipher = toUtf8(encryptText(plain, codebook));
    ASSERT_EQ(cipher.find_first_not_of("0123456789"), std::string::npos);
    std::string digits;
    for (std::size_t i = 0; i < 5000; ++i)
        digits += static_cast<char>('1' + i % 8);
    std::string cjk;
    while (cjk.size() < 5000)
        cjk += "\xE4\xB8\xAD\xE6\x96\x87\xF0\x9F\x98\x80";
    struct
    {
        std::string input, expected;
    } const lines[] = {{cipher, toUtf8(plain)}, {digits, digits}, {cjk, cjk}};
    for (const auto& line : lines) {
        EXPECT_TRUE(wholeResult(TextTransformer(codebook, Direction::decrypt, 64), line.input) ==
                    line.expected);
    }
}

} // namespace
} // namespace kelvane::cli
