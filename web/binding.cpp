// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

// The page's way into the cipher core and the command rules: plain C functions
// over UTF-16 units in the module's memory, so that every unit of a text, lone
// surrogates included, reaches the core and comes back as it was. The page
// takes every message it shows from here.

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <kelvane/codebook.h>
#include <kelvane/command.h>
#include <kelvane/frontend.h>
#include <kelvane/substitution.h>
#include <string>
#include <string_view>

namespace {

// The last result, kept until the page has copied it out.
std::u16string lastResult;
// The last result in bytes, while every unit of it is ASCII (malloc'd).
char* lastAscii = nullptr;
// The text box's text as the last result that went into it left it, kept so
// that a command on the same text need not copy it in again.
std::u16string keptText;
// The last message text or title asked for, kept until the next.
std::string lastMessage;

// The page tells a verdict apart by these values.
static_assert(static_cast<int>(kelvane::Verdict::replace) == 0);
static_assert(static_cast<int>(kelvane::Verdict::unchanged) == 1);
static_assert(static_cast<int>(kelvane::Verdict::ask) == 2);
// The credit line goes into JSON as it is.
static_assert(kelvane::bannerText.find_first_of("\"\\") == std::string_view::npos);

std::u16string_view unitsAt(const char16_t* units, std::size_t length)
{
    return {units, length};
}

const kelvane::Codebook* codebookAt(int index)
{
    const auto table = kelvane::codebookTable();
    if (index < 0 || static_cast<std::size_t>(index) >= table.size())
        return nullptr;
    return &table[static_cast<std::size_t>(index)];
}

kelvane::Direction directionOf(int decrypt)
{
    return decrypt ? kelvane::Direction::decrypt : kelvane::Direction::encrypt;
}

int idOf(kelvane::Message message)
{
    return static_cast<int>(message);
}

const char* keep(std::string text)
{
    lastMessage = std::move(text);
    return lastMessage.c_str();
}

} // namespace

