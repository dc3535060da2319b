// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "passkernels.h"

#include "passtables.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <kelvane/unitcounts.h>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#define KELVANE_HAVE_SSE2 1
#endif

namespace kelvane::detail {

namespace {

template <class Unit>
constexpr Unit nine = static_cast<Unit>('9');

template <class Unit>
constexpr auto unsignedOf(Unit u)
{
    return static_cast<std::make_unsigned_t<Unit>>(u);
}

// Plain C++: the standard library's search for a byte, a loop for 16-bit units.
struct PortableOps
{
    // Returns the first 9 in [p, end), or end.
    template <class Unit>
    static const Unit* findNine(const Unit* p, const Unit* end)
    {
        if constexpr (sizeof(Unit) == 1) {
            const void* found = std::memchr(p, '9', static_cast<std::size_t>(end - p));
            return found != nullptr ? static_cast<const Unit*>(found) : end;
        } else {
            return std::find(p, end, nine<Unit>);
        }
    }

    template <class Unit>
    static Window window(const Unit* p, const Unit* end)
    {
        return portableWindow(p, end);
    }

    // Returns the window at `p`, with 16 units readable.
    template <class Unit>
    static Window fullWindow(const Unit* p)
    {
        return portableWindow(p, p + 16);
    }

    // Copies the units before the first 9 in [p, limit) to `out`; returns how many.
    template <class Unit>
    static std::size_t copyGap(const Unit* p, const Unit* limit, Unit* out)
    {
        const Unit* const stop = findNine(p, limit);
        std::copy(p, stop, out);
        return static_cast<std::size_t>(stop - p);
    }
};

#if KELVANE_HAVE_SSE2
// SSE2: 16 bytes at a time, loads and stores unaligned.
struct Sse2Ops
{
    template <class Unit>
    static constexpr std::ptrdiff_t lanes = 16 / sizeof(Unit);

    // Returns the byte mask of the units of `v` that are 9.
    template <class Unit>
    static unsigned nineMask(__m128i v)
    {
        const __m128i eq = sizeof(Unit) == 1 ? _mm_cmpeq_epi8(v, _mm_set1_epi8('9'))
                                             : _mm_cmpeq_epi16(v, _mm_set1_epi16('9'));
        return static_cast<unsigned>(_mm_movemask_epi8(eq));
    }

    template <class Unit>
    static __m128i load(const Unit* p)
    {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    }

    template <class Unit>
    static const Unit* findNine(const Unit* p, const Unit* end)
    {
        for (; end - p >= lanes<Unit>; p += lanes<Unit>) {
            if (const unsigned mask = nineMask<Unit>(load(p)))
                return p + static_cast<std::size_t>(std::countr_zero(mask)) / sizeof(Unit);
        }
        return std::find(p, end, nine<Unit>);
    }

    template <class Unit>
    static Window fullWindow(const Unit* p)
    {
        // For 16-bit units, signed saturation turns units from 0x100 up into
        // 0xFF and from 0x8000 up into 0, neither of them a digit.
        __m128i bytes;
        if constexpr (sizeof(Unit) == 1)
            bytes = load(p);
        else
            bytes = _mm_packus_epi16(load(p), load(p + 8));
        Window w;
#if defined(__x86_64__) || defined(_M_X64)
        w.lo = static_cast<std::uint64_t>(_mm_cvtsi128_si64(bytes));
        w.hi = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(bytes, bytes)));
#else
        alignas(16) std::uint64_t words[2];
        _mm_store_si128(reinterpret_cast<__m128i*>(words), bytes);
        w.lo = words[0];
        w.hi = words[1];
#endif
        w.nines =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('9'))));
        return w;
    }

    template <class Unit>
    static Window window(const Unit* p, const Unit* end)
    {
        return end - p >= 16 ? fullWindow(p) : portableWindow(p, end);
    }

    // Copies a vector at a time and stops at the first 9; a vector is stored
    // only when it lies wholly before `limit`.
    template <class Unit>
    static std::size_t copyGap(const Unit* p, const Unit* limit, Unit* out)
    {
        const Unit* const start = p;
        for (; limit - p >= lanes<Unit>; p += lanes<Unit>, out += lanes<Unit>) {
            const __m128i v = load(p);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), v);
            if (const unsigned mask = nineMask<Unit>(v))
                return static_cast<std::size_t>(p - start) +
                       static_cast<std::size_t>(std::countr_zero(mask)) / sizeof(Unit);
        }
        for (; p != limit && *p != nine<Unit>; ++p)
            *out++ = *p;
        return static_cast<std::size_t>(p - start);
    }
};
#endif

