// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The one-walk passes behind encryptText, decryptText and roundTrips, written
// once for 16-bit units (char16_t) and for bytes (char, such as UTF-8): every
// alphabet character and every code is ASCII, and every other unit passes
// through, so the same walk serves both.

#include <cstddef>
#include <kelvane/codebook.h>
#include <kelvane/direction.h>
#include <kelvane/unitcounts.h>
#include <span>
#include <string>
#include <string_view>

namespace kelvane {

namespace detail {

// The instruction sets the decryption walk is written for. Portable C++ runs
// anywhere; SSE2, the amd64 baseline, looks for the 9s that start codes and
// narrows 16-bit windows 16 bytes at a time.
enum class Isa
{
    portable,
    sse2
};

// Returns the kernels this build can run on this machine, the fastest last.
std::span<const Isa> availableIsas();

// How far one piece of a pass got: units of the text read from where it
// started, and units of the result written.
struct Progress
{
    std::size_t read = 0;
    std::size_t written = 0;
};

// Units of room that a piece needs beyond its result: one code plus one
// fixed-width store. A piece's output buffer must be larger than this.
inline constexpr std::size_t pieceSlack = 32;

// Runs the pass of `direction` over `text` from `from` on, writing into `out`
// until the text ends or `out` has no room for another step. A piece never
// stops inside a code and looks ahead only within `text`, so pieces that each
// start where the last one stopped give exactly the one-walk result.
template <class Unit>
Progress runPiece(std::basic_string_view<Unit> text, std::size_t from, std::span<Unit> out,
                  const Codebook& codebook, Direction direction, Isa isa);

// Returns the counts of `text`'s units (see countUnits()); for 8-bit text a
// byte of a multibyte UTF-8 sequence counts as a pass-through unit.
template <class Unit>
UnitCounts countUnits(std::basic_string_view<Unit> text);

// Returns the whole result of the pass of `direction` over `text`.
template <class Unit>
std::basic_string<Unit> transformAll(std::basic_string_view<Unit> text, const Codebook& codebook,
                                     Direction direction, Isa isa);

// Returns true when no 9 in `text` begins a code (see roundTrips()).
template <class Unit>
bool noCodeBegins(std::basic_string_view<Unit> text, const Codebook& codebook, Isa isa);

} // namespace detail
} // namespace kelvane