extern "C" {

// Returns the index (0 to 9) of the codebook whose key number equals the key
// text exactly, or -1 when the text is no key number.
int kelvane_find_codebook(const char16_t* key, std::size_t length)
{
    const kelvane::Codebook* codebook = kelvane::findCodebook(unitsAt(key, length));
    if (!codebook)
        return -1;
    return static_cast<int>(codebook - kelvane::codebookTable().data());
}

// Returns what a press of Encrypt (`decrypt` 0) or Decrypt finds with the key
// text and a text that is empty when `textIsEmpty`, in one number: bits 0-7
// hold the first message to tell plus one and bits 8-15 the second plus one
// (0: none), bit 16 says to move the focus into the text box after them, and
// the bits from 17 on hold the codebook index plus one (0: the command ends
// quietly).
int kelvane_start_command(const char16_t* key, std::size_t length, int decrypt, int textIsEmpty)
{
    const kelvane::CommandStart start =
        kelvane::startCommand(directionOf(decrypt), unitsAt(key, length), textIsEmpty != 0);
    const int index =
        start.codebook ? static_cast<int>(start.codebook - kelvane::codebookTable().data()) : -1;
    int found = 0;
    int shift = 0;
    for (const kelvane::Message message : start.messages()) {
        found |= (idOf(message) + 1) << shift;
        shift += 8;
    }
    return found | (start.focusText ? 1 << 16 : 0) | (index + 1) << 17;
}

// Returns, as JSON in UTF-8, what the page shows and does alike with the
// window: the banner's credit line and step in milliseconds, the long-run
// wrap limit in units, and the key list. The
// page's build writes it into the page.
const char* kelvane_page_constants()
{
    std::string json = "{\"bannerText\":\"";
    json += kelvane::bannerText; // ASCII without quotes or backslashes
    json += "\",\"bannerStepMilliseconds\":" + std::to_string(kelvane::bannerStepMilliseconds);
    json += ",\"longRunLimit\":" + std::to_string(kelvane::longRunLimit);
    json += ",\"keyNumbers\":[";
    for (const std::u16string_view key : kelvane::keyNumbers) {
        json += json.back() == '[' ? "\"" : ",\"";
        for (const char16_t digit : key)
            json += static_cast<char>(digit); // key numbers are ASCII digits
        json += '"';
    }
    json += "]}";
    return keep(std::move(json));
}

// Runs the text through codebook `index`, encrypting when `decrypt` is 0 and
// decrypting otherwise, and returns the result's length in units; the units
// themselves stay at kelvane_result() until kelvane_release_result().
// Returns -1 for an index that names no codebook.
long kelvane_transform(const char16_t* text, std::size_t length, int index, int decrypt)
{
    const kelvane::Codebook* codebook = codebookAt(index);
    if (!codebook)
        return -1;
    lastResult = kelvane::transform(unitsAt(text, length), *codebook, directionOf(decrypt));
    return static_cast<long>(lastResult.size());
}

// Returns the verdict (0 replace, 1 unchanged, 2 ask, more: refused) on the
// last result, made from the text with codebook `index` in the direction
// given, for a text box that holds at most `maxUnits` units in one string
// and shows lines of any length; -1 for an index that names no codebook.
int kelvane_judge_result(const char16_t* text, std::size_t length, int index, int decrypt,
                         std::size_t maxUnits)
{
    const kelvane::Codebook* codebook = codebookAt(index);
    if (!codebook)
        return -1;
    // Every text is a string of its own, so a result beside the text that
    // it replaces needs no room in the same string.
    const kelvane::TextLimits limits{maxUnits, kelvane::TextLimits{}.maxLine, false};
    return static_cast<int>(kelvane::judgeResult(directionOf(decrypt), unitsAt(text, length),
                                                 lastResult, *codebook, limits));
}

// Returns the verdict (1 unchanged, more: refused, 0 otherwise) on
// encrypting the text with codebook `index` for a text box that holds at most
// `maxUnits` units in one string, from the result's length alone and before
// it is built; -1 for an index that names no codebook.
int kelvane_judge_encrypted_size(const char16_t* text, std::size_t length, int index,
                                 std::size_t maxUnits)
{
    const kelvane::Codebook* codebook = codebookAt(index);
    if (!codebook)
        return -1;
    const kelvane::TextLimits limits{maxUnits, kelvane::TextLimits{}.maxLine, false};
    const kelvane::TextSize result{kelvane::encryptedSize(unitsAt(text, length), *codebook), 0};
    return static_cast<int>(kelvane::judgeEncryptedSize(length, result, limits));
}

// Returns the units of the last result.
const char16_t* kelvane_result()
{
    return lastResult.data();
}

// Returns the units of the last result as bytes, when every unit of it is
// ASCII, and nullptr otherwise; the bytes are then the result's UTF-8, which
// a browser decodes many times faster than UTF-16. They stay until
// kelvane_release_result() or kelvane_keep_result(). Without the memory for
// them it returns nullptr as well, and the page reads the units.
const char* kelvane_result_ascii()
{
    // Two passes without an early exit, over plain pointers, which the
    // compiler turns into vector operations.
    const char16_t* units = lastResult.data();
    const std::size_t length = lastResult.size();
    char16_t all = 0;
    for (std::size_t i = 0; i < length; ++i)
        all |= units[i];
    if (all >= 0x80)
        return nullptr;
    std::free(lastAscii);
    char* bytes = static_cast<char*>(std::malloc(std::max<std::size_t>(length, 1)));
    lastAscii = bytes;
    if (!bytes)
        return nullptr;
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<char>(units[i]);
    return bytes;
}

// Frees the last result.
void kelvane_release_result()
{
    std::u16string().swap(lastResult);
    std::free(lastAscii);
    lastAscii = nullptr;
}

// Keeps the last result as the text box's text, in place of the text kept
// before, and returns its units, which stay until kelvane_release_kept().
const char16_t* kelvane_keep_result()
{
    keptText = std::move(lastResult);
    kelvane_release_result();
    return keptText.data();
}

// Frees the kept text.
void kelvane_release_kept()
{
    std::u16string().swap(keptText);
}

// Returns 1 when the text comes back exactly after encryption and decryption
// with codebook `index`, 0 when it does not, and -1 for no such codebook.
int kelvane_round_trips(const char16_t* text, std::size_t length, int index)
{
    const kelvane::Codebook* codebook = codebookAt(index);
    if (!codebook)
        return -1;
    return kelvane::roundTrips(unitsAt(text, length), *codebook) ? 1 : 0;
}

// Returns the message that `verdict` asks or tells: the digits question for
// `ask`, the refusal otherwise.
int kelvane_verdict_message(int verdict)
{
    const auto given = static_cast<kelvane::Verdict>(verdict);
    return idOf(given == kelvane::Verdict::ask ? kelvane::Message::digitsInText
                                               : kelvane::refusalMessage(given));
}

// Returns the message for a command that failed: too large when
// `outOfMemory`, not processed otherwise.
int kelvane_failure_message(int outOfMemory)
{
    return idOf(outOfMemory ? kelvane::Message::tooLarge : kelvane::Message::notProcessed);
}

// Returns the title of the box that shows message `id`, in UTF-8, valid until
// the next title or text.
const char* kelvane_message_title(int id)
{
    return keep(std::string(kelvane::messageTitle(static_cast<kelvane::Message>(id))));
}

// Returns the text of message `id`, in UTF-8, valid until the next title or text.
const char* kelvane_message_text(int id)
{
    return keep(kelvane::messageText(static_cast<kelvane::Message>(id)));
}

} // extern "C"
