// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "bytebuffer.h"
#include "texttransformer.h"

#include <cstdio>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kelvane::cli {

// The kelvane-cipher program: parses the arguments, reads and checks the whole
// input, and only then writes the result, a block at a time. A failure before
// that writes nothing; a failed or interrupted write takes this run's bytes
// back out of a regular output file where nobody else has changed it, and
// says what stays. Every fault is one line on the error stream that starts
// with the program's name.
class Application
{
public:
    static constexpr int exitSuccess = 0;
    static constexpr int exitFailure = 1;
    static constexpr int exitUsage = 2;

    Application(std::FILE* in = stdin, std::FILE* out = stdout, std::FILE* err = stderr);

    // Returns the exit status of a run with `arguments`, without the program name.
    int run(std::span<const std::string_view> arguments);

    // Returns the help text that --help prints.
    static std::string usage();

    // Returns the version, copyright and licence lines that --version prints.
    static std::string versionText();

private:
    int runChecked(std::span<const std::string_view> arguments);

    // The whole content of an input, and whether it was a regular file whose
    // size changed while it was read.
    struct Input
    {
        ByteBuffer bytes;
        bool changed = false;
    };

    // Returns the whole content of `file` ("-" is the input stream), or
    // reports why it cannot be read and returns nullopt.
    std::optional<Input> readInput(const std::string& file);

    // Hands the whole output to a writer, a block at a time; returns false as
    // soon as the writer does. Called again to check what a failed run wrote.
    using Producer = std::function<bool(const std::function<bool(std::string_view)>&)>;

    // Writes what `produce` makes to the output stream and closes it; reports
    // a failure and what it left behind, and ends the process when a signal
    // interrupted the write.
    bool writeOutput(const Producer& produce);

    // Prints "kelvane-cipher: " and `message` as one line on the error stream.
    void report(std::string_view message);

    std::FILE* in_;
    std::FILE* out_;
    std::FILE* err_;
};

} // namespace kelvane::cli
