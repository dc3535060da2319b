// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <kelvane/codebook.h>
#include <kelvane/direction.h>
#include <span>
#include <string_view>

namespace kelvane {

// Runs one direction of the cipher over an 8-bit text held in memory (such as
// UTF-8) and hands out the result a block at a time, so that a large result
// can be written out without being held whole. The blocks put together equal
// encryptText() or decryptText() of the whole text.
class BlockTransform
{
public:
    // The smallest block that next() accepts.
    static constexpr std::size_t minimumBlock = 64;

    // Keeps a view of `text`, which must outlive this object.
    BlockTransform(std::string_view text, const Codebook& codebook, Direction direction);

    // Writes the next part of the result into `block` (at least minimumBlock
    // bytes) and returns its length; returns 0 once all of it has been given.
    std::size_t next(std::span<char> block);

private:
    std::string_view text_;
    const Codebook& codebook_;
    Direction direction_;
    std::size_t read_ = 0;
};

} // namespace kelvane
