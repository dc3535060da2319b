// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "application.h"

#include "commandline.h"
#include "outputfile.h"
#include "texttransformer.h"
#include "utf8.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <kelvane/alphabet.h>
#include <kelvane/codebook.h>
#include <kelvane/command.h>
#include <kelvane/substitution.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

#ifndef KELVANE_VERSION
#error "KELVANE_VERSION must be defined by the build"
#endif

namespace kelvane::cli {

namespace {

constexpr std::string_view programName = "kelvane-cipher";
constexpr std::string_view tryHelp = "Try 'kelvane-cipher --help' for more information.\n";

// Returns the key numbers as "1, 2, ... 9 <conjunction> 10".
std::string keyList(std::string_view conjunction)
{
    std::string list;
    for (std::size_t i = 0; i < keyNumbers.size(); ++i) {
        if (i > 0)
            list += i + 1 == keyNumbers.size() ? " " + std::string(conjunction) + " " : ", ";
        for (char16_t c : keyNumbers[i])
            list.push_back(static_cast<char>(c));
    }
    return list;
}

// Returns how messages name the input, with control characters escaped.
std::string inputName(const std::string& file)
{
    return file == "-" ? std::string("standard input") : escapeControls(file);
}

} // namespace

Application::Application(std::FILE* in, std::FILE* out, std::FILE* err)
    : in_(in), out_(out), err_(err)
{}

std::string Application::usage()
{
    return "Usage: kelvane-cipher encrypt --key=KEY [--strict] [FILE]\n"
           "       kelvane-cipher decrypt --key=KEY [FILE]\n"
           "       kelvane-cipher --help | --version\n"
           "\n"
           "Encrypts UTF-8 text into runs of digits, or decrypts such runs back, with one\n"
           "of the ten fixed codebooks of Kelvane Encryptor. Reads FILE, or standard input\n"
           "when FILE is - or missing, and writes the result to standard output once all\n"
           "of the input is read and checked. Line breaks and characters outside the\n"
           "cipher alphabet pass through unchanged.\n"
           "\n"
           "Options:\n"
           "  -k, --key=KEY  the key: " +
           keyList("or") +
           "\n"
           "      --strict   refuse to encrypt a text whose digits would not come back\n"
           "                 unchanged after decryption, instead of warning\n"
           "  -h, --help     print this help and exit\n"
           "      --version  print the version and exit\n"
           "Each option is given at most once; -k3, -k 3, --key 3 and --key=3 are the same.\n"
           "\n"
           "Exit status:\n"
           "  0  success\n"
           "  1  the input could not be read or is not UTF-8, the output could not be\n"
           "     written, or --strict refused the text. Nothing was written, except\n"
           "     when a write into a pipe, terminal or device failed part way: the\n"
           "     bytes before it stay there and the message counts them. A regular\n"
           "     file is cut back to what it held before the run.\n"
           "  2  wrong or missing arguments, or an unknown key; nothing was written\n"
           "\n"
           "The cipher is a fixed substitution with public codebooks: it hides text from a\n"
           "casual glance and protects nothing from anyone who has this program. Do not\n"
           "use it for secrets.\n"
           "\n"
           "Report bugs to <maintainers@example.org>.\n"
           "Kelvane Encryptor home page: <https://example.org/kelvane-encryptor>\n";
}

// The notice below is output, not this file's own: the REUSE tools skip it.
// REUSE-IgnoreStart
std::string Application::versionText()
{
    return std::string(programName) +
           " (Kelvane Encryptor) " KELVANE_VERSION "\n"
           "Copyright (C) 2026 Kelvane Encryptor contributors\n"
           "License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
           "This is free software: you are free to change and redistribute it.\n"
           "There is NO WARRANTY, to the extent permitted by law.\n";
}
// REUSE-IgnoreEnd

int Application::run(std::span<const std::string_view> arguments)
{
    try {
        return runChecked(arguments);
    } catch (const std::bad_alloc&) {
        report("not enough memory for this input");
    } catch (const std::exception& e) {
        report(e.what());
    }
    return exitFailure;
}

int Application::runChecked(std::span<const std::string_view> arguments)
{
    CommandLine commandLine;
    try {
        commandLine = CommandLine::parse(arguments);
    } catch (const UsageError& e) {
        report(e.what());
        std::fputs(tryHelp.data(), err_);
        return exitUsage;
    }

    switch (commandLine.action()) {
    case CommandLine::Action::Help:
        return writeOutput(usage()) ? exitSuccess : exitFailure;
    case CommandLine::Action::Version:
        return writeOutput(versionText()) ? exitSuccess : exitFailure;
    case CommandLine::Action::Encrypt:
    case CommandLine::Action::Decrypt:
        break;
    }

    std::u16string keyText;
    const Codebook* codebook = nullptr;
    if (!appendUtf16(commandLine.key(), keyText))
        codebook = findCodebook(keyText);
    if (codebook == nullptr) {
        report("unknown key \"" + escapeControls(commandLine.key()) + "\"; the keys are " +
               keyList("and"));
        std::fputs(tryHelp.data(), err_);
        return exitUsage;
    }

    const std::optional<ByteBuffer> input = readInput(commandLine.file());
    if (!input)
        return exitFailure;

    const std::string_view text = input->view();
    if (const auto error = validateUtf8(text)) {
        report(inputName(commandLine.file()) + ": not valid UTF-8 at byte offset " +
               std::to_string(error->offset) + " (" + std::string(error->reason) +
               "); nothing was written");
        return exitFailure;
    }
    const bool encrypting = commandLine.action() == CommandLine::Action::Encrypt;
    if (encrypting && !roundTrips(text, *codebook)) {
        if (commandLine.strict()) {
            report(std::string(digitsWarning()) + " Nothing was written (--strict).");
            return exitFailure;
        }
        report("warning: " + std::string(digitsWarning()));
    }
    const TextTransformer transformer(*codebook,
                                      encrypting ? Direction::encrypt : Direction::decrypt);
    return writeResult(text, transformer) ? exitSuccess : exitFailure;
}

std::optional<ByteBuffer> Application::readInput(const std::string& file)
{
    int fd = fileno(in_);
    if (file != "-") {
        fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            report("cannot open " + inputName(file) + ": " + std::strerror(errno));
            return std::nullopt;
        }
    }

