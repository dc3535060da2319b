// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

// Runs the built kelvane-cipher as a child process and checks what a script
// would see: exit status, standard output byte for byte, and the messages.

#include "commandline.h"
#include "process.h"
#include "utf8.h"
#include "utf8form.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <kelvane/codebook.h>
#include <kelvane/substitution.h>
#include <optional>
#include <ostream>
#include <sched.h>
#include <spawn.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

#ifndef KELVANE_CIPHER_PATH
#error "KELVANE_CIPHER_PATH must name the built kelvane-cipher"
#endif

namespace kelvane::cli {
namespace {

using testing::appendUtf8;
using testing::ProcessResult;
using testing::runProcess;

const std::string cipherPath = KELVANE_CIPHER_PATH;
const std::string digitWarning =
    "Some digits in this text will not come back unchanged after decryption.";

ProcessResult runCipher(const std::vector<std::string>& arguments, const std::string& input = {},
                        const std::string& workDir = {})
{
    return runProcess(cipherPath, arguments, input, workDir);
}

std::u16string toUtf16(const std::string& bytes)
{
    std::u16string units;
    EXPECT_FALSE(appendUtf16(bytes, units).has_value());
    return units;
}

std::string toUtf8(std::u16string_view units)
{
    std::string bytes;
    EXPECT_FALSE(appendUtf8(units, bytes).has_value());
    return bytes;
}

// A directory of its own for each test, for input files.
class CipherTool : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kelvane-cli-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // Returns the path of a new file in the test's directory holding `content`.
    std::string file(const std::string& name, const std::string& content)
    {
        const std::string path = (dir_ / name).string();
        testing::writeFile(path, content);
        return path;
    }

    std::filesystem::path dir_;
};

// Successful runs: the output must equal what the core makes of the same text.
struct RunCase
{
    const char* name;
    std::vector<std::string> arguments;
    std::string input;
    bool encrypt;
    const char16_t* key;
};

// Prints the case by name rather than as raw bytes.
void PrintTo(const RunCase& c, std::ostream* os)
{
    *os << c.name;
}

class CipherToolRuns : public ::testing::TestWithParam<RunCase>
{};

TEST_P(CipherToolRuns, WritesWhatTheCoreComputes)
{
    const RunCase& c = GetParam();
    const Codebook& codebook = *findCodebook(c.key);
    const std::u16string units = toUtf16(c.input);
    const std::string expected =
        toUtf8(c.encrypt ? encryptText(units, codebook) : decryptText(units, codebook));

    const ProcessResult result = runCipher(c.arguments, c.input);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, expected);
    EXPECT_EQ(result.err, "");
}

const std::string cipherOfHello = toUtf8(encryptText(u"Hello, world!\r\n", *findCodebook(u"7")));

INSTANTIATE_TEST_SUITE_P(
    Cases, CipherToolRuns,
    ::testing::Values(
        RunCase{"EmptyInput", {"encrypt", "--key", "1"}, "", true, u"1"},
        RunCase{"Sentence", {"encrypt", "--key", "3"}, "Attack at dawn.", true, u"3"},
        RunCase{"KeyWithEquals", {"encrypt", "--key=10"}, "Ten (10) @ once?", true, u"10"},
        RunCase{"ShortKeyOption", {"decrypt", "-k", "2"}, "9071 plain", false, u"2"},
        RunCase{"OptionsAfterCommand", {"--key", "5", "encrypt"}, "ok", true, u"5"},
        RunCase{"DashIsStandardInput", {"encrypt", "--key", "4", "-"}, "dash", true, u"4"},
        RunCase{"CrLfKeptInPlace", {"encrypt", "--key", "6"}, "one\r\ntwo\r\n\r\n", true, u"6"},
        RunCase{"NonAsciiPassesThrough",
                {"encrypt", "--key", "8"},
                "caf\xC3\xA9 \xE4\xB8\xAD \xE2\x82\xAC \xF0\x9F\x98\x80 end",
                true,
                u"8"},
        RunCase{"BomPassesThrough", {"encrypt", "--key", "9"}, "\xEF\xBB\xBFHi\n", true, u"9"},
        RunCase{"NulPassesThrough", {"encrypt", "--key", "1"}, std::string("a\0b", 3), true, u"1"},
        RunCase{"DecryptCipherText", {"decrypt", "--key", "7"}, cipherOfHello, false, u"7"},
        RunCase{"DecryptWithOtherKey", {"decrypt", "--key", "3"}, cipherOfHello, false, u"3"},
        RunCase{"DecryptMixedText",
                {"decrypt", "--key", "7"},
                "Note: " + cipherOfHello + " \xC3\xA9",
                false,
                u"7"},
        RunCase{
            "StrictAcceptsSafeDigits", {"encrypt", "--strict", "-k", "1"}, "Room 42", true, u"1"},
        RunCase{"KeyGluedToShortOption", {"encrypt", "-k3"}, "glued", true, u"3"},
        RunCase{"LongOptionPrefix", {"--ke", "10", "--str", "encrypt"}, "prefix", true, u"10"},
        RunCase{"DoubleDashEndsOptions", {"-k1", "--", "encrypt", "-"}, "-- ends", true, u"1"}),
    [](const auto& info) { return std::string(info.param.name); });

