// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The cipher as 61 find-and-replace steps over the whole text, one per
// alphabet character: slow, plainly right, and the reference that the tests,
// the benchmarks and the fuzzer hold the one-walk passes to.

#include <array>
#include <kelvane/alphabet.h>
#include <kelvane/codebook.h>
#include <string>
#include <string_view>

namespace kelvane {

// One find-and-replace step of a pass.
struct SubstitutionStep
{
    std::u16string_view find;
    std::u16string_view replacement;
};

// The 61 steps of one direction, in alphabet order; step i belongs to the
// alphabet character at position i. The views point into constant tables.
using SubstitutionPass = std::array<SubstitutionStep, CipherAlphabet::size>;

// Returns `text` with every occurrence of `find` replaced, scanning left to
// right without overlap. An empty `find` matches nothing.
std::u16string replaceAll(std::u16string_view text, std::u16string_view find,
                          std::u16string_view replacement);

// Returns the encryption pass of `codebook`: each character to its code.
SubstitutionPass encryptionPass(const Codebook& codebook);

// Returns the decryption pass of `codebook`: each code to its character, in
// the same alphabet order as the encryption pass.
SubstitutionPass decryptionPass(const Codebook& codebook);

// Returns the result of applying the steps of `pass` to `text` one after another.
std::u16string runPass(std::u16string_view text, const SubstitutionPass& pass);

} // namespace kelvane
