#pragma once

#include "utf8.h"

#include <codebook.h>
#include <cstddef>
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

// Runs UTF-8 text through one codebook in one direction. The input is cut into
// slices of about `sliceSize` bytes, each converted to UTF-16, transformed and
// converted back on its own, so that only the UTF-8 output grows with the
// input and not three UTF-16 copies of it. A slice ends only before an ASCII
// byte that is not one of the digits 0 to 8: that is a character boundary, and
// no code, which is a 9 followed by digits 0 to 8, can reach across it, so the
// slices give exactly what the whole text would.
class TextTransformer
{
public:
    static constexpr std::size_t defaultSliceSize = std::size_t{1} << 20;

    TextTransformer(const Codebook& codebook, Direction direction,
                    std::size_t sliceSize = defaultSliceSize);

    // Returns the transformed text, or the first UTF-8 fault of `input` and no output.
    TransformResult transform(std::string_view input) const;

private:
    // Returns the end of the slice that starts at `begin`.
    std::size_t sliceEnd(std::string_view input, std::size_t begin) const;

    // Returns the exact UTF-8 size of the encryption of `input`, or for
    // decryption an upper bound, so that the output is allocated once.
    std::size_t outputCapacity(std::string_view input) const;

    const Codebook& codebook_;
    Direction direction_;
    std::size_t sliceSize_;
};

} // namespace kelvane::cli
