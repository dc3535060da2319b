// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include <algorithm>
#include <kelvane/codebook.h>
#include <kelvane/command.h>
#include <kelvane/substitution.h>

namespace kelvane {

namespace {

constexpr std::string_view programTitle = "Kelvane Encryptor";
constexpr std::string_view digitsSentence =
    "Some digits in this text will not come back unchanged after decryption.";
// Where a message names the line limit.
constexpr std::string_view limitMark = "%1";

// Returns `number` with its digits grouped by commas, as "67,108,864".
std::string groupedNumber(std::size_t number)
{
    std::string digits = std::to_string(number);
    for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<std::size_t>(at), 1, ',');
    return digits;
}

} // namespace

std::string_view messageTitle(Message message)
{
    switch (message) {
    case Message::missingKey:
        return "Key Selection";
    case Message::missingTextToEncrypt:
    case Message::missingTextToDecrypt:
        return "Text Entry";
    case Message::digitsInText:
        return "Digits in Text";
    default:
        return programTitle;
    }
}

std::string messageText(Message message, std::size_t lineLimit)
{
    std::string text;
    switch (message) {
    case Message::missingKey:
        return "Please select an encryption key!";
    case Message::missingTextToEncrypt:
        return "Please enter the text to be encrypted!";
    case Message::missingTextToDecrypt:
        return "Please enter the text to be decrypted!";
    case Message::digitsInText:
        return std::string(digitsSentence) + " Encrypt anyway?";
    case Message::tooLarge:
        return "The text is too large to process. It has been left unchanged.";
    case Message::lineTooLong:
        text = "The result would have a line of more than %1 characters, too long for the text "
               "box to show. The text has been left unchanged.";
        break;
    case Message::notShown:
        return "The result could not be shown in the text box. The text has been left unchanged.";
    case Message::notShownDamaged:
        return "The result could not be shown in the text box, and its former text could not be "
               "restored completely.";
    case Message::notProcessed:
        return "The text could not be processed. It has been left unchanged.";
    case Message::notCleared:
        return "The text could not be cleared. It has been left unchanged.";
    case Message::notClearedDamaged:
        return "The text could not be cleared, and it could not be restored completely.";
    case Message::editLineTooLong:
        text = "The text box cannot show a line of more than %1 characters, and this change "
               "would make one. The text has been left unchanged.";
        break;
    case Message::insertFailed:
        return "There was not enough memory to take in all of the pasted or dropped text.";
    }
    text.replace(text.find(limitMark), limitMark.size(), groupedNumber(lineLimit));
    return text;
}

std::string_view digitsWarning()
{
    return digitsSentence;
}

TextSize sizeOf(std::u16string_view text)
{
    TextSize size{text.size(), 0};
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(u'\n', start);
        size.longestLine = std::max(size.longestLine, std::min(end, text.size()) - start);
        if (end == std::u16string_view::npos)
            return size;
        start = end + 1;
    }
}

CommandStart startCommand(Direction direction, std::u16string_view keyText, bool textIsEmpty)
{
    CommandStart start;
    if (keyText.empty())
        start.told[start.toldCount++] = Message::missingKey;
    if (textIsEmpty) {
        start.told[start.toldCount++] = direction == Direction::encrypt
                                            ? Message::missingTextToEncrypt
                                            : Message::missingTextToDecrypt;
        start.focusText = true;
    }
    start.codebook = findCodebook(keyText);
    return start;
}

Message refusalMessage(Verdict verdict)
{
    return verdict == Verdict::lineTooLong ? Message::lineTooLong : Message::tooLarge;
}

namespace {

// Returns the verdict on a result of `result` units in place of a text of
// `textUnits`, by size alone.
Verdict judgeSize(std::size_t textUnits, TextSize result, const TextLimits& limits)
{
    const std::size_t kept = limits.keepsReplacedText ? textUnits : 0;
    if (kept > limits.maxUnits || result.total > limits.maxUnits - kept)
        return Verdict::tooLarge;
    if (result.longestLine > limits.maxLine)
        return Verdict::lineTooLong;
    return Verdict::replace;
}

} // namespace

Verdict judgeEncryptedSize(std::size_t textUnits, TextSize result, const TextLimits& limits)
{
    // Every alphabet character grows by three units or more, so only a text
    // without them keeps its length, and such a text encrypts to itself.
    if (result.total == textUnits)
        return Verdict::unchanged;
    return judgeSize(textUnits, result, limits);
}

Verdict judgeResult(Direction direction, std::u16string_view text, std::u16string_view result,
                    const Codebook& codebook, const TextLimits& limits)
{
    if (result == text)
        return Verdict::unchanged;
    if (const Verdict bySize = judgeSize(text.size(), sizeOf(result), limits);
        bySize != Verdict::replace)
        return bySize;
    // Digits in a plain text can be read as codes on the way back: ask before
    // making a cipher text that will not decrypt to this text.
    if (direction == Direction::encrypt && !roundTrips(text, codebook))
        return Verdict::ask;
    return Verdict::replace;
}

} // namespace kelvane
