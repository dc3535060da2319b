// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <kelvane/codebook.h>
#include <kelvane/substitution.h>
#include <sstream>
#include <string>
#include <vector>

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

// --- codeAt -----------------------------------------------------------------

class EachCodebook : public ::testing::TestWithParam<std::size_t>
{
protected:
    const Codebook& book() const { return codebookTable()[GetParam()]; }
};

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

// --- the cipher format of 1.0 ------------------------------------------------
//
// known_answers.txt was written once from the 1.0 codebooks. It is data, not
// derived from the tables, so a changed code fails here.

constexpr const char* formatPromise =
    "cipher texts stored with Kelvane Encryptor 1.0 would no longer decrypt";

struct KnownAnswer
{
    std::string kind;     // "code" or "sample"
    std::size_t key;      // 1 to 10
    std::string name;     // the sample's name, or the character as written
    std::u16string plain; // the character, or the sample's text
    std::u16string cipher;
};

// Returns `field` with every \uXXXX replaced by its UTF-16 unit.
std::u16string unescape(const std::string& field)
{
    std::u16string units;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field.compare(i, 2, "\\u") == 0 && i + 6 <= field.size()) {
            units.push_back(static_cast<char16_t>(std::stoul(field.substr(i + 2, 4), nullptr, 16)));
            i += 5;
        } else {
            units.push_back(static_cast<unsigned char>(field[i]));
        }
    }
    return units;
}

// Returns `units` as printable ASCII, in the file's own escapes.
std::string escape(std::u16string_view units)
{
    std::string text;
    for (const char16_t c : units) {
        if (c >= 0x20 && c <= 0x7e && c != u'\\') {
            text.push_back(static_cast<char>(c));
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\u%04x", static_cast<unsigned>(c));
            text += hex;
        }
    }
    return text;
}

std::vector<KnownAnswer> readKnownAnswers()
{
    std::ifstream file(KELVANE_KNOWN_ANSWERS);
    EXPECT_TRUE(file) << "cannot read " << KELVANE_KNOWN_ANSWERS;
    std::vector<KnownAnswer> answers;
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string field; std::getline(split, field, '\t');)
            fields.push_back(field);
        KnownAnswer answer{fields.at(0), std::stoul(fields.at(1)), fields.at(2), {}, {}};
        if (answer.kind == "code") {
            answer.plain = unescape(fields.at(2));
            answer.cipher = unescape(fields.at(3));
        } else {
            answer.plain = unescape(fields.at(3));
            answer.cipher = unescape(fields.at(4));
        }
        answers.push_back(answer);
    }
    return answers;
}

const Codebook& codebookOfKey(std::size_t key)
{
    return codebookTable()[key - 1];
}

TEST(Format, EveryCodeOfEveryKeyIsAsIn1_0)
{
    std::size_t codes[10] = {};
    for (const KnownAnswer& a : readKnownAnswers()) {
        if (a.kind != "code")
            continue;
        const std::size_t position = codes[a.key - 1]++;
        ASSERT_EQ(a.plain, std::u16string(1, CipherAlphabet::at(position)))
            << "the alphabet's order changed at position " << position << ": " << formatPromise;
        const Codebook& book = codebookOfKey(a.key);
        EXPECT_EQ(escape(book.code(position)), escape(a.cipher))
            << "key " << a.key << " encrypts '" << a.name
            << "' otherwise than 1.0: " << formatPromise;
        const auto found = book.codeAt(a.cipher, 0);
        EXPECT_TRUE(found && found->first == a.plain[0] && found->second == a.cipher.size())
            << "key " << a.key << " no longer reads " << escape(a.cipher) << " as '" << a.name
            << "': " << formatPromise;
    }
    for (const std::size_t count : codes)
        EXPECT_EQ(count, CipherAlphabet::size) << "known_answers.txt lacks codes";
}

TEST(Format, SampleTextsEncryptAndDecryptAsIn1_0)
{
    std::size_t samples = 0;
    for (const KnownAnswer& a : readKnownAnswers()) {
        if (a.kind != "sample")
            continue;
        ++samples;
        const Codebook& book = codebookOfKey(a.key);
        EXPECT_EQ(escape(decryptText(a.cipher, book)), escape(a.plain))
            << "key " << a.key << ", " << a.name << ": " << formatPromise;
        EXPECT_EQ(escape(encryptText(a.plain, book)), escape(a.cipher))
            << "key " << a.key << ", " << a.name << " encrypts otherwise than 1.0";
        EXPECT_EQ(encryptedSize(a.plain, book), a.cipher.size())
            << "key " << a.key << ", " << a.name;
    }
    EXPECT_GE(samples, 30u);
}

} // namespace
} // namespace kelvane
