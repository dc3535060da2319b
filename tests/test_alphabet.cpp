#include "alphabet.h"

#include <gtest/gtest.h>

namespace kelvane {
namespace {

TEST(CipherAlphabet, HoldsSixtyOneDistinctCharactersInStepOrder)
{
    const auto chars = CipherAlphabet::characters();
    ASSERT_EQ(chars.size(), 61u);
    for (std::size_t i = 0; i < chars.size(); ++i)
        EXPECT_EQ(CipherAlphabet::positionOf(chars[i]), i) << "duplicate at " << i;

    EXPECT_EQ(chars.substr(0, 26), u"abcdefghijklmnopqrstuvwxyz");
    EXPECT_EQ(chars.substr(26, 4), u" .,?");
    EXPECT_EQ(chars.substr(30, 26), u"ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    EXPECT_EQ(chars.substr(56), u"!\"()@");
}

TEST(CipherAlphabet, LeavesDigitsLineBreaksAndOtherUnitsOut)
{
    EXPECT_TRUE(CipherAlphabet::contains(u' '));
    for (char16_t c : std::u16string_view(u"0123456789\r\n\t-':;/`~\u00e9\xd800"))
        EXPECT_FALSE(CipherAlphabet::contains(c)) << static_cast<int>(c);
    EXPECT_FALSE(CipherAlphabet::contains(u'\0'));
    EXPECT_FALSE(CipherAlphabet::contains(u'a' + 0x100));
}

TEST(KeyNumbers, RunFromOneToTenInListOrder)
{
    ASSERT_EQ(keyNumbers.size(), 10u);
    for (std::size_t i = 0; i < keyNumbers.size(); ++i) {
        const auto expected = std::to_string(i + 1);
        EXPECT_EQ(keyNumbers[i], std::u16string(expected.begin(), expected.end()));
    }
}

} // namespace
} // namespace kelvane
