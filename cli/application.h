// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "bytebuffer.h"
#include "texttransformer.h"

#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kelvane::cli {

// The kelvane-cipher program: parses the arguments, reads and checks the whole
// input, and only then writes the result, a block at a time. A failure before
// that writes nothing; a failed write cuts a regular output file back to what
// it held before. Every fault is one line on the error stream that starts
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

    // Returns the whole content of `file` ("-" is the input stream), or
    // reports why it cannot be read and returns nullopt.
    std::optional<ByteBuffer> readInput(const std::string& file);

    // Writes the result for `input` to the output stream; reports a failure
    // and what it left behind.
    bool writeResult(std::string_view input, const TextTransformer& transformer);

    // Writes `bytes` to the output stream and flushes it; reports a failure.
    bool writeOutput(std::string_view bytes);

    // Prints "kelvane-cipher: " and `message` as one line on the error stream.
    void report(std::string_view message);

    std::FILE* in_;
    std::FILE* out_;
    std::FILE* err_;
};

} // namespace kelvane::cli
