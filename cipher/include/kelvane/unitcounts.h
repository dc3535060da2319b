// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <kelvane/codebook.h>

namespace kelvane {

// The counts of a text's units that its encrypted length depends on, the same
// under every key. The kernels count them and the substitution layer above
// them sums them, so they sit below both.
struct UnitCounts
{
    std::size_t units = 0;      // all units
    std::size_t shortCoded = 0; // spaces, '.', ',' and '?', which get the 4-digit codes
    std::size_t longCoded = 0;  // the other alphabet characters

    UnitCounts& operator+=(const UnitCounts& other)
    {
        units += other.units;
        shortCoded += other.shortCoded;
        longCoded += other.longCoded;
        return *this;
    }
    friend bool operator==(const UnitCounts&, const UnitCounts&) = default;
};

// Returns the length of the encrypted form of a text with `counts` under
// `codebook`.
constexpr std::size_t encryptedSize(const UnitCounts& counts, const Codebook& codebook)
{
    return counts.units + counts.shortCoded * (Codebook::shortCodeLength - 1) +
           counts.longCoded * (codebook.longCodeLength() - 1);
}

} // namespace kelvane
