// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>
#include <kelvane/alphabet.h>

namespace kelvane {
namespace {

// The order of the characters is pinned with the codes in known_answers.txt.
TEST(CipherAlphabet, PositionOfFindsEachCharacterWhereItStands)
{
    for (std::size_t i = 0; i < CipherAlphabet::size; ++i)
        EXPECT_EQ(CipherAlphabet::positionOf(CipherAlphabet::at(i)), i) << "duplicate at " << i;
}

TEST(CipherAlphabet, LeavesDigitsLineBreaksAndOtherUnitsOut)
{
    EXPECT_TRUE(CipherAlphabet::contains(u' '));
    for (char16_t c : std::u16string_view(u"0123456789\r\n\t-':;/`~\u00e9\xd800"))
        EXPECT_FALSE(CipherAlphabet::contains(c)) << static_cast<int>(c);
    EXPECT_FALSE(CipherAlphabet::contains(u'\0'));
    EXPECT_FALSE(CipherAlphabet::contains(u'a' + 0x100));
}

} // namespace
} // namespace kelvane
