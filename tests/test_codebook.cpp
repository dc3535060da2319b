#include "codebook.h"

#include <gtest/gtest.h>
#include <set>

namespace kelvane {
namespace {

// --- findCodebook ------------------------------------------------------------

struct KeyTextCase
{
    const char* name;
    std::u16string_view keyText;
    int expectedKey; // 1 to 10, or 0 for none
};

void PrintTo(const KeyTextCase& c, std::ostream* os)
{
    *os << c.name;
}

class FindCodebook : public ::testing::TestWithParam<KeyTextCase>
{};

TEST_P(FindCodebook, MatchesKeyNumbersByExactEqualityOnly)
{
    const auto& param = GetParam();
    const Codebook* book = findCodebook(param.keyText);
    if (param.expectedKey == 0) {
        EXPECT_EQ(book, nullptr);
    } else {
        ASSERT_NE(book, nullptr);
        EXPECT_EQ(book, &codebookTable()[static_cast<std::size_t>(param.expectedKey - 1)]);
        EXPECT_EQ(book->keyNumber(), param.keyText);
    }
}

INSTANTIATE_TEST_SUITE_P(
    KeyTexts, FindCodebook,
    ::testing::Values(KeyTextCase{"one", u"1", 1}, KeyTextCase{"three", u"3", 3},
                      KeyTextCase{"nine", u"9", 9}, KeyTextCase{"ten", u"10", 10},
                      KeyTextCase{"empty", u"", 0}, KeyTextCase{"leadingSpace", u" 3", 0},
                      KeyTextCase{"trailingSpace", u"3 ", 0}, KeyTextCase{"leadingZero", u"03", 0},
                      KeyTextCase{"zero", u"0", 0}, KeyTextCase{"eleven", u"11", 0},
                      KeyTextCase{"plusSign", u"+3", 0}, KeyTextCase{"minusSign", u"-3", 0},
                      KeyTextCase{"decimalPoint", u"3.0", 0},
                      KeyTextCase{"fullwidthDigit", u"\uff13", 0},
                      KeyTextCase{"trailingNul", std::u16string_view(u"3\0", 2), 0},
                      KeyTextCase{"oneThenZeroSeparated", u"1 0", 0}),
    [](const auto& info) { return std::string(info.param.name); });

// --- the ten codebooks -------------------------------------------------------

constexpr std::size_t longLengths[10] = {9, 7, 8, 10, 9, 8, 8, 9, 9, 9};

// Returns true when `rest` can be followed into some concatenation of codes:
// it is a prefix of a code, or starts with a code and its remainder can be.
bool continuesIntoCodes(const Codebook& book, std::u16string_view rest)
{
    if (rest.empty())
        return true;
    for (auto code : book.codes()) {
        if (code.starts_with(rest))
            return true;
        if (rest.starts_with(code) && continuesIntoCodes(book, rest.substr(code.size())))
            return true;
    }
    return false;
}

class EachCodebook : public ::testing::TestWithParam<std::size_t>
{
protected:
    const Codebook& book() const { return codebookTable()[GetParam()]; }
};

TEST_P(EachCodebook, HasTheLengthsOfItsKeyAndDigitsOnly)
{
    ASSERT_EQ(book().codes().size(), 61u);
    EXPECT_EQ(book().longCodeLength(), longLengths[GetParam()]);
    for (std::size_t i = 0; i < 61; ++i) {
        const auto code = book().code(i);
        const bool isShort = i >= 26 && i < 30;
        EXPECT_EQ(code.size(), isShort ? 4u : longLengths[GetParam()]) << "position " << i;
        for (char16_t d : code)
            EXPECT_TRUE(d >= u'0' && d <= u'9') << "position " << i;
        EXPECT_EQ(book().codeOf(CipherAlphabet::at(i)), code);
    }
}

TEST_P(EachCodebook, SharesTheFourShortCodesWithKeyOne)
{
    for (std::size_t i = 26; i < 30; ++i)
        EXPECT_EQ(book().code(i), codebookTable()[0].code(i)) << "position " << i;
}

TEST_P(EachCodebook, CodesAreDistinctAndSubstringFree)
{
    std::set<std::u16string_view> seen;
    for (std::size_t i = 0; i < 61; ++i) {
        EXPECT_TRUE(seen.insert(book().code(i)).second) << "duplicate at " << i;
        for (std::size_t j = 0; j < 61; ++j) {
            if (i != j) {
                EXPECT_EQ(book().code(j).find(book().code(i)), std::u16string_view::npos)
                    << "code " << i << " inside code " << j;
            }
        }
    }
}

// Checks alignment for every concatenation at once: a code found at offset o
// inside a different token t must agree with t's remainder and then run on
// into whatever codes follow, which continuesIntoCodes explores exhaustively.
TEST_P(EachCodebook, NoCodeBeginsInsideADifferentToken)
{
    for (auto code : book().codes()) {
        for (auto token : book().codes()) {
            if (token == code)
                continue;
            for (std::size_t o = 1; o < token.size(); ++o) {
                const auto rest = token.substr(o);
                const bool occurs = code.size() <= rest.size()
                                        ? rest.starts_with(code)
                                        : code.starts_with(rest) &&
                                              continuesIntoCodes(book(), code.substr(rest.size()));
                EXPECT_FALSE(occurs) << "a code can begin at offset " << o << " of another";
            }
        }
    }
}

TEST_P(EachCodebook, CodeAtFindsOnlyWholeCodes)
{
    for (std::size_t i = 0; i < 61; ++i) {
        const std::u16string code(book().code(i));
        const auto found = book().codeAt(code + u"123", 0);
        ASSERT_TRUE(found);
        EXPECT_EQ(found->first, CipherAlphabet::at(i));
        EXPECT_EQ(found->second, code.size());
        EXPECT_FALSE(book().codeAt(code.substr(0, code.size() - 1), 0)) << "cut code " << i;
        EXPECT_FALSE(book().codeAt(u"x" + code, 0));
    }
}

INSTANTIATE_TEST_SUITE_P(Keys, EachCodebook, ::testing::Range<std::size_t>(0, 10),
                         [](const auto& info) { return "key" + std::to_string(info.param + 1); });

TEST(CodebookTable, KeyTenIsNotKeyOne)
{
    EXPECT_NE(findCodebook(u"10")->code(0), findCodebook(u"1")->code(0));
    EXPECT_EQ(findCodebook(u"10")->longCodeLength(), 9u);
}

} // namespace
} // namespace kelvane
