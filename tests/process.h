// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <vector>

namespace kelvane::testing {

// What a finished child process left behind.
struct ProcessResult
{
    int exitCode = -1; // -1 when a signal ended it
    std::string out;
    std::string err;
};

// Returns the result of running `program` with `arguments`, `input` on its
// standard input and the given working directory. The streams go through
// files, so no pipe can fill up and stall the test.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& input = {}, const std::string& workDir = {});

// Writes `content` to `path` byte for byte.
void writeFile(const std::string& path, const std::string& content);

// Returns the content of `path`.
std::string readFile(const std::string& path);

} // namespace kelvane::testing
