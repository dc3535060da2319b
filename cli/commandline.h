// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kelvane::cli {

// A wrong or missing argument; the message says which, in one line.
class UsageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The parsed arguments of one run, read the way GNU tools read theirs: options
// may stand before or after the command and the file, "-k3", "-k 3", "--key 3"
// and "--key=3" are the same, a long option may be shortened to any prefix,
// "--" ends the options, and "-" names standard input.
class CommandLine
{
public:
    enum class Action
    {
        Help,
        Version,
        Encrypt,
        Decrypt
    };

    // Returns the command line that `arguments` (without the program name)
    // spell, or throws UsageError.
    static CommandLine parse(std::span<const std::string_view> arguments);

    Action action() const { return action_; }
    const std::string& key() const { return key_; }
    bool strict() const { return strict_; }

    // Returns the input file, or "-" for standard input.
    const std::string& file() const { return file_; }

private:
    Action action_ = Action::Help;
    std::string key_;
    bool strict_ = false;
    std::string file_ = "-";
};

// The most characters of one argument that a message echoes.
inline constexpr std::size_t maxEchoedCharacters = 256;

// Returns `text` with its control and format characters (bidirectional
// controls, invisible marks, line and paragraph separators), bytes that are
// no UTF-8 and backslashes written as C escapes (\n, \x1b, \u009b, \u202e,
// \U000e0001, \x9b, \\), so that echoing a user's argument in a message
// cannot move the cursor, change the terminal, break or reorder the line. A
// text of more than maxEchoedCharacters characters (each broken byte counts
// as one) is cut there and ends in "...", so that a message stays readable.
std::string escapeControls(std::string_view text);

} // namespace kelvane::cli
