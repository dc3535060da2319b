// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "utf8.h"
#include "utf8form.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <ostream>
#include <string>

namespace kelvane::cli {
namespace {

using testing::appendUtf8;

struct ValidCase
{
    const char* name;
    std::string bytes;
    std::u16string units;
};

// Prints the case by name rather than as raw bytes.
void PrintTo(const ValidCase& c, std::ostream* os)
{
    *os << c.name;
}

class Utf8Valid : public ::testing::TestWithParam<ValidCase>
{};

TEST_P(Utf8Valid, DecodesAndEncodesBackByteForByte)
{
    const ValidCase& c = GetParam();
    EXPECT_FALSE(validateUtf8(c.bytes).has_value());
    std::u16string units;
    ASSERT_FALSE(appendUtf16(c.bytes, units).has_value());
    EXPECT_EQ(units, c.units);
    std::string bytes;
    ASSERT_FALSE(appendUtf8(units, bytes).has_value());
    EXPECT_EQ(bytes, c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Utf8Valid,
    ::testing::Values(ValidCase{"Empty", "", u""}, ValidCase{"Ascii", "Hi 9!", u"Hi 9!"},
                      ValidCase{"Nul", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
                      ValidCase{"CrLf", "a\r\nb\n", u"a\r\nb\n"},
                      ValidCase{"TwoBytesLowest", "\xC2\x80", u"\u0080"},
                      ValidCase{"TwoBytesHighest", "\xDF\xBF", u"\u07FF"},
                      ValidCase{"ThreeBytesLowest", "\xE0\xA0\x80", u"\u0800"},
                      ValidCase{"JustBelowSurrogates", "\xED\x9F\xBF", u"\uD7FF"},
                      ValidCase{"JustAboveSurrogates", "\xEE\x80\x80", u"\uE000"},
                      ValidCase{"Bom", "\xEF\xBB\xBFx", u"\uFEFFx"},
                      ValidCase{"LastBmp", "\xEF\xBF\xBF", u"\uFFFF"},
                      ValidCase{"FirstSupplementary", "\xF0\x90\x80\x80", u"\U00010000"},
                      ValidCase{"Emoji", "a\xF0\x9F\x98\x80z", u"a\U0001F600z"},
                      ValidCase{"LastCodePoint", "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
                      ValidCase{"Mixed", "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC 5",
                                u"\u00e9t\u00e9 \u20ac 5"}),
    [](const auto& info) { return std::string(info.param.name); });

struct InvalidCase
{
    const char* name;
    std::string bytes;
    std::size_t offset;
    std::string_view reason;
};

// Prints the case by name rather than as raw bytes.
void PrintTo(const InvalidCase& c, std::ostream* os)
{
    *os << c.name;
}

class Utf8Invalid : public ::testing::TestWithParam<InvalidCase>
{};

TEST_P(Utf8Invalid, ReportsTheOffsetOfTheFirstFault)
{
    const InvalidCase& c = GetParam();
    std::u16string units;
    for (const auto error : {appendUtf16(c.bytes, units), validateUtf8(c.bytes)}) {
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->offset, c.offset);
        EXPECT_EQ(error->reason, c.reason);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Utf8Invalid,
    ::testing::Values(
        InvalidCase{"LoneContinuation", "ab\x80", 2, "unexpected continuation byte"},
        InvalidCase{"OverlongSlash", "x\xC0\xAF", 1, "overlong encoding"},
        InvalidCase{"OverlongC1", "\xC1\xBF", 0, "overlong encoding"},
        InvalidCase{"OverlongThreeBytes", "\xE0\x80\xAF", 0, "overlong encoding"},
        InvalidCase{"OverlongFourBytes", "\xF0\x8F\xBF\xBF", 0, "overlong encoding"},
        InvalidCase{"HighSurrogate", "ok\xED\xA0\x80", 2, "encoded surrogate"},
        InvalidCase{"LowSurrogate", "\xED\xBF\xBF", 0, "encoded surrogate"},
        InvalidCase{"AboveLastCodePoint", "\xF4\x90\x80\x80", 0, "code point above U+10FFFF"},
        InvalidCase{"F5", "\xF5\x80\x80\x80", 0, "byte that never occurs in UTF-8"},
        InvalidCase{"FF", "a\xFF", 1, "byte that never occurs in UTF-8"},
        InvalidCase{"TruncatedAtEnd", "abc\xE2\x82", 3, "truncated sequence"},
        InvalidCase{"TruncatedBeforeAscii", "\xE2\x82z", 0, "truncated sequence"},
        InvalidCase{"TruncatedFourBytes", "\xF0\x9F\x98", 0, "truncated sequence"},
        InvalidCase{"FaultAfterValidText", "\xC3\xA9\xF0\x9F\x98\x80\xC3", 6, "truncated sequence"},
        InvalidCase{"FaultAfterLongAsciiRuns",
                    std::string(37, 'a') + "\xC3\xA9" + std::string(35, 'b') + "\xFF", 74,
                    "byte that never occurs in UTF-8"}),
    [](const auto& info) { return std::string(info.param.name); });

// Every code point outside the surrogates survives UTF-8 -> UTF-16 -> UTF-8.
TEST(Utf8, EveryCodePointRoundTrips)
{
    for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF)
            continue;
        std::u16string units;
        if (cp < 0x10000) {
            units.push_back(static_cast<char16_t>(cp));
        } else {
            units.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        }
        std::string bytes;
        ASSERT_FALSE(appendUtf8(units, bytes).has_value())
            << std::hex << static_cast<std::uint32_t>(cp);
        const std::size_t expectedSize = cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
        ASSERT_EQ(bytes.size(), expectedSize) << std::hex << static_cast<std::uint32_t>(cp);
        std::u16string back;
        ASSERT_FALSE(appendUtf16(bytes, back).has_value())
            << std::hex << static_cast<std::uint32_t>(cp);
        ASSERT_EQ(back, units) << std::hex << static_cast<std::uint32_t>(cp);
    }
}

} // namespace
} // namespace kelvane::cli