// Encryption: each ASCII unit's code (or the unit itself) is written with one
// store of PassTables::padded units, and the output advances by its length.
template <class Unit>
Progress encryptPiece(std::basic_string_view<Unit> text, std::size_t from, std::span<Unit> out,
                      const PassTables& tables)
{
    const Unit* const begin = text.data() + from;
    const Unit* const end = text.data() + text.size();
    const Unit* p = begin;
    Unit* o = out.data();
    Unit* const oEnd = out.data() + (out.size() - PassTables::padded);
    const auto& codes = tables.codes<Unit>();
    const std::size_t widest = std::max<std::size_t>(tables.longLength, 4);
    for (;;) {
        const auto steps = std::min(static_cast<std::size_t>(end - p),
                                    static_cast<std::size_t>(oEnd - o) / widest);
        if (steps == 0)
            break;
        for (const Unit* const stop = p + steps; p != stop; ++p) {
            const auto u = unsignedOf(*p);
            if (u < 128) {
                std::memcpy(o, codes[u].data(), sizeof codes[u]);
                o += tables.lengths[u];
            } else {
                *o++ = *p;
            }
        }
    }
    return {static_cast<std::size_t>(p - begin), static_cast<std::size_t>(o - out.data())};
}

// Decryption: at each 9 the code that begins there, if any, becomes its
// character; everything between 9s is copied as a block (substitution.cpp
// shows why this equals the 61 steps).
template <class Unit, class Ops>
Progress decryptPiece(std::basic_string_view<Unit> text, std::size_t from, std::span<Unit> out,
                      const PassTables& tables)
{
    const Unit* const begin = text.data() + from;
    const Unit* const end = text.data() + text.size();
    const Unit* p = begin;
    Unit* o = out.data();
    Unit* const oEnd = out.data() + (out.size() - pieceSlack);
    while (p < end && o < oEnd) {
        if (*p != nine<Unit>) {
            const std::size_t copied = Ops::copyGap(p, p + std::min(end - p, oEnd - o), o);
            p += copied;
            o += copied;
            continue;
        }
        if (end - p >= 32) {
            // The next 9 is where the walk goes on, whether or not a code
            // begins here: a code holds no 9 after its first digit, and the
            // units between it and the next 9 are copied. So the walk moves
            // on without waiting for the lookup.
            const Window w = Ops::fullWindow(p);
            if (const unsigned later = w.nines >> 1) {
                const std::size_t next = 1 + static_cast<std::size_t>(std::countr_zero(later));
                const CodeMatch found = tables.match(w.lo, w.hi);
                *o = static_cast<Unit>(found.character);
                o += found.length != 0;
                // In cipher text the next code follows at once, and this branch
                // is as predictable as the text.
                if (next != found.length)
                    std::memcpy(o, p + found.length, 16 * sizeof(Unit));
                o += next - found.length;
                p += next;
                continue;
            }
        }
        const Window w = Ops::window(p, end);
        const CodeMatch found = tables.match(w.lo, w.hi);
        if (found.length != 0) {
            *o++ = static_cast<Unit>(found.character);
            p += found.length;
        } else {
            *o++ = *p++;
        }
    }
    return {static_cast<std::size_t>(p - begin), static_cast<std::size_t>(o - out.data())};
}

template <class Unit, class Ops>
bool noCodeBeginsWith(std::basic_string_view<Unit> text, const PassTables& tables)
{
    const Unit* const end = text.data() + text.size();
    for (const Unit* p = Ops::findNine(text.data(), end); p != end; p = Ops::findNine(p + 1, end)) {
        const Window w = Ops::window(p, end);
        if (tables.match(w.lo, w.hi).length != 0)
            return false;
    }
    return true;
}

// The counts are taken 16 bytes at a time in portable vector lanes, 8 lanes of
// 16-bit units or 16 of bytes; each lane counts up to laneRun units (as many
// as it can hold) before the lanes are added up.
using Lanes16 = std::uint16_t __attribute__((vector_size(16)));
using Lanes8 = std::uint8_t __attribute__((vector_size(16)));

template <class Unit>
using Lanes = std::conditional_t<sizeof(Unit) == 1, Lanes8, Lanes16>;

template <class Unit>
constexpr std::size_t laneRun = sizeof(Unit) == 1 ? 255 : 4096;

// Returns all ones in the lanes that hold a space, '.', ',' or '?'.
template <class L>
L shortCodedIn(L c)
{
    return (L)((c == ' ') | (c == '.') | (c == ',') | (c == '?'));
}

// Returns all ones in the lanes that hold any other alphabet character: a
// letter, '!', '"', '(', ')' or '@'.
template <class L>
L longCodedIn(L c)
{
    const L letter = (c | 0x20) - 'a';
    const L bang = c - '!';
    const L parenthesis = c - '(';
    return (L)((letter < 26) | (bang < 2) | (parenthesis < 2) | (c == '@'));
}

} // namespace