// Failed runs: a non-zero status, one message line and nothing on stdout;
// argument errors add the line that points to --help.
struct FailureCase
{
    const char* name;
    std::vector<std::string> arguments;
    std::string input;
    int exitCode;
    std::string message;
    bool pointsToHelp;
};

// Prints the case by name rather than as raw bytes.
void PrintTo(const FailureCase& c, std::ostream* os)
{
    *os << c.name;
}

class CipherToolFailures : public ::testing::TestWithParam<FailureCase>
{};

TEST_P(CipherToolFailures, ReportsAndWritesNothing)
{
    const FailureCase& c = GetParam();
    const ProcessResult result = runCipher(c.arguments, c.input);
    EXPECT_EQ(result.exitCode, c.exitCode);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err,
              "kelvane-cipher: " + c.message + "\n" +
                  (c.pointsToHelp ? "Try 'kelvane-cipher --help' for more information.\n" : ""));
}

const std::string keyHint = "; the keys are 1, 2, 3, 4, 5, 6, 7, 8, 9 and 10";

INSTANTIATE_TEST_SUITE_P(
    Cases, CipherToolFailures,
    ::testing::Values(
        FailureCase{"NoArguments", {}, "", 2, "missing command: encrypt or decrypt", true},
        FailureCase{"UnknownCommand",
                    {"scramble", "--key", "1"},
                    "",
                    2,
                    "unknown command scramble (expected encrypt or decrypt)",
                    true},
        FailureCase{"MissingKey", {"encrypt"}, "x", 2, "missing --key", true},
        FailureCase{
            "KeyWithoutValue", {"encrypt", "--key"}, "x", 2, "option --key needs a value", true},
        FailureCase{"UnknownOption",
                    {"encrypt", "-k", "1", "--fast"},
                    "x",
                    2,
                    "unknown option --fast",
                    true},
        FailureCase{"TwoFiles",
                    {"encrypt", "-k", "1", "a", "b"},
                    "x",
                    2,
                    "too many files: only one input file is read",
                    true},
        FailureCase{"KeyZero", {"encrypt", "-k", "0"}, "x", 2, "unknown key \"0\"" + keyHint, true},
        FailureCase{
            "KeyEleven", {"decrypt", "-k", "11"}, "x", 2, "unknown key \"11\"" + keyHint, true},
        FailureCase{"KeyLeadingZero",
                    {"encrypt", "-k", "01"},
                    "x",
                    2,
                    "unknown key \"01\"" + keyHint,
                    true},
        FailureCase{
            "KeyWithSpace", {"encrypt", "--key= 1"}, "x", 2, "unknown key \" 1\"" + keyHint, true},
        FailureCase{"EmptyKey", {"encrypt", "--key="}, "x", 2, "unknown key \"\"" + keyHint, true},
        FailureCase{"MissingFile",
                    {"encrypt", "-k", "1", "/nonexistent/kelvane.txt"},
                    "",
                    1,
                    "cannot open /nonexistent/kelvane.txt: No such file or directory",
                    false},
        FailureCase{"DirectoryAsFile",
                    {"encrypt", "-k", "1", "/"},
                    "",
                    1,
                    "cannot read /: Is a directory",
                    false},
        FailureCase{"OverlongUtf8",
                    {"encrypt", "-k", "1"},
                    "Hello\xC0\xAF",
                    1,
                    "standard input: not valid UTF-8 at byte offset 5 (overlong encoding); "
                    "nothing was written",
                    false},
        FailureCase{"SurrogateInUtf8",
                    {"decrypt", "-k", "1"},
                    "9071\xED\xA0\x80",
                    1,
                    "standard input: not valid UTF-8 at byte offset 4 (encoded surrogate); "
                    "nothing was written",
                    false},
        FailureCase{"TruncatedUtf8",
                    {"encrypt", "-k", "1"},
                    "\xC3\xA9\xE2\x82",
                    1,
                    "standard input: not valid UTF-8 at byte offset 2 (truncated sequence); "
                    "nothing was written",
                    false},
        FailureCase{"KeyTwice",
                    {"encrypt", "-k1", "--key=2"},
                    "x",
                    2,
                    "option --key given more than once",
                    true},
        FailureCase{"StrictTwice",
                    {"encrypt", "--strict", "-k", "1", "--strict"},
                    "x",
                    2,
                    "option --strict given more than once",
                    true},
        FailureCase{"StrictWithDecrypt",
                    {"decrypt", "--strict", "-k", "1"},
                    "x",
                    2,
                    "option --strict only applies to encrypt",
                    true},
        FailureCase{"ValueForAFlag",
                    {"encrypt", "-k", "1", "--strict=yes"},
                    "x",
                    2,
                    "option --strict takes no value",
                    true},
        FailureCase{
            "UnknownShortOption", {"encrypt", "-k1", "-x"}, "x", 2, "unknown option -x", true},
        FailureCase{"EscapesControlsInCommand",
                    {"en\x1b[2Jcrypt", "-k1"},
                    "x",
                    2,
                    "unknown command en\\x1b[2Jcrypt (expected encrypt or decrypt)",
                    true},
        FailureCase{"EscapesControlsInOption",
                    {"encrypt", "-k1", "--\r\x7f"},
                    "x",
                    2,
                    "unknown option --\\r\\x7f",
                    true},
        FailureCase{"EscapesControlsInKey",
                    {"encrypt", "-k", "1\n\\"},
                    "x",
                    2,
                    "unknown key \"1\\n\\\\\"" + keyHint,
                    true},
        FailureCase{"EscapesControlsInFileName",
                    {"encrypt", "-k1", "/nonexistent/a\xC2\x9B\tb\xC2\xA0"},
                    "",
                    1,
                    "cannot open /nonexistent/a\\u009b\\tb\xC2\xA0: No such file or directory",
                    false},
        FailureCase{"EscapesBytesInKey",
                    {"encrypt", "-k",
                     "\x9b"
                     "2J\xE2\x80\xAE"},
                    "x",
                    2,
                    "unknown key \"\\x9b2J\\u202e\"" + keyHint,
                    true},
        FailureCase{"WholeCharacterInShortOption",
                    {"encrypt", "-k1", "-\xC3\xA9"},
                    "x",
                    2,
                    "unknown option -\xC3\xA9",
                    true},
        FailureCase{
            "HelpTwice", {"-h", "--help"}, "", 2, "option --help given more than once", true},
        FailureCase{"VersionTwice",
                    {"--version", "--vers"},
                    "",
                    2,
                    "option --version given more than once",
                    true},
        FailureCase{"LongKeyIsCut",
                    {"encrypt", "-k", std::string(5000, '7')},
                    "x",
                    2,
                    "unknown key \"" + std::string(256, '7') + "...\"" + keyHint,
                    true},
        FailureCase{
            "BidiMarksAndSeparatorsInFileName",
            {"encrypt", "-k1", "/nonexistent/\xD8\x9C\xE2\x80\x8E\xE2\x80\x8F\xE2\x80\xA8"},
            "",
            1,
            "cannot open /nonexistent/\\u061c\\u200e\\u200f\\u2028: No such file or directory",
            false},
        FailureCase{"StrictRefusesBrokenDigits",
                    {"encrypt", "--strict", "-k", "1"},
                    "Code 9071 ends here",
                    1,
                    digitWarning + " Nothing was written (--strict).",
                    false}),
    [](const auto& info) { return std::string(info.param.name); });

