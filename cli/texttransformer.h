// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <functional>
#include <kelvane/codebook.h>
#include <kelvane/direction.h>
#include <string_view>

namespace kelvane::cli {

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

private:
    const Codebook& codebook_;
    Direction direction_;
    std::size_t blockSize_;
};

} // namespace kelvane::cli