std::span<const Isa> availableIsas()
{
#if KELVANE_HAVE_SSE2
    static constexpr std::array isas = {Isa::portable, Isa::sse2};
#else
    static constexpr std::array isas = {Isa::portable};
#endif
    return isas;
}

template <class Unit>
Progress runPiece(std::basic_string_view<Unit> text, std::size_t from, std::span<Unit> out,
                  const Codebook& codebook, Direction direction, Isa isa)
{
    const PassTables& tables = CodebookAccess::tables(codebook);
    if (direction == Direction::encrypt)
        return encryptPiece(text, from, out, tables);
#if KELVANE_HAVE_SSE2
    if (isa == Isa::sse2)
        return decryptPiece<Unit, Sse2Ops>(text, from, out, tables);
#endif
    (void)isa;
    return decryptPiece<Unit, PortableOps>(text, from, out, tables);
}

// Every unit stays one unit long except the alphabet characters, which grow
// to their codes: the space, '.', ',' and '?' to 4 units in every codebook
// (codebook.cpp checks that at compile time), the others to the key's
// long-code length.
template <class Unit>
UnitCounts countUnits(std::basic_string_view<Unit> text)
{
    using L = Lanes<Unit>;
    constexpr std::size_t laneWidth = sizeof(L) / sizeof(Unit);
    UnitCounts counts{text.size()};
    std::size_t i = 0;
    while (text.size() - i >= laneWidth) {
        L shortCoded{};
        L longCoded{};
        const std::size_t end =
            i + std::min(text.size() - i, laneRun<Unit> * laneWidth) / laneWidth * laneWidth;
        for (; i < end; i += laneWidth) {
            L c;
            std::memcpy(&c, text.data() + i, sizeof c);
            shortCoded -= shortCodedIn(c);
            longCoded -= longCodedIn(c);
        }
        for (std::size_t k = 0; k < laneWidth; ++k) {
            counts.shortCoded += shortCoded[k];
            counts.longCoded += longCoded[k];
        }
    }
    if (i < text.size()) { // the last units, beside lanes of 0, which counts for neither
        L c{};
        std::memcpy(&c, text.data() + i, (text.size() - i) * sizeof(Unit));
        const L shortCoded = shortCodedIn(c);
        const L longCoded = longCodedIn(c);
        for (std::size_t k = 0; k < laneWidth; ++k) {
            counts.shortCoded += shortCoded[k] & 1;
            counts.longCoded += longCoded[k] & 1;
        }
    }
    return counts;
}

template <class Unit>
std::basic_string<Unit> transformAll(std::basic_string_view<Unit> text, const Codebook& codebook,
                                     Direction direction, Isa isa)
{
    std::basic_string<Unit> result;
    result.reserve(direction == Direction::encrypt ? encryptedSize(countUnits(text), codebook)
                                                   : text.size());
    // Pieces go through a block that stays in the cache, so the result is
    // written once and never filled with zeros first.
    std::array<Unit, 8192> block;
    for (std::size_t from = 0; from < text.size();) {
        const Progress done = runPiece<Unit>(text, from, block, codebook, direction, isa);
        result.append(block.data(), done.written);
        from += done.read;
    }
    if (result.capacity() > 2 * result.size() + 64)
        result.shrink_to_fit();
    return result;
}

template <class Unit>
bool noCodeBegins(std::basic_string_view<Unit> text, const Codebook& codebook, Isa isa)
{
#if KELVANE_HAVE_SSE2
    if (isa == Isa::sse2)
        return noCodeBeginsWith<Unit, Sse2Ops>(text, CodebookAccess::tables(codebook));
#endif
    (void)isa;
    return noCodeBeginsWith<Unit, PortableOps>(text, CodebookAccess::tables(codebook));
}

template Progress runPiece<char>(std::string_view, std::size_t, std::span<char>, const Codebook&,
                                 Direction, Isa);
template Progress runPiece<char16_t>(std::u16string_view, std::size_t, std::span<char16_t>,
                                     const Codebook&, Direction, Isa);
template UnitCounts countUnits<char>(std::string_view);
template UnitCounts countUnits<char16_t>(std::u16string_view);
template std::string transformAll<char>(std::string_view, const Codebook&, Direction, Isa);
template std::u16string transformAll<char16_t>(std::u16string_view, const Codebook&, Direction,
                                               Isa);
template bool noCodeBegins<char>(std::string_view, const Codebook&, Isa);
template bool noCodeBegins<char16_t>(std::u16string_view, const Codebook&, Isa);

} // namespace kelvane::detail