// Echoed arguments: the edges of each escaped range, and bytes that are no UTF-8.
struct EscapeCase
{
    const char* name;
    std::string text;
    std::string escaped;
};

// Prints the case by name rather than as raw bytes.
void PrintTo(const EscapeCase& c, std::ostream* os)
{
    *os << c.name;
}

class EscapeControls : public ::testing::TestWithParam<EscapeCase>
{};

TEST_P(EscapeControls, EscapesWhatCouldChangeTheTerminalOrTheLine)
{
    EXPECT_EQ(escapeControls(GetParam().text), GetParam().escaped);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, EscapeControls,
    ::testing::Values(
        EscapeCase{"U001F_U0020", "\x1f ", "\\x1f "}, EscapeCase{"U007E", "~", "~"},
        EscapeCase{"U007F", "\x7f", "\\x7f"}, EscapeCase{"U0080", "\xC2\x80", "\\u0080"},
        EscapeCase{"U009F", "\xC2\x9F", "\\u009f"}, EscapeCase{"U00A0", "\xC2\xA0", "\xC2\xA0"},
        EscapeCase{"U00AC", "\xC2\xAC", "\xC2\xAC"}, EscapeCase{"U00AD", "\xC2\xAD", "\\u00ad"},
        EscapeCase{"U061B", "\xD8\x9B", "\xD8\x9B"}, EscapeCase{"U061C", "\xD8\x9C", "\\u061c"},
        EscapeCase{"U200A", "\xE2\x80\x8A", "\xE2\x80\x8A"},
        EscapeCase{"U200B", "\xE2\x80\x8B", "\\u200b"},
        EscapeCase{"U200E", "\xE2\x80\x8E", "\\u200e"},
        EscapeCase{"U200F", "\xE2\x80\x8F", "\\u200f"},
        EscapeCase{"U2010", "\xE2\x80\x90", "\xE2\x80\x90"},
        EscapeCase{"U2027", "\xE2\x80\xA7", "\xE2\x80\xA7"},
        EscapeCase{"U2028", "\xE2\x80\xA8", "\\u2028"},
        EscapeCase{"U2029", "\xE2\x80\xA9", "\\u2029"},
        EscapeCase{"U202A", "\xE2\x80\xAA", "\\u202a"},
        EscapeCase{"U202E", "\xE2\x80\xAE", "\\u202e"},
        EscapeCase{"U202F", "\xE2\x80\xAF", "\xE2\x80\xAF"},
        EscapeCase{"U2065", "\xE2\x81\xA5", "\xE2\x81\xA5"},
        EscapeCase{"U2066", "\xE2\x81\xA6", "\\u2066"},
        EscapeCase{"U2069", "\xE2\x81\xA9", "\\u2069"},
        EscapeCase{"U206F", "\xE2\x81\xAF", "\\u206f"},
        EscapeCase{"U2070", "\xE2\x81\xB0", "\xE2\x81\xB0"},
        EscapeCase{"UFEFF", "\xEF\xBB\xBF", "\\ufeff"},
        EscapeCase{"UE0001", "\xF3\xA0\x80\x81", "\\U000e0001"},
        EscapeCase{"UE007F", "\xF3\xA0\x81\xBF", "\\U000e007f"},
        EscapeCase{"UE0080", "\xF3\xA0\x82\x80", "\xF3\xA0\x82\x80"},
        EscapeCase{"U1F600", "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
        EscapeCase{"Backslash", "a\\b", "a\\\\b"},
        // 256 characters are echoed whole; one more is cut to 256 and "...".
        // An escape or a multi-byte character counts as one.
        EscapeCase{"Echoes256Characters", std::string(255, 'k') + "\n",
                   std::string(255, 'k') + "\\n"},
        EscapeCase{"Cuts257Characters", std::string(256, 'k') + "\xE2\x80\x8F",
                   std::string(256, 'k') + "..."},
        EscapeCase{"Cuts257BrokenBytes", std::string(257, '\xFF'),
                   [] {
                       std::string cut;
                       for (int i = 0; i < 256; ++i)
                           cut += "\\xff";
                       return cut + "...";
                   }()},
        EscapeCase{"LoneC3", "\xC3", "\\xc3"},
        EscapeCase{"C3BeforeAscii",
                   "\xC3"
                   "e",
                   "\\xc3e"},
        EscapeCase{"TruncatedE2", "\xE2\x80!", "\\xe2\\x80!"},
        EscapeCase{"Csi9BAndOsc9D",
                   "\x9b"
                   "2J\x9d"
                   "0;x",
                   "\\x9b2J\\x9d0;x"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CipherToolInfo, HelpGoesToStandardOutput)
{
    const ProcessResult result = runCipher({"--help"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(result.out.starts_with("Usage: kelvane-cipher encrypt --key=KEY"));
    EXPECT_NE(result.out.find("Exit status:"), std::string::npos);
    EXPECT_NE(result.out.find("Do not\nuse it for secrets."), std::string::npos);
    EXPECT_TRUE(result.out.ends_with("\nReport bugs to <maintainers@example.org>.\n"
                                     "Kelvane Encryptor home page: "
                                     "<https://example.org/kelvane-encryptor>\n"));
}

// REUSE-IgnoreStart
TEST(CipherToolInfo, VersionNamesVersionCopyrightAndLicence)
{
    const ProcessResult result = runCipher({"encrypt", "--version"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(result.out.starts_with("kelvane-cipher (Kelvane Encryptor) " KELVANE_VERSION "\n"
                                       "Copyright (C) 2026 Kelvane Encryptor contributors\n"
                                       "License GPLv3+: GNU GPL version 3 or later"));
    EXPECT_EQ(result.err, "");
}
// REUSE-IgnoreEnd

// Without --strict the cipher text is still written, with the window's warning.
TEST(CipherToolInfo, WarnsAboutDigitsThatWillNotComeBack)
{
    const std::u16string text = u"Code 9071 ends here";
    const Codebook& codebook = *findCodebook(u"1");
    ASSERT_FALSE(roundTrips(text, codebook));
    const ProcessResult result = runCipher({"encrypt", "-k", "1"}, toUtf8(text));
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, toUtf8(encryptText(text, codebook)));
    EXPECT_EQ(result.err, "kelvane-cipher: warning: " + digitWarning + "\n");
}

TEST_F(CipherTool, FileEncryptedByTheToolDecryptsInTheCore)
{
    const std::string plain = "Dear Ann,\r\n\tthe caf\xC3\xA9 (\xE2\x82\xAC) opens at noon!\r\n"
                              "\xF0\x9F\x98\x80 \"Bye\" @ you?\n";
    const std::string path = file("letter.txt", plain);
    const ProcessResult result = runCipher({"encrypt", "--key", "6", path});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(decryptText(toUtf16(result.out), *findCodebook(u"6")), toUtf16(plain));

    const std::string cipherPath = file("letter.cipher", result.out);
    const ProcessResult back = runCipher({"decrypt", "--key", "6", cipherPath});
    EXPECT_EQ(back.exitCode, 0);
    EXPECT_EQ(back.out, plain);
}

TEST_F(CipherTool, RelativeFileAndLargeInputRoundTrip)
{
    // Several megabytes, so that the tool works through many slices.
    std::string plain;
    while (plain.size() < 3'000'000)
        plain += "Line of text, with \xC3\xA9 and \xF0\x9F\x98\x80!\r\n";
    file("big.txt", plain);
    const ProcessResult encrypted = runCipher({"encrypt", "-k", "2", "big.txt"}, {}, dir_);
    ASSERT_EQ(encrypted.exitCode, 0) << encrypted.err;
    EXPECT_EQ(encrypted.out, toUtf8(encryptText(toUtf16(plain), *findCodebook(u"2"))));
    const ProcessResult decrypted = runCipher({"decrypt", "-k", "2"}, encrypted.out);
    ASSERT_EQ(decrypted.exitCode, 0);
    EXPECT_TRUE(decrypted.out == plain);
}

TEST(CipherToolInfo, ReportsAFullDisk)
{
    const ProcessResult result =
        runProcess("/bin/sh", {"-c", "exec \"$0\" encrypt -k 1 >/dev/full", cipherPath}, "Hello");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "kelvane-cipher: cannot write the output: No space left on device; "
                          "nothing was written\n");
}

// A reader that goes away: with SIGPIPE ignored the tool reports the broken
// pipe and exits 1; at its default action the signal ends the tool silently.
TEST_F(CipherTool, ClosedPipe)
{
    const std::string input = file("plain.txt", std::string(1'000'000, 'a'));
    const std::string run = "(\"$0\" encrypt -k 4 \"$1\"; echo \"status $?\" >&2) | true";
    const ProcessResult ignored =
        runProcess("/bin/sh", {"-c", "trap '' PIPE; " + run, cipherPath, input});
    EXPECT_TRUE(ignored.err.starts_with("kelvane-cipher: cannot write the output: Broken pipe; "))
        << ignored.err;
    EXPECT_TRUE(ignored.err.ends_with(" written\nstatus 1\n")) << ignored.err;
    const ProcessResult killed = runProcess("/bin/sh", {"-c", run, cipherPath, input});
    EXPECT_EQ(killed.err, "status 141\n");
}

// A write that fails part way under a 2 MiB file-size limit leaves the output
// file with its old size and content: empty after `>`, its old content after
// `>>` and after `1<>` seeked past the end (not a sparse file up to the start
// offset). Over old content (`1<>` at 0) only the overwritten bytes stay.
// With SIGXFSZ ignored the tool exits 1; at its default action the signal
// still ends the tool, as it would any other, but only after the clean-up.
TEST_F(CipherTool, FileSizeLimitLeavesTheOutputFileAsItWas)
{
    std::string plain;
    while (plain.size() < 1'000'000)
        plain += "A line of plain text that grows tenfold. ";
    const std::string input = file("plain.txt", plain);
    const std::string output = (dir_ / "out.cipher").string();
    const std::string before = "kept\n";
    const std::string failed = "kelvane-cipher: cannot write the output: File too large; ";
    const std::string cipher = toUtf8(encryptText(toUtf16(plain), *findCodebook(u"4")));
    struct
    {
        const char* redirect;
        const char* seek;
        const char* trap;
        int exitCode;
        std::string after;
        std::string message;
    } const cases[] = {
        {">", "0", "trap '' XFSZ;", 1, "", "nothing was written"},
        {">>", "0", "trap '' XFSZ;", 1, before, "nothing was written"},
        {">", "0", "", -1, "", "nothing was written"},
        {">>", "0", "", -1, before, "nothing was written"},
        {"1<>", "1048576", "trap '' XFSZ;", 1, before, "nothing was written"},
        {"1<>", "5", "", -1, before, "nothing was written"},
        {"1<>", "0", "trap '' XFSZ;", 1, cipher.substr(0, 5),
         "only the first 5 bytes were written"},
    };
    for (const auto& c : cases) {
        testing::writeFile(output, std::string_view(c.redirect) == ">" ? "" : before);
        // perl (always on Debian) moves the shared file offset before the tool starts.
        const std::string script = std::string("ulimit -f 4096; ") + c.trap +
                                   " exec perl -e 'sysseek(STDOUT, $ARGV[0], 0) or die; "
                                   "shift; exec @ARGV' " +
                                   c.seek + " \"$0\" encrypt -k 4 \"$1\" " + c.redirect + " \"$2\"";
        const ProcessResult result =
            runProcess("/bin/sh", {"-c", script, cipherPath, input, output});
        SCOPED_TRACE(script);
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_EQ(result.err, failed + c.message + "\n");
        const std::string after = testing::readFile(output);
        EXPECT_EQ(after.size(), c.after.size());
        EXPECT_TRUE(after == c.after);
    }
}

// A non-blocking pipe that is empty for a while: the tool waits for the rest
// of the input rather than failing with EAGAIN. It is let go on only once it
// has read the first part and sleeps (or has ended).
TEST_F(CipherTool, WaitsForANonBlockingInput)
{
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    ASSERT_EQ(fcntl(fds[0], F_SETFL, O_NONBLOCK), 0);
    const std::string outPath = (dir_ / "out").string();
    const std::string errPath = (dir_ / "err").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    std::vector<std::string> arguments{cipherPath, "encrypt", "-k", "5"};
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, cipherPath.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);

    const std::string first = "Hello, ";
    const std::string rest = "world!";
    ASSERT_EQ(write(fds[1], first.data(), first.size()), static_cast<ssize_t>(first.size()));
    // Returns the state of the run: the third field of /proc/PID/stat, after "(name)".
    const std::string statPath = "/proc/" + std::to_string(pid) + "/stat";
    const auto state = [&statPath] {
        const std::string stat = testing::readFile(statPath);
        return stat.at(stat.rfind(')') + 2);
    };
    int unread = 0;
    while (ioctl(fds[0], FIONREAD, &unread) == 0 && unread > 0 && state() != 'Z')
        sched_yield();
    while (state() != 'S' && state() != 'Z')
        sched_yield();
    ASSERT_EQ(write(fds[1], rest.data(), rest.size()), static_cast<ssize_t>(rest.size()));
    close(fds[1]);
    close(fds[0]);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_EQ(testing::readFile(errPath), "");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(testing::readFile(outPath),
              toUtf8(encryptText(toUtf16(first + rest), *findCodebook(u"5"))));
}

// What another program, or the user, does to a run that is stopped in the
// middle of writing a large result to a regular file.
enum class Interference
{
    appendLines, // another writer appends its lines; then the file is full
    truncate,    // another program cuts the file to nothing; 2 MiB later it is full
    rewrite,     // another program writes the file anew; 1 MiB later it is full
    interrupt,   // SIGINT
    terminate,   // SIGTERM
    hangUp,      // SIGHUP
};

struct InterferenceCase
{
    const char* name;
    Interference interference;
    const char* redirect;
    std::string before;
};

// Prints the case by name rather than as raw bytes.
void PrintTo(const InterferenceCase& c, std::ostream* os)
{
    *os << c.name;
}

class CipherToolInterfered : public CipherTool,
                             public ::testing::WithParamInterface<InterferenceCase>
{};

// The run is stopped (SIGSTOP) as soon as the output file has grown, so the
// interference lands in the middle of the write wherever the machine is
// slow; the "disk full" that follows is a file-size limit set on the stopped
// process, so it strikes at a known size. The other program's data must all
// survive, a signal must leave the file as it was and end the run with the
// signal's status, and the message must say what this run wrote.
TEST_P(CipherToolInterfered, TakesBackOnlyItsOwnBytes)
{
    const InterferenceCase& c = GetParam();
    const std::string line = "A line of plain text that grows tenfold.\n";
    std::string plain;
    plain.reserve(20'000'000 + line.size());
    while (plain.size() < 20'000'000)
        plain += line;
    const std::string input = file("plain.txt", plain);
    const std::string output = file("out.cipher", c.before);
    const std::string errors = (dir_ / "errors").string();
    const std::string lineCipher = toUtf8(encryptText(toUtf16(line), *findCodebook(u"4")));
    // Returns `size` bytes of the cipher text from `offset` on.
    const auto cipherAt = [&lineCipher](std::size_t offset, std::size_t size) {
        std::string text;
        while (text.size() < offset % lineCipher.size() + size)
            text += lineCipher;
        return text.substr(offset % lineCipher.size(), size);
    };

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    for (const int number : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&signals, number);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    const std::string script =
        std::string("trap '' XFSZ; exec \"$0\" encrypt -k 4 \"$1\" ") + c.redirect + " \"$2\"";
    const std::vector<std::string> arguments{"/bin/sh", "-c", script, cipherPath, input, output};
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, "/bin/sh", &actions, &attributes, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);

    int status = 0;
    while (std::filesystem::file_size(output) <= c.before.size()) {
        ASSERT_EQ(waitpid(pid, &status, WNOHANG), 0) << "the run ended before it wrote";
        sched_yield();
    }
    ASSERT_EQ(kill(pid, SIGSTOP), 0);
    ASSERT_EQ(waitpid(pid, &status, WUNTRACED), pid);
    ASSERT_TRUE(WIFSTOPPED(status)) << "the run ended before it could be stopped";
    const std::size_t ownBefore = std::filesystem::file_size(output) - c.before.size();

    std::string others;
    std::optional<std::uintmax_t> limit;
    switch (c.interference) {
    case Interference::appendLines: {
        for (int i = 1; i <= 122; ++i)
            others += "another writer's line " + std::to_string(i) + "\n";
        std::ofstream(output, std::ios::binary | std::ios::app) << others;
        limit = std::filesystem::file_size(output);
        break;
    }
    case Interference::truncate:
        std::filesystem::resize_file(output, 0);
        limit = std::uintmax_t{2} << 20;
        break;
    case Interference::rewrite:
        others = "their own text\n";
        testing::writeFile(output, others);
        limit = ownBefore + (std::uintmax_t{1} << 20);
        break;
    case Interference::interrupt:
        kill(pid, SIGINT);
        break;
    case Interference::terminate:
        kill(pid, SIGTERM);
        break;
    case Interference::hangUp:
        kill(pid, SIGHUP);
        break;
    }
    if (limit) {
        const rlimit size{*limit, *limit};
        ASSERT_EQ(prlimit(pid, RLIMIT_FSIZE, &size, nullptr), 0);
    }
    ASSERT_EQ(kill(pid, SIGCONT), 0);
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    const int shellStatus = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
    const std::string message = testing::readFile(errors);
    const std::string after = testing::readFile(output);
    const std::string changed = "kelvane-cipher: cannot write the output: File too large; the "
                                "output file changed during the run, so nothing of it was "
                                "removed; this run wrote ";

    switch (c.interference) {
    case Interference::appendLines:
        // Ours, theirs, and nothing more of ours: the next write found the file full.
        EXPECT_EQ(shellStatus, 1);
        EXPECT_EQ(message, changed + std::to_string(ownBefore) + " bytes to it\n");
        EXPECT_EQ(after.size(), c.before.size() + ownBefore + others.size());
        EXPECT_TRUE(after == c.before + cipherAt(0, ownBefore) + others);
        break;
    case Interference::truncate:
        EXPECT_EQ(shellStatus, 1);
        EXPECT_EQ(message, changed + std::to_string(ownBefore + (2 << 20)) + " bytes to it\n");
        EXPECT_EQ(after.size(), std::size_t{2} << 20);
        EXPECT_TRUE(after == cipherAt(ownBefore, 2 << 20));
        break;
    case Interference::rewrite:
        EXPECT_EQ(shellStatus, 1);
        EXPECT_EQ(message, changed + std::to_string(ownBefore + (1 << 20)) + " bytes to it\n");
        EXPECT_EQ(after.size(), ownBefore + (1 << 20));
        EXPECT_TRUE(after.starts_with(others));
        EXPECT_TRUE(after.substr(ownBefore) == cipherAt(ownBefore, 1 << 20));
        break;
    case Interference::interrupt:
    case Interference::terminate:
    case Interference::hangUp: {
        const int number = c.interference == Interference::interrupt   ? SIGINT
                           : c.interference == Interference::terminate ? SIGTERM
                                                                       : SIGHUP;
        EXPECT_EQ(shellStatus, 128 + number);
        EXPECT_EQ(message, std::string("kelvane-cipher: interrupted by ") +
                               (number == SIGINT    ? "SIGINT"
                                : number == SIGTERM ? "SIGTERM"
                                                    : "SIGHUP") +
                               " while writing the output; nothing was written\n");
        EXPECT_EQ(after.size(), c.before.size());
        EXPECT_TRUE(after == c.before);
        break;
    }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CipherToolInterfered,
    ::testing::Values(
        InterferenceCase{"TwoWritersAppend", Interference::appendLines, ">>", "log start\n"},
        InterferenceCase{"TruncatedByAnother", Interference::truncate, ">>",
                         std::string(999'999, 'o') + "\n"},
        InterferenceCase{"RewrittenByAnother", Interference::rewrite, ">", ""},
        InterferenceCase{"SigintTruncatingWrite", Interference::interrupt, ">", ""},
        InterferenceCase{"SigtermAppendingWrite", Interference::terminate, ">>", "kept\n"},
        InterferenceCase{"SighupAppendingWrite", Interference::hangUp, ">>", "kept\n"},
        InterferenceCase{"SigintAppendingWrite", Interference::interrupt, ">>", "kept\n"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace kelvane::cli
