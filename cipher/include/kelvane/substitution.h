// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <kelvane/codebook.h>
#include <kelvane/direction.h>
#include <kelvane/unitcounts.h>
#include <string>
#include <string_view>

namespace kelvane {

// Returns `text` with every alphabet character replaced by its code under
// `codebook`, the result of the 61 find-and-replace steps in alphabet order.
std::u16string encryptText(std::u16string_view text, const Codebook& codebook);

// Returns `text` with every code of `codebook` replaced by its character, the
// result of the 61 find-and-replace steps in alphabet order.
std::u16string decryptText(std::u16string_view text, const Codebook& codebook);

// Returns the same passes over 8-bit text such as UTF-8. Alphabet characters
// and codes are ASCII and every other byte passes through, so the result is
// the UTF-8 form of the 16-bit result for the same text.
std::string encryptText(std::string_view text, const Codebook& codebook);
std::string decryptText(std::string_view text, const Codebook& codebook);
bool roundTrips(std::string_view text, const Codebook& codebook);

// Returns encryptText(text, codebook) or decryptText(text, codebook), as
// `direction` says.
std::u16string transform(std::u16string_view text, const Codebook& codebook, Direction direction);

// Returns true when decryptText(encryptText(text)) gives `text` back exactly.
// Only texts with the digit 9 can fail; nothing is allocated.
bool roundTrips(std::u16string_view text, const Codebook& codebook);

} // namespace kelvane

namespace kelvane {

// Returns the counts of `text`'s units.
UnitCounts countUnits(std::u16string_view text);

// Returns the length of encryptText(text, codebook) without building it.
std::size_t encryptedSize(std::u16string_view text, const Codebook& codebook);

} // namespace kelvane
