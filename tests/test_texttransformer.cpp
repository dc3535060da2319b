#include "textgen.h"
#include "texttransformer.h"

#include <gtest/gtest.h>
#include <ostream>
#include <random>
#include <string>
#include <substitution.h>

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
    EXPECT_FALSE(appendUtf8(text, bytes).has_value());
    return bytes;
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

struct SliceCase
{
    Direction direction;
    std::size_t sliceSize;
};

// Prints the case as its direction and slice size.
void PrintTo(const SliceCase& c, std::ostream* os)
{
    *os << (c.direction == Direction::encrypt ? "encrypt" : "decrypt") << " in slices of "
        << c.sliceSize;
}

class TextTransformerSlices : public ::testing::TestWithParam<SliceCase>
{};

// Slicing must give exactly what the core gives for the whole text, whatever
// the slice size, including the verdict on the digits.
TEST_P(TextTransformerSlices, EqualsTheWholeTextThroughTheCore)
{
    const auto [direction, sliceSize] = GetParam();
    std::mt19937 rng(12345);
    for (const Codebook& codebook : codebookTable()) {
        for (int round = 0; round < 20; ++round) {
            const std::string input = mixedInput(rng, codebook);
            std::u16string units;
            ASSERT_FALSE(appendUtf16(input, units).has_value());
            const std::u16string expected = direction == Direction::encrypt
                                                ? encryptText(units, codebook)
                                                : decryptText(units, codebook);
            const TransformResult result =
                TextTransformer(codebook, direction, sliceSize).transform(input);
            ASSERT_FALSE(result.error.has_value());
            ASSERT_EQ(result.output, toUtf8(expected));
            if (direction == Direction::encrypt)
                ASSERT_EQ(result.roundTrips, roundTrips(units, codebook));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, TextTransformerSlices,
    ::testing::Values(SliceCase{Direction::encrypt, 1}, SliceCase{Direction::encrypt, 5},
                      SliceCase{Direction::encrypt, 64},
                      SliceCase{Direction::encrypt, TextTransformer::defaultSliceSize},
                      SliceCase{Direction::decrypt, 1}, SliceCase{Direction::decrypt, 3},
                      SliceCase{Direction::decrypt, 9},
                      SliceCase{Direction::decrypt, TextTransformer::defaultSliceSize}),
    [](const auto& info) {
        return std::string(info.param.direction == Direction::encrypt ? "Encrypt" : "Decrypt") +
               std::to_string(info.param.sliceSize);
    });

// A fault far into the input is reported at its offset in the whole input,
// and nothing of the slices before it comes out.
TEST(TextTransformer, ReportsFaultsAtTheirOffsetInTheWholeInput)
{
    const Codebook& codebook = *findCodebook(u"4");
    std::string input(1000, 'a');
    input += "\xC3\xA9 9071 \xE2\x82";
    for (std::size_t sliceSize : {1u, 7u, 100u, 4096u}) {
        for (Direction direction : {Direction::encrypt, Direction::decrypt}) {
            const auto result = TextTransformer(codebook, direction, sliceSize).transform(input);
            ASSERT_TRUE(result.error.has_value());
            EXPECT_EQ(result.error->offset, 1008u) << sliceSize;
            EXPECT_EQ(result.error->reason, "truncated sequence");
            EXPECT_TRUE(result.output.empty());
        }
    }
}

// Cipher text of alphabet characters only is one run of digits; the smallest
// slices cut it before every 9, the first digit of each code, and no code is lost.
TEST(TextTransformer, DecryptsCipherTextCutBeforeEveryNine)
{
    const Codebook& codebook = *findCodebook(u"2");
    const std::string plain = "Hello there, how are you?";
    const std::string cipher = toUtf8(encryptText(u"Hello there, how are you?", codebook));
    ASSERT_EQ(cipher.find_first_not_of("0123456789"), std::string::npos);
    const auto result = TextTransformer(codebook, Direction::decrypt, 1).transform(cipher);
    ASSERT_FALSE(result.error.has_value());
    EXPECT_EQ(result.output, plain);
}

} // namespace
} // namespace kelvane::cli
