#include "commandline.h"

#include <optional>
#include <vector>

namespace kelvane::cli {

CommandLine CommandLine::parse(std::span<const std::string_view> arguments)
{
    CommandLine result;
    std::optional<std::string_view> command;
    std::optional<std::string_view> key;
    std::vector<std::string_view> operands;
    bool help = false;
    bool version = false;
    bool optionsEnded = false;

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view arg = arguments[i];
        if (optionsEnded || arg == "-" || !arg.starts_with('-')) {
            if (!command)
                command = arg;
            else
                operands.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            help = true;
        } else if (arg == "--version") {
            version = true;
        } else if (arg == "--strict") {
            result.strict_ = true;
        } else if (arg == "--key" || arg == "-k") {
            if (i + 1 == arguments.size())
                throw UsageError("option " + std::string(arg) + " needs a key");
            key = arguments[++i];
        } else if (arg.starts_with("--key=")) {
            key = arg.substr(6);
        } else {
            throw UsageError("unknown option " + std::string(arg));
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
        throw UsageError("unknown command " + std::string(*command) +
                         " (expected encrypt or decrypt)");
    if (!key)
        throw UsageError("missing --key");
    result.key_ = *key;
    if (operands.size() > 1)
        throw UsageError("too many files: only one input file is read");
    if (!operands.empty())
        result.file_ = operands.front();
    return result;
}

} // namespace kelvane::cli
