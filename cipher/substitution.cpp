// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "internal/passkernels.h"

#include <kelvane/substitution.h>

namespace kelvane {

namespace {

// Returns the fastest kernel this machine runs.
detail::Isa bestIsa()
{
    return detail::availableIsas().back();
}

} // namespace

// Encryption in one walk equals the 61 steps: every find string is a single
// alphabet character and every replacement is digits, which no step finds, so
// no step creates or destroys a match of another; each alphabet character ends
// up replaced by its code, and every other unit stays in place.
std::u16string encryptText(std::u16string_view text, const Codebook& codebook)
{
    return detail::transformAll(text, codebook, Direction::encrypt, bestIsa());
}

// Decryption in one walk equals the 61 steps for every input, not only for
// cipher text of the same key. Codes are a 9 followed by digits 0 to 8, and the
// code set is prefix-free (codebook.cpp). For each 9 of the input call its
// segment the 9 with the run of digits 0 to 8 behind it. Then:
//
// - A code can only match at a 9, and only inside that 9's segment, since its
//   other digits are no 9s; so at most one code matches at each 9, the one
//   that is a prefix of the segment, and matches at different 9s never overlap.
// - Replacing a match puts a non-digit where the 9 was and leaves every other
//   segment as it was: the units that follow a segment (a 9, a non-digit or
//   the end) still end it, and a replaced match ends with a non-digit.
//
// By induction over the steps, after step i every 9 whose segment begins with
// one of the codes 1 to i has become that code's character and nothing else
// has changed; the left-to-right scan of step i finds all of its matches since
// they cannot overlap. After step 61 that holds for all codes, which is what
// the walk in passkernels.cpp computes: at each 9, replace the code that
// begins there.
std::u16string decryptText(std::u16string_view text, const Codebook& codebook)
{
    return detail::transformAll(text, codebook, Direction::decrypt, bestIsa());
}

std::string encryptText(std::string_view text, const Codebook& codebook)
{
    return detail::transformAll(text, codebook, Direction::encrypt, bestIsa());
}

std::string decryptText(std::string_view text, const Codebook& codebook)
{
    return detail::transformAll(text, codebook, Direction::decrypt, bestIsa());
}

bool roundTrips(std::string_view text, const Codebook& codebook)
{
    return detail::noCodeBegins(text, codebook, bestIsa());
}

std::u16string transform(std::u16string_view text, const Codebook& codebook, Direction direction)
{
    return direction == Direction::encrypt ? encryptText(text, codebook)
                                           : decryptText(text, codebook);
}

// In the cipher text of `text`, every token's segment begins with the token
// itself, since what follows it is a code's 9, a pass-through unit or digits
// that were in `text`; so every token comes back. A 9 that was in `text` has
// the same segment in the cipher text as in `text` (an alphabet character
// ends it in both: as a non-digit here, as a code's 9 there). The round trip
// fails exactly when such a segment begins with a code, which the scan below
// checks on `text` directly.
bool roundTrips(std::u16string_view text, const Codebook& codebook)
{
    return detail::noCodeBegins(text, codebook, bestIsa());
}

UnitCounts countUnits(std::u16string_view text)
{
    return detail::countUnits(text);
}

std::size_t encryptedSize(std::u16string_view text, const Codebook& codebook)
{
    return encryptedSize(countUnits(text), codebook);
}

} // namespace kelvane
