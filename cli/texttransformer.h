// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "utf8.h"

#include <codebook.h>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <substitution.h>

namespace kelvane::cli {

// What a transformation produced: the whole UTF-8 output, whether encryption
// would survive a decryption, or the fault that stopped it (with no output).
struct TransformResult
{
    std::string output;
    bool roundTrips = true;
    std::optional<Utf8Error> error;
};

// Runs UTF-8 text through one codebook in one direction. The passes work on
// the UTF-8 bytes directly (alphabet characters and codes are ASCII, every
// other byte passes through), and the result comes out in blocks of
// `blockSize` bytes, so that only the input is held whole.
class TextTransformer
{
public:
    static constexpr std::size_t defaultBlockSize = std::size_t{1} << 20;

    // A block size below BlockTransform::minimumBlock is raised to it.
    TextTransformer(const Codebook& codebook, Direction direction,
                    std::size_t blockSize = defaultBlockSize);

    // Hands the result for `input`, which must be valid UTF-8, to `write` a
    // block at a time, in order; returns false as soon as `write` does.
    bool transform(std::string_view input,
                   const std::function<bool(std::string_view)>& write) const;

    // Returns the transformed text, or the first UTF-8 fault of `input` and no output.
    TransformResult transform(std::string_view input) const;

private:
    const Codebook& codebook_;
    Direction direction_;
    std::size_t blockSize_;
};

} // namespace kelvane::cli
