// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <cstddef>
#include <kelvane/direction.h>
#include <limits>
#include <span>
#include <string>
#include <string_view>

// The rules of the Encrypt and Decrypt commands, kept apart from every front
// end: which messages a press brings up and in what order, which results are
// refused and why, and when the user is asked first. The window, the page and
// kelvane-cipher follow these rules; they only show the messages, ask, and
// edit their own text. Every text the program tells or asks a user lives here.

namespace kelvane {

class Codebook;

// Everything the program tells or asks the user about its text.
enum class Message
{
    missingKey,           // the key is empty
    missingTextToEncrypt, // Encrypt found an empty text
    missingTextToDecrypt, // Decrypt found an empty text
    digitsInText,         // Encrypt asks before making a text that will not decrypt back
    tooLarge,             // a result too large to build or to hold
    lineTooLong,          // a result with a line longer than the text box shows
    notShown,             // writing the result failed; the text is as it was
    notShownDamaged,      // writing the result failed; the text could not be restored
    notProcessed,         // building the result failed for another reason
    notCleared,           // emptying the text failed; the text is as it was
    notClearedDamaged,    // emptying the text failed; the text could not be restored
    editLineTooLong,      // an edit would make a line longer than the text box shows
    insertFailed,         // a paste or a drop ran out of memory
};

// Returns the title of the box that shows `message`, in UTF-8.
std::string_view messageTitle(Message message);

// Returns the text of `message` in UTF-8, with `lineLimit`, grouped by commas,
// where the message names the longest line the text box shows.
std::string messageText(Message message, std::size_t lineLimit = 0);

// Returns the sentence that warns of digits that will not come back after
// decryption; the digits question begins with it.
std::string_view digitsWarning();

// What a front end's text box holds and shows.
struct TextLimits
{
    // The most units the text box holds at once, the replaced text included
    // where it is kept.
    std::size_t maxUnits = std::numeric_limits<std::size_t>::max();
    // The longest line, in units, that the text box shows.
    std::size_t maxLine = std::numeric_limits<std::size_t>::max();
    // True when the text that a command replaces stays beside the result, as
    // an undo history keeps it.
    bool keepsReplacedText = false;
};

// The length of a text and of its longest line, in units; lines end at line
// feeds.
struct TextSize
{
    std::size_t total = 0;
    std::size_t longestLine = 0;
};

// Returns the size of `text`.
TextSize sizeOf(std::u16string_view text);

// What a press of Encrypt or Decrypt finds before any work: the messages to
// tell, in the order the user meets them, then whether the focus moves into
// the text box, then the codebook; without one the command ends there,
// silently. A front end tells `messages()` as they come and decides no order
// of its own.
struct CommandStart
{
    std::array<Message, 2> told{}; // the messages, the first `toldCount` of them
    std::size_t toldCount = 0;
    bool focusText = false;             // after telling, move the focus into the text box
    const Codebook* codebook = nullptr; // none: the command ends here, silently

    // Returns the messages to tell, in order.
    std::span<const Message> messages() const { return {told.data(), toldCount}; }
};

// Returns what a press in `direction` finds with the key text `keyText` and a
// text that is empty when `textIsEmpty`.
CommandStart startCommand(Direction direction, std::u16string_view keyText, bool textIsEmpty);

// What becomes of a command's result.
enum class Verdict
{
    replace,     // it replaces the text as one step of undo
    unchanged,   // it equals the text: nothing to do, and no step of undo
    ask,         // ask Message::digitsInText first, and replace only on Yes
    tooLarge,    // refused: tell Message::tooLarge
    lineTooLong, // refused: tell Message::lineTooLong
};

// Returns the message that a refusing `verdict` tells.
Message refusalMessage(Verdict verdict);

// Returns the verdict on an encrypted text of size `result` for a text of
// `textUnits` units, known before it is built: unchanged, refused, or
// `replace` when it may be built.
Verdict judgeEncryptedSize(std::size_t textUnits, TextSize result, const TextLimits& limits);

// Returns the verdict on `result`, made from `text` with `codebook` in
// `direction`, for a text box with `limits`.
Verdict judgeResult(Direction direction, std::u16string_view text, std::u16string_view result,
                    const Codebook& codebook, const TextLimits& limits);

} // namespace kelvane
