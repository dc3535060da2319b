// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>
#include <kelvane/codebook.h>
#include <kelvane/command.h>
#include <kelvane/substitution.h>
#include <vector>

namespace kelvane {
namespace {

const Codebook& key(int number)
{
    return codebookTable()[static_cast<std::size_t>(number - 1)];
}

struct StartRow
{
    const char* name;
    Direction direction;
    std::u16string_view keyText;
    bool textIsEmpty;
    std::vector<Message> told; // in the order told
    int keyNumber;             // 0: no codebook, the command ends quietly
};

class StartCommand : public testing::TestWithParam<StartRow>
{};

TEST_P(StartCommand, TellsWhatIsMissingInOrderAndFindsTheCodebook)
{
    const StartRow& row = GetParam();
    const CommandStart start = startCommand(row.direction, row.keyText, row.textIsEmpty);
    EXPECT_EQ(std::vector<Message>(start.messages().begin(), start.messages().end()), row.told);
    EXPECT_EQ(start.focusText, row.textIsEmpty);
    EXPECT_EQ(start.codebook, row.keyNumber ? &key(row.keyNumber) : nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, StartCommand,
    testing::Values(
        StartRow{"nothing_given_key_first",
                 Direction::encrypt,
                 u"",
                 true,
                 {Message::missingKey, Message::missingTextToEncrypt},
                 0},
        StartRow{"nothing_given_to_decrypt",
                 Direction::decrypt,
                 u"",
                 true,
                 {Message::missingKey, Message::missingTextToDecrypt},
                 0},
        StartRow{"no_key", Direction::decrypt, u"", false, {Message::missingKey}, 0},
        StartRow{
            "key_without_text", Direction::decrypt, u"3", true, {Message::missingTextToDecrypt}, 3},
        StartRow{"key_ten_is_the_tenth", Direction::encrypt, u"10", false, {}, 10},
        StartRow{"spaced_key_is_quietly_none", Direction::encrypt, u" 3", false, {}, 0},
        StartRow{"eleven_is_quietly_none",
                 Direction::decrypt,
                 u"11",
                 true,
                 {Message::missingTextToDecrypt},
                 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct SizeRow
{
    const char* name;
    std::size_t textUnits;
    TextSize result;
    TextLimits limits;
    Verdict verdict;
};

class JudgeEncryptedSize : public testing::TestWithParam<SizeRow>
{};

TEST_P(JudgeEncryptedSize, RefusesExactlyPastTheLimits)
{
    const SizeRow& row = GetParam();
    EXPECT_EQ(judgeEncryptedSize(row.textUnits, row.result, row.limits), row.verdict);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, JudgeEncryptedSize,
    testing::Values(
        SizeRow{"same_length_is_unchanged", 7, {7, 7}, {5, 5, true}, Verdict::unchanged},
        SizeRow{"text_and_kept_copy_fill_the_box", 10, {90, 9}, {100, 90, true}, Verdict::replace},
        SizeRow{"kept_copy_one_past", 10, {91, 9}, {100, 90, true}, Verdict::tooLarge},
        SizeRow{"no_copy_kept_fills_the_box", 10, {100, 9}, {100, 100, false}, Verdict::replace},
        SizeRow{"no_copy_kept_one_past", 10, {101, 9}, {100, 200, false}, Verdict::tooLarge},
        SizeRow{"text_alone_past_the_box", 101, {400, 9}, {100, 200, true}, Verdict::tooLarge},
        SizeRow{"line_at_the_limit", 10, {50, 40}, {100, 40, false}, Verdict::replace},
        SizeRow{"line_one_past", 10, {50, 41}, {100, 40, false}, Verdict::lineTooLong}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(JudgeResult, FollowsTheTextItsResultAndTheDirection)
{
    const TextLimits none;
    const Codebook& book = key(4);
    const std::u16string plain = u"Hello, world";
    const std::u16string cipher = encryptText(plain, book);
    EXPECT_EQ(judgeResult(Direction::encrypt, plain, cipher, book, none), Verdict::replace);
    EXPECT_EQ(judgeResult(Direction::encrypt, cipher, cipher, book, none), Verdict::unchanged);
    EXPECT_EQ(judgeResult(Direction::decrypt, cipher, plain, book, none), Verdict::replace);

    // The space code as typed digits decrypts to a space: Encrypt asks first,
    // Decrypt never does.
    const std::u16string digits = u"a 9071";
    EXPECT_EQ(judgeResult(Direction::encrypt, digits, encryptText(digits, book), book, none),
              Verdict::ask);
    EXPECT_EQ(judgeResult(Direction::decrypt, digits, decryptText(digits, book), book, none),
              Verdict::replace);

    // A decrypted line is measured in the result, between line feeds.
    const std::u16string lines = encryptText(u"ab\ncd", book);
    EXPECT_EQ(judgeResult(Direction::decrypt, lines, u"ab\ncd", book, {100, 2, false}),
              Verdict::replace);
    EXPECT_EQ(judgeResult(Direction::decrypt, lines, u"ab\ncde", book, {100, 2, false}),
              Verdict::lineTooLong);
    EXPECT_EQ(refusalMessage(Verdict::lineTooLong), Message::lineTooLong);
    EXPECT_EQ(refusalMessage(Verdict::tooLarge), Message::tooLarge);
}

TEST(SizeOf, CountsTheLongestLineBetweenLineFeeds)
{
    EXPECT_EQ(sizeOf(u"").longestLine, 0u);
    EXPECT_EQ(sizeOf(u"abc\n\nabcd").longestLine, 4u);
    EXPECT_EQ(sizeOf(u"abcd\nab\n").longestLine, 4u);
    EXPECT_EQ(sizeOf(u"abcd\nab\n").total, 8u);
}

TEST(MessageText, WritesTheLineLimitGroupedByThousands)
{
    for (const Message message : {Message::lineTooLong, Message::editLineTooLong}) {
        const std::string text = messageText(message, 67'108'864);
        EXPECT_NE(text.find(" 67,108,864 characters"), std::string::npos) << text;
        EXPECT_EQ(messageText(message, 999).find(" 999 characters"), text.find(" 67,108,864"));
        EXPECT_NE(messageText(message, 1000).find(" 1,000 characters"), std::string::npos);
        EXPECT_EQ(text.find('%'), std::string::npos);
    }
    EXPECT_EQ(messageText(Message::digitsInText).rfind(digitsWarning(), 0), 0u);
}

} // namespace
} // namespace kelvane
