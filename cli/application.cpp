// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "application.h"

#include "commandline.h"
#include "outputfile.h"
#include "texttransformer.h"
#include "utf8.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <kelvane/alphabet.h>
#include <kelvane/codebook.h>
#include <kelvane/command.h>
#include <kelvane/substitution.h>
#include <new>
#include <poll.h>
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

// Returns true when `text` ends with the first bytes of a multi-byte
// character whose other bytes are missing.
bool endsInsideCharacter(std::string_view text)
{
    for (std::size_t back = 1; back <= std::min<std::size_t>(3, text.size()); ++back) {
        const auto byte = static_cast<unsigned char>(text[text.size() - back]);
        if ((byte & 0xC0) == 0x80)
            continue;
        const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return length > back;
    }
    return false;
}

// Waits until `fd` has something to read; returns false when it cannot wait.
bool waitUntilReadable(int fd)
{
    pollfd entry = {fd, POLLIN, 0};
    while (poll(&entry, 1, -1) < 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

// Returns the name of one of the signals that end a write early.
std::string signalName(int signal)
{
    switch (signal) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
    case SIGHUP:
        return "SIGHUP";
    default:
        return "signal " + std::to_string(signal);
    }
}

// Returns true when the `size` bytes at `offset` of `fd` are the first `size`
// bytes of what `produce` makes, compared block by block.
bool holdsOutput(int fd, std::int64_t offset, std::uint64_t size,
                 const std::function<bool(const std::function<bool(std::string_view)>&)>& produce)
{
    std::string onDisk;
    std::uint64_t checked = 0;
    bool same = true;
    produce([&](std::string_view block) {
        block = block.substr(
            0, static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), size - checked)));
        onDisk.resize(block.size());
        std::size_t got = 0;
        while (got < block.size()) {
            const ssize_t n = pread(fd, onDisk.data() + got, block.size() - got,
                                    static_cast<off_t>(offset + checked + got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                same = false;
                return false;
            }
            got += static_cast<std::size_t>(n);
        }
        same = onDisk == block;
        checked += block.size();
        return same && checked < size;
    });
    return same && checked == size;
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
           "     when a write failed part way: the bytes before it stay in a pipe,\n"
           "     terminal or device, and the message counts them. A regular file is\n"
           "     cut back to its old size, never left larger, unless another program\n"
           "     changed it during the run; bytes written over old content (1<>) and\n"
           "     a file that another program changed keep what this run wrote, and\n"
           "     the message says so. SIGINT, SIGTERM or SIGHUP while a regular file\n"
           "     is written is handled the same way before the signal ends the run.\n"
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
    case CommandLine::Action::Version: {
        const std::string text =
            commandLine.action() == CommandLine::Action::Help ? usage() : versionText();
        return writeOutput([&text](const auto& write) { return write(text); }) ? exitSuccess
                                                                               : exitFailure;
    }
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

    const std::optional<Input> input = readInput(commandLine.file());
    if (!input)
        return exitFailure;

    const std::string_view text = input->bytes.view();
    if (const auto error = validateUtf8(text)) {
        // A fault in the last three bytes of an input that ends inside a
        // character is that very character.
        if (input->changed && endsInsideCharacter(text) && text.size() - error->offset < 4) {
            report(inputName(commandLine.file()) +
                   ": changed while it was read and ends inside a character at byte offset " +
                   std::to_string(error->offset) + "; nothing was written");
            return exitFailure;
        }
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
    return writeOutput([&](const auto& write) { return transformer.transform(text, write); })
               ? exitSuccess
               : exitFailure;
}

std::optional<Application::Input> Application::readInput(const std::string& file)
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
    Input input;
    ByteBuffer& content = input.bytes;
    struct stat info = {};
    std::size_t capacity = std::size_t{1} << 20;
    const bool regular = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    const std::int64_t sizeAtOpen = regular ? info.st_size : 0;
    if (regular && info.st_size > 0)
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
            if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && waitUntilReadable(fd))
                continue;
            if (got < 0)
                readErrno = errno;
            if (got < 0)
                break;
            if (got == 0) {
                // A file that another program is writing may end inside a
                // character for a moment; when it has grown since, it is
                // read on to its new end.
                if (regular && endsInsideCharacter(content.view()) && fstat(fd, &info) == 0 &&
                    info.st_size > static_cast<std::int64_t>(content.size()))
                    continue;
                break;
            }
            content.setSize(content.size() + static_cast<std::size_t>(got));
        }
    } catch (...) {
        if (file != "-")
            close(fd);
        throw;
    }
    input.changed = regular && (static_cast<std::int64_t>(content.size()) != sizeAtOpen ||
                                (fstat(fd, &info) == 0 && info.st_size != sizeAtOpen));
    if (file != "-")
        close(fd);
    if (readErrno != 0) {
        report("cannot read " + inputName(file) + ": " + std::strerror(readErrno));
        return std::nullopt;
    }
    return input;
}

bool Application::writeOutput(const Producer& produce)
{
    if (std::fflush(out_) != 0) {
        report(std::string("cannot write the output: ") + std::strerror(errno));
        return false;
    }
    OutputFile output(fileno(out_));
    if (produce([&output](std::string_view block) { return output.write(block); }) &&
        output.close() && output.caughtSignal() == 0) {
        // A signal that arrives after the check still ends the run, with the
        // whole result written.
        output.raiseSignal();
        return true;
    }

    const int interrupting = output.caughtSignal();
    std::string message =
        interrupting != 0
            ? "interrupted by " + signalName(interrupting) + " while writing the output"
            : std::string("cannot write the output: ") + std::strerror(output.error());
    const auto isOurs = [&produce](int fd, std::int64_t offset, std::uint64_t size) {
        return holdsOutput(fd, offset, size, produce);
    };
    switch (output.restore(isOurs)) {
    case OutputFile::Restored::whole:
        message += "; nothing was written";
        break;
    case OutputFile::Restored::overwritten:
    case OutputFile::Restored::notAFile:
        message += output.written() == 0 ? std::string("; nothing was written")
                                         : "; only the first " + std::to_string(output.written()) +
                                               " bytes were written";
        break;
    case OutputFile::Restored::leftAtEnd:
        message += "; the last " + std::to_string(output.written()) +
                   " bytes of the output file were written by this run and left in place";
        break;
    case OutputFile::Restored::changed:
        message += "; the output file changed during the run, so nothing of it was removed; "
                   "this run wrote " +
                   std::to_string(output.written()) + " bytes to it";
        break;
    }
    report(message);
    output.raiseSignal();
    return false;
}

void Application::report(std::string_view message)
{
    std::fprintf(err_, "%.*s: %.*s\n", static_cast<int>(programName.size()), programName.data(),
                 static_cast<int>(message.size()), message.data());
}

} // namespace kelvane::cli