    // A regular file is read into one buffer of its size (and one byte more,
    // to see its end); a pipe doubles the buffer as it fills.
    ByteBuffer content;
    struct stat info = {};
    std::size_t capacity = std::size_t{1} << 20;
    const bool regular = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0;
    if (regular)
        capacity = static_cast<std::size_t>(info.st_size) + 1;
    int readErrno = 0;
    try {
        content.reserve(capacity);
        for (;;) {
            if (content.size() == content.capacity())
                content.reserve(2 * content.capacity());
            constexpr std::size_t step = std::size_t{1} << 30;
            const ssize_t got = read(fd, content.data() + content.size(),
                                     std::min(content.capacity() - content.size(), step));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                readErrno = errno;
            if (got <= 0)
                break;
            content.setSize(content.size() + static_cast<std::size_t>(got));
        }
    } catch (...) {
        if (file != "-")
            close(fd);
        throw;
    }
    if (file != "-")
        close(fd);
    if (readErrno != 0) {
        report("cannot read " + inputName(file) + ": " + std::strerror(readErrno));
        return std::nullopt;
    }
    return content;
}

bool Application::writeResult(std::string_view input, const TextTransformer& transformer)
{
    if (std::fflush(out_) != 0) {
        report(std::string("cannot write the output: ") + std::strerror(errno));
        return false;
    }
    OutputFile output(fileno(out_));
    if (transformer.transform(input,
                              [&output](std::string_view block) { return output.write(block); }))
        return true;
    std::string message = std::string("cannot write the output: ") + std::strerror(output.error());
    if (output.restore() || output.written() == 0)
        message += "; nothing was written";
    else
        message += "; only the first " + std::to_string(output.written()) + " bytes were written";
    report(message);
    output.raiseFileSizeSignal();
    return false;
}

bool Application::writeOutput(std::string_view bytes)
{
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out_) == bytes.size();
    if (!written || std::fflush(out_) != 0 || std::ferror(out_) != 0) {
        report(std::string("cannot write the output: ") + std::strerror(errno));
        return false;
    }
    return true;
}

void Application::report(std::string_view message)
{
    std::fprintf(err_, "%.*s: %.*s\n", static_cast<int>(programName.size()), programName.data(),
                 static_cast<int>(message.size()), message.data());
}

} // namespace kelvane::cli
