// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "passkernels.h"
#include "reference.h"
#include "textgen.h"

#include <gtest/gtest.h>
#include <kelvane/substitution.h>
#include <stdexcept>
#include <sys/mman.h>
#include <unistd.h>

namespace kelvane {
namespace {

using testing::codeSoup;
using testing::plainText;

const Codebook& key(std::u16string_view number)
{
    return *findCodebook(number);
}

// Returns the concatenation of the codes of `text` under `book`, by hand.
std::u16string codesOf(std::u16string_view text, const Codebook& book)
{
    std::u16string result;
    for (char16_t c : text)
        result += book.codeOf(c);
    return result;
}

// --- replaceAll --------------------------------------------------------------

struct ReplaceCase
{
    const char* name;
    std::u16string_view text, find, replacement, expected;
};

void PrintTo(const ReplaceCase& c, std::ostream* os)
{
    *os << c.name;
}

class ReplaceAll : public ::testing::TestWithParam<ReplaceCase>
{};

TEST_P(ReplaceAll, ReplacesLeftToRightWithoutOverlap)
{
    const auto& c = GetParam();
    EXPECT_EQ(replaceAll(c.text, c.find, c.replacement), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplaceAll,
    ::testing::Values(ReplaceCase{"threeEqualTakesLeftPair", u"aaa", u"aa", u"b", u"ba"},
                      ReplaceCase{"fourEqualTakesTwoPairs", u"aaaa", u"aa", u"b", u"bb"},
                      ReplaceCase{"replacementNotSearchedAgain", u"aXa", u"a", u"aa", u"aaXaa"},
                      ReplaceCase{"matchAtBothEnds", u"abcab", u"ab", u"-", u"-c-"},
                      ReplaceCase{"absentFind", u"hello", u"z", u"1", u"hello"},
                      ReplaceCase{"findLongerThanText", u"ab", u"abc", u"1", u"ab"},
                      ReplaceCase{"emptyText", u"", u"a", u"1", u""},
                      ReplaceCase{"emptyFindChangesNothing", u"abc", u"", u"1", u"abc"},
                      ReplaceCase{"caseSensitive", u"aAa", u"A", u"1", u"a1a"},
                      ReplaceCase{"emptyReplacementDeletes", u"a.b.c", u".", u"", u"abc"},
                      ReplaceCase{"nulIsAnOrdinaryUnit", std::u16string_view(u"a\0b\0", 4),
                                  std::u16string_view(u"\0", 1), u"0", u"a0b0"},
                      ReplaceCase{"digitsAcrossCodeEdges", u"91234", u"123", u"x", u"9x4"}),
    [](const auto& info) { return std::string(info.param.name); });

// --- edge cases of both passes -----------------------------------------------

TEST(Substitution, EmptyTextStaysEmptyBothWays)
{
    for (const Codebook& book : codebookTable()) {
        EXPECT_EQ(encryptText(u"", book), u"");
        EXPECT_EQ(decryptText(u"", book), u"");
    }
}

TEST(Substitution, LongAndShortCodeLengthsFollowTheKey)
{
    EXPECT_EQ(encryptText(u"a", key(u"4")).size(), 10u);
    EXPECT_EQ(encryptText(u"a", key(u"2")).size(), 7u);
    for (char16_t c : std::u16string_view(u" .,?")) {
        const std::u16string one(1, c);
        EXPECT_EQ(encryptText(one, key(u"1")).size(), 4u);
        for (const Codebook& book : codebookTable())
            EXPECT_EQ(encryptText(one, book), encryptText(one, key(u"1")));
    }
}

TEST(Substitution, PassThroughTextIsItsOwnCipherText)
{
    const std::u16string_view text = u"0123456789\r\n\t-:;'/\u00e9\xd800";
    for (const Codebook& book : codebookTable())
        EXPECT_EQ(encryptText(text, book), text);
}

TEST(Substitution, EncryptingTwiceEncryptsOnce)
{
    const std::u16string once = encryptText(u"Hello, World! (1)", key(u"7"));
    for (const Codebook& book : codebookTable())
        EXPECT_EQ(encryptText(once, book), once);
}

TEST(Substitution, EncryptionKeepsPassThroughUnitsInPlace)
{
    const Codebook& book = key(u"3");
    EXPECT_EQ(encryptText(u"ab\r\ncd", book),
              codesOf(u"ab", book) + u"\r\n" + codesOf(u"cd", book));
    EXPECT_EQ(encryptText(u"a-A", book), codesOf(u"a", book) + u"-" + codesOf(u"A", book));
    EXPECT_NE(book.codeOf(u'a'), book.codeOf(u'A'));
}

TEST(Substitution, DecryptionLeavesDigitFreeTextAlone)
{
    const std::u16string_view text = u"Plain words, no digits!\r\n\u00e9";
    for (const Codebook& book : codebookTable())
        EXPECT_EQ(decryptText(text, book), text);
}

TEST(Substitution, MixedTextIsDecryptedInItsDigitPartsOnly)
{
    const Codebook& book = key(u"5");
    const std::u16string mixed = u"keep " + encryptText(u"secret", book) + u" here";
    EXPECT_EQ(decryptText(mixed, book), u"keep secret here");
}

TEST(Substitution, WrongKeyBringsBackOnlyTheSharedShortCodes)
{
    const std::u16string cipher = encryptText(u"ab. cd, ef?", key(u"2"));
    const std::u16string wrong = decryptText(cipher, key(u"6"));
    EXPECT_EQ(wrong, codesOf(u"ab", key(u"2")) + u"." + u" " + codesOf(u"cd", key(u"2")) + u"," +
                         u" " + codesOf(u"ef", key(u"2")) + u"?");
}

TEST(Substitution, PlainDigitsEqualToACodeTurnIntoItsCharacter)
{
    const Codebook& book = key(u"8");
    const std::u16string text = u"[" + std::u16string(book.codeOf(u'Q')) + u"]";
    EXPECT_EQ(encryptText(text, book), text);
    EXPECT_EQ(decryptText(encryptText(text, book), book), u"[Q]");
    EXPECT_FALSE(roundTrips(text, book));
}

TEST(Substitution, LineBreaksKeepTheirPlaces)
{
    const std::u16string_view text = u"one\r\ntwo\n\nthree\r";
    for (const Codebook& book : codebookTable()) {
        const auto cipher = encryptText(text, book);
        EXPECT_EQ(cipher.find(u'\r'), book.codeOf(u'o').size() * 3);
        EXPECT_EQ(decryptText(cipher, book), text);
    }
}

// --- generated texts, under every key ----------------------------------------

// Returns `units` as bytes: ASCII as it is, every other unit as one byte of a
// multibyte sequence.
std::string narrow(std::u16string_view units)
{
    std::string bytes;
    for (char16_t u : units)
        bytes += u < 0x80 ? static_cast<char>(u) : '\xE9';
    return bytes;
}

// Two pages of which the second can be neither read nor written: a text put
// at the end of the first makes a kernel that reads past its end fault, with
// or without a sanitizer.
class GuardedPages
{
public:
    GuardedPages()
    {
        void* pages =
            mmap(nullptr, 2 * size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (pages == MAP_FAILED)
            throw std::runtime_error("mmap failed");
        base_ = static_cast<char*>(pages);
        if (mprotect(base_ + size_, size_, PROT_NONE) != 0)
            throw std::runtime_error("mprotect failed");
    }
    ~GuardedPages() { munmap(base_, 2 * size_); }
    GuardedPages(const GuardedPages&) = delete;
    GuardedPages& operator=(const GuardedPages&) = delete;

    // Returns a copy of `text` whose last unit is the last readable one.
    template <class Unit>
    std::basic_string_view<Unit> atEnd(std::basic_string_view<Unit> text)
    {
        auto* const end = reinterpret_cast<Unit*>(base_ + size_);
        std::copy(text.begin(), text.end(), end - text.size());
        return {end - text.size(), text.size()};
    }

private:
    const std::size_t size_ = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    char* base_ = nullptr;
};

class EveryKey : public ::testing::TestWithParam<std::size_t>
{
protected:
    const Codebook& book() const { return codebookTable()[GetParam()]; }
    std::mt19937 rng{static_cast<unsigned>(GetParam() * 7919 + 17)};
};

TEST_P(EveryKey, DigitFreeTextsComeBackExactly)
{
    for (int i = 0; i < 300; ++i) {
        const auto text = plainText(rng, static_cast<std::size_t>(i), false);
        const auto cipher = encryptText(text, book());
        for (char16_t c : cipher)
            ASSERT_FALSE(CipherAlphabet::contains(c));
        ASSERT_EQ(decryptText(cipher, book()), text) << "text " << i;
        ASSERT_TRUE(roundTrips(text, book()));
    }
}

// The counts behind encryptedSize() classify units eight at a time; every
// 16-bit unit, in each lane position and in the tail, must be sized exactly
// as encryptText() makes it. transformAll() reserves by the same counts.
TEST_P(EveryKey, EncryptedSizeMatchesEveryUnit)
{
    std::u16string text;
    for (char32_t c = 0; c <= 0xFFFF; ++c)
        text.push_back(static_cast<char16_t>(c));
    for (std::size_t shift = 0; shift < 9; ++shift) {
        const std::u16string_view part = std::u16string_view(text).substr(shift);
        ASSERT_EQ(encryptedSize(part, book()), encryptText(part, book()).size())
            << "from unit " << shift;
    }
    for (char32_t c = 0; c <= 0xFFFF; ++c) {
        const std::u16string one(1, static_cast<char16_t>(c));
        ASSERT_EQ(encryptedSize(one, book()), encryptText(one, book()).size())
            << "unit " << static_cast<unsigned>(c);
    }
    // Bytes are counted sixteen at a time, each lane up to 255 of them: every
    // byte value, and a run of letters longer than a lane can count at once.
    std::string everyByte;
    for (int c = 0; c < 256; ++c)
        everyByte.push_back(static_cast<char>(c));
    for (const std::string& bytes : {everyByte, std::string(16 * 300, 'a')}) {
        for (std::size_t shift = 0; shift < 17; ++shift) {
            const std::string_view part = std::string_view(bytes).substr(shift);
            ASSERT_EQ(encryptedSize(detail::countUnits(part), book()),
                      encryptText(part, book()).size())
                << "from byte " << shift;
        }
    }
}

// Every kernel (portable and SSE2), over 16-bit units and over bytes, whole
// and in the smallest pieces, equals the 61 steps. The byte form of a text
// keeps ASCII and turns every other unit into the byte 0xE9, which passes
// through like the unit it stands for.
TEST_P(EveryKey, FastPassesEqualTheSixtyOneSteps)
{
    const auto inPieces = [](auto text, Direction direction, detail::Isa isa,
                             const Codebook& codebook) {
        using Unit = typename decltype(text)::value_type;
        std::basic_string<Unit> result;
        Unit block[detail::pieceSlack + 1];
        for (std::size_t from = 0; from < text.size();) {
            const auto done = detail::runPiece<Unit>(text, from, block, codebook, direction, isa);
            result.append(block, done.written);
            from += done.read;
        }
        return result;
    };
    const SubstitutionPass passes[] = {encryptionPass(book()), decryptionPass(book())};
    const Codebook& other = codebookTable()[(GetParam() + 3) % 10];
    for (int i = 0; i < 250; ++i) {
        const auto len = static_cast<std::size_t>(i % 60);
        const std::u16string inputs[] = {
            plainText(rng, len, true),                            // plain text with digits
            encryptText(plainText(rng, len, true), book()),       // cipher text of this key
            encryptText(plainText(rng, len, false), other),       // cipher text of another key
            codeSoup(rng, book(), len),                           // codes, pieces and stray digits
            codeSoup(rng, other, len),                            // the same from another key
            std::u16string(len, u'9') + codeSoup(rng, book(), 3), // a long run of markers
        };
        for (const auto& text : inputs) {
            for (const Direction direction : {Direction::encrypt, Direction::decrypt}) {
                const auto expected = runPass(text, passes[direction == Direction::decrypt]);
                ASSERT_EQ(transform(text, book(), direction), expected);
                const std::string bytes = narrow(text);
                for (const detail::Isa isa : detail::availableIsas()) {
                    SCOPED_TRACE(static_cast<int>(isa));
                    ASSERT_EQ(detail::transformAll<char16_t>(text, book(), direction, isa),
                              expected);
                    ASSERT_EQ(inPieces(std::u16string_view(text), direction, isa, book()),
                              expected);
                    ASSERT_EQ(detail::transformAll<char>(bytes, book(), direction, isa),
                              narrow(expected));
                    ASSERT_EQ(inPieces(std::string_view(bytes), direction, isa, book()),
                              narrow(expected));
                }
            }
        }
    }
}

// Every kernel, both ways and for both unit types, on texts of every length up
// to five SSE2 blocks whose last unit sits right before an unreadable page:
// their tails hold cut-off codes, runs of 9s and plain digits.
TEST_P(EveryKey, KernelsReadNothingPastTheEndOfTheText)
{
    GuardedPages pages;
    const SubstitutionPass passes[] = {encryptionPass(book()), decryptionPass(book())};
    for (std::size_t len = 0; len <= 80; ++len) {
        const std::u16string inputs[] = {
            plainText(rng, len, true),
            encryptText(plainText(rng, len, false), book()).substr(0, len),
            codeSoup(rng, book(), len).substr(0, len),
            std::u16string(len, u'9'),
        };
        for (const std::u16string& text : inputs) {
            SCOPED_TRACE(::testing::PrintToString(text));
            const std::string bytes = narrow(text);
            for (const detail::Isa isa : detail::availableIsas()) {
                SCOPED_TRACE(static_cast<int>(isa));
                const auto units = pages.atEnd(std::u16string_view(text));
                ASSERT_EQ(detail::countUnits<char16_t>(units), countUnits(text));
                ASSERT_EQ(detail::noCodeBegins<char16_t>(units, book(), isa),
                          roundTrips(text, book()));
                for (const Direction direction : {Direction::encrypt, Direction::decrypt}) {
                    const auto expected = runPass(text, passes[direction == Direction::decrypt]);
                    ASSERT_EQ(detail::transformAll<char16_t>(pages.atEnd(std::u16string_view(text)),
                                                             book(), direction, isa),
                              expected);
                    ASSERT_EQ(detail::transformAll<char>(pages.atEnd(std::string_view(bytes)),
                                                         book(), direction, isa),
                              narrow(expected));
                }
                const auto narrowed = pages.atEnd(std::string_view(bytes));
                ASSERT_EQ(detail::noCodeBegins<char>(narrowed, book(), isa),
                          roundTrips(bytes, book()));
                ASSERT_EQ(detail::countUnits<char>(narrowed).units, bytes.size());
            }
        }
    }
}

TEST_P(EveryKey, RoundTripsAnswersWhatTheRoundTripDoes)
{
    int failing = 0;
    for (int i = 0; i < 400; ++i) {
        // Plain text sprinkled with code-like digits, so that both answers occur.
        auto text = plainText(rng, 12, true);
        text.insert(static_cast<std::size_t>(i % 12), codeSoup(rng, book(), 2));
        const bool expected = decryptText(encryptText(text, book()), book()) == text;
        ASSERT_EQ(roundTrips(text, book()), expected);
        for (const detail::Isa isa : detail::availableIsas())
            ASSERT_EQ(detail::noCodeBegins<char16_t>(text, book(), isa), expected);
        failing += expected ? 0 : 1;
    }
    EXPECT_GT(failing, 20);
    EXPECT_LT(failing, 380);
}

INSTANTIATE_TEST_SUITE_P(Keys, EveryKey, ::testing::Range<std::size_t>(0, 10),
                         [](const auto& info) { return "key" + std::to_string(info.param + 1); });

TEST(SubstitutionPass, StepsRunInAlphabetOrderInBothDirections)
{
    const Codebook& book = key(u"6");
    const auto encrypt = encryptionPass(book);
    const auto decrypt = decryptionPass(book);
    for (std::size_t i = 0; i < CipherAlphabet::size; ++i) {
        EXPECT_EQ(encrypt[i].find, std::u16string(1, CipherAlphabet::at(i)));
        EXPECT_EQ(encrypt[i].replacement, book.code(i));
        EXPECT_EQ(decrypt[i].find, book.code(i));
        EXPECT_EQ(decrypt[i].replacement, encrypt[i].find);
    }
}

} // namespace
} // namespace kelvane
