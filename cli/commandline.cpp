// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "commandline.h"

#include "utf8.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

namespace kelvane::cli {

namespace {

enum class Option
{
    help,
    version,
    key,
    strict
};

struct LongOption
{
    std::string_view name;
    Option option;
    bool takesValue;
};

constexpr std::array longOptions{
    LongOption{"help", Option::help, false},
    LongOption{"version", Option::version, false},
    LongOption{"key", Option::key, true},
    LongOption{"strict", Option::strict, false},
};

// Returns the long option that `name` spells in full or as an unambiguous
// prefix; throws UsageError for none or several.
const LongOption& findLongOption(std::string_view name)
{
    const LongOption* found = nullptr;
    for (const LongOption& candidate : longOptions) {
        if (candidate.name == name)
            return candidate;
        if (!name.empty() && candidate.name.starts_with(name)) {
            if (found != nullptr)
                throw UsageError("option --" + escapeControls(name) + " is ambiguous");
            found = &candidate;
        }
    }
    if (found == nullptr)
        throw UsageError("unknown option --" + escapeControls(name));
    return *found;
}

std::string hexEscape(unsigned value, int digits, char prefix)
{
    constexpr std::string_view hex = "0123456789abcdef";
    std::string escape{'\\', prefix};
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        escape.push_back(hex[(value >> shift) & 0xFu]);
    return escape;
}

// The format characters (general category Cf, Unicode 15.1) and the line
// and paragraph separators (Zl, Zp) above U+00A0, as sorted closed ranges.
// They include every bidirectional control (U+061C, U+200E, U+200F,
// U+202A-U+202E, U+2066-U+2069), which can make a message read in another
// order than it is written, and the invisible ones that hide what an argument
// really holds.
struct CodeRange
{
    char32_t first;
    char32_t last;
};

constexpr std::array formatCharacters{
    CodeRange{0x00AD, 0x00AD},   CodeRange{0x0600, 0x0605},   CodeRange{0x061C, 0x061C},
    CodeRange{0x06DD, 0x06DD},   CodeRange{0x070F, 0x070F},   CodeRange{0x0890, 0x0891},
    CodeRange{0x08E2, 0x08E2},   CodeRange{0x180E, 0x180E},   CodeRange{0x200B, 0x200F},
    CodeRange{0x2028, 0x202E},   CodeRange{0x2060, 0x2064},   CodeRange{0x2066, 0x206F},
    CodeRange{0xFEFF, 0xFEFF},   CodeRange{0xFFF9, 0xFFFB},   CodeRange{0x110BD, 0x110BD},
    CodeRange{0x110CD, 0x110CD}, CodeRange{0x13430, 0x1343F}, CodeRange{0x1BCA0, 0x1BCA3},
    CodeRange{0x1D173, 0x1D17A}, CodeRange{0xE0001, 0xE0001}, CodeRange{0xE0020, 0xE007F},
};

// Returns true for a control character (Cc), a format character (Cf) or a
// line or paragraph separator (Zl, Zp).
bool isControlOrFormat(char32_t code)
{
    if (code < 0x20 || (code >= 0x7F && code <= 0x9F))
        return true;
    const auto* const range =
        std::lower_bound(formatCharacters.begin(), formatCharacters.end(), code,
                         [](const CodeRange& r, char32_t c) { return r.last < c; });
    return range != formatCharacters.end() && range->first <= code;
}

} // namespace

std::string escapeControls(std::string_view text)
{
    std::string escaped;
    escaped.reserve(std::min(text.size(), std::size_t{4} * maxEchoedCharacters));
    for (std::size_t characters = 0; !text.empty(); ++characters) {
        if (characters == maxEchoedCharacters) {
            escaped += "...";
            break;
        }
        const std::optional<Utf8Char> c = decodeUtf8(text);
        if (!c) {
            // Each byte of a broken sequence on its own: a terminal could read
            // a lone 0x9B as the start of a command.
            escaped += hexEscape(static_cast<unsigned char>(text.front()), 2, 'x');
            text.remove_prefix(1);
            continue;
        }
        const char32_t code = c->code;
        if (code == '\\')
            escaped += "\\\\";
        else if (code == '\n')
            escaped += "\\n";
        else if (code == '\r')
            escaped += "\\r";
        else if (code == '\t')
            escaped += "\\t";
        else if (code < 0x20 || code == 0x7F)
            escaped += hexEscape(code, 2, 'x');
        else if (code > 0xFFFF && isControlOrFormat(code))
            escaped += hexEscape(code, 8, 'U');
        else if (isControlOrFormat(code))
            escaped += hexEscape(code, 4, 'u');
        else
            escaped.append(text.substr(0, c->length));
        text.remove_prefix(c->length);
    }
    return escaped;
}

CommandLine CommandLine::parse(std::span<const std::string_view> arguments)
{
    CommandLine result;
    std::optional<std::string_view> command;
    std::optional<std::string_view> key;
    std::vector<std::string_view> operands;
    bool help = false;
    bool version = false;
    bool optionsEnded = false;

    // Takes `option` with `value` (for --key); `spelling` names it in messages.
    const auto apply = [&](Option option, std::string_view spelling,
                           std::optional<std::string_view> value) {
        switch (option) {
        case Option::help:
            if (help)
                throw UsageError("option " + std::string(spelling) + " given more than once");
            help = true;
            break;
        case Option::version:
            if (version)
                throw UsageError("option " + std::string(spelling) + " given more than once");
            version = true;
            break;
        case Option::key:
            if (key)
                throw UsageError("option " + std::string(spelling) + " given more than once");
            key = value;
            break;
        case Option::strict:
            if (result.strict_)
                throw UsageError("option " + std::string(spelling) + " given more than once");
            result.strict_ = true;
            break;
        }
    };

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view arg = arguments[i];
        if (optionsEnded || arg == "-" || !arg.starts_with('-')) {
            if (!command)
                command = arg;
            else
                operands.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg.starts_with("--")) {
            const std::size_t equals = arg.find('=');
            const LongOption& option = findLongOption(arg.substr(2, equals - 2));
            const std::string spelling = "--" + std::string(option.name);
            std::optional<std::string_view> value;
            if (equals != std::string_view::npos) {
                if (!option.takesValue)
                    throw UsageError("option " + spelling + " takes no value");
                value = arg.substr(equals + 1);
            } else if (option.takesValue) {
                if (i + 1 == arguments.size())
                    throw UsageError("option " + spelling + " needs a value");
                value = arguments[++i];
            }
            apply(option.option, spelling, value);
        } else {
            // A cluster of short options such as "-h" or "-k3"; the value of
            // -k is the rest of the argument, or else the next argument.
            for (std::size_t j = 1; j < arg.size(); ++j) {
                if (arg[j] == 'h') {
                    apply(Option::help, "-h", std::nullopt);
                } else if (arg[j] == 'k') {
                    std::string_view value = arg.substr(j + 1);
                    if (value.empty()) {
                        if (i + 1 == arguments.size())
                            throw UsageError("option -k needs a value");
                        value = arguments[++i];
                    }
                    apply(Option::key, "-k", value);
                    break;
                } else {
                    // The whole character, so that "-é" is not cut in the middle.
                    const std::optional<Utf8Char> c = decodeUtf8(arg.substr(j));
                    throw UsageError("unknown option -" +
                                     escapeControls(arg.substr(j, c ? c->length : 1)));
                }
            }
        }
    }

    // Help and version win over everything else, as users of such tools expect.
    if (help) {
        result.action_ = Action::Help;
        return result;
    }
    if (version) {
        result.action_ = Action::Version;
        return result;
    }
    if (!command)
        throw UsageError("missing command: encrypt or decrypt");
    if (*command == "encrypt")
        result.action_ = Action::Encrypt;
    else if (*command == "decrypt")
        result.action_ = Action::Decrypt;
    else
        throw UsageError("unknown command " + escapeControls(*command) +
                         " (expected encrypt or decrypt)");
    if (!key)
        throw UsageError("missing --key");
    if (result.strict_ && result.action_ == Action::Decrypt)
        throw UsageError("option --strict only applies to encrypt");
    result.key_ = *key;
    if (operands.size() > 1)
        throw UsageError("too many files: only one input file is read");
    if (!operands.empty())
        result.file_ = operands.front();
    return result;
}

} // namespace kelvane::cli
