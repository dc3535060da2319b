// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "texttransformer.h"

#include <algorithm>
#include <kelvane/blocktransform.h>
#include <memory>

namespace kelvane::cli {

TextTransformer::TextTransformer(const Codebook& codebook, Direction direction,
                                 std::size_t blockSize)
    : codebook_(codebook), direction_(direction),
      blockSize_(std::max(blockSize, BlockTransform::minimumBlock))
{}

bool TextTransformer::transform(std::string_view input,
                                const std::function<bool(std::string_view)>& write) const
{
    const auto block = std::make_unique_for_overwrite<char[]>(blockSize_);
    BlockTransform pass(input, codebook_, direction_);
    while (const std::size_t size = pass.next({block.get(), blockSize_})) {
        if (!write({block.get(), size}))
            return false;
    }
    return true;
}

} // namespace kelvane::cli
