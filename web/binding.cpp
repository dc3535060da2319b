// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

// The page's way into the cipher core: plain C functions over UTF-16 units in
// the module's memory, so that every unit of a text, lone surrogates
// included, reaches the core and comes back as it was.

#include <codebook.h>
#include <cstddef>
#include <string>
#include <string_view>
#include <substitution.h>

namespace {

// The last result, kept until the page has copied it out.
std::u16string lastResult;

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

// Runs the text through codebook `index`, encrypting when `decrypt` is 0 and
// decrypting otherwise, and returns the result's length in units; the units
// themselves stay at kelvane_result() until kelvane_release_result().
// Returns -1 for an index that names no codebook.
long kelvane_transform(const char16_t* text, std::size_t length, int index, int decrypt)
{
    const kelvane::Codebook* codebook = codebookAt(index);
    if (!codebook)
        return -1;
    lastResult =
        kelvane::transform(unitsAt(text, length), *codebook,
                           decrypt ? kelvane::Direction::decrypt : kelvane::Direction::encrypt);
    return static_cast<long>(lastResult.size());
}

// Returns the units of the last result.
const char16_t* kelvane_result()
{
    return lastResult.data();
}

// Frees the last result.
void kelvane_release_result()
{
    std::u16string().swap(lastResult);
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

} // extern "C"
