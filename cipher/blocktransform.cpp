// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "internal/passkernels.h"

#include <kelvane/blocktransform.h>
#include <stdexcept>

namespace kelvane {

BlockTransform::BlockTransform(std::string_view text, const Codebook& codebook, Direction direction)
    : text_(text), codebook_(codebook), direction_(direction)
{}

std::size_t BlockTransform::next(std::span<char> block)
{
    static_assert(minimumBlock > detail::pieceSlack);
    if (block.size() < minimumBlock)
        throw std::length_error("BlockTransform::next: block too small");
    if (read_ == text_.size())
        return 0;
    const auto done = detail::runPiece(text_, read_, block, codebook_, direction_,
                                       detail::availableIsas().back());
    read_ += done.read;
    return done.written;
}

} // namespace kelvane
