#include "texttransformer.h"

#include <algorithm>
#include <substitution.h>

namespace kelvane::cli {

namespace {

// Returns true for a byte before which a slice may end.
constexpr bool isSliceBoundary(char b)
{
    const auto u = static_cast<unsigned char>(b);
    return u < 0x80 && !(b >= '0' && b <= '8');
}

} // namespace

TextTransformer::TextTransformer(const Codebook& codebook, Direction direction,
                                 std::size_t sliceSize)
    : codebook_(codebook), direction_(direction), sliceSize_(std::max<std::size_t>(sliceSize, 1))
{}

TransformResult TextTransformer::transform(std::string_view input) const
{
    TransformResult result;
    result.output.reserve(outputCapacity(input));
    std::u16string units;
    for (std::size_t begin = 0; begin < input.size();) {
        const std::size_t end = sliceEnd(input, begin);
        units.clear();
        if (auto error = appendUtf16(input.substr(begin, end - begin), units)) {
            error->offset += begin;
            return {{}, true, error};
        }
        if (direction_ == Direction::encrypt)
            result.roundTrips = result.roundTrips && roundTrips(units, codebook_);
        const std::u16string transformed = kelvane::transform(units, codebook_, direction_);
        // Valid input yields paired surrogates only and the cipher moves none,
        // so this cannot fail; it is checked rather than trusted all the same.
        if (appendUtf8(transformed, result.output))
            return {{}, true, Utf8Error{begin, "unpaired surrogate in the result"}};
        begin = end;
    }
    return result;
}

std::size_t TextTransformer::sliceEnd(std::string_view input, std::size_t begin) const
{
    if (input.size() - begin <= sliceSize_)
        return input.size();
    const auto tail = input.substr(begin + sliceSize_);
    const auto found = std::find_if(tail.begin(), tail.end(), isSliceBoundary);
    return begin + sliceSize_ + static_cast<std::size_t>(found - tail.begin());
}

std::size_t TextTransformer::outputCapacity(std::string_view input) const
{
    if (direction_ == Direction::decrypt)
        return input.size();
    // Alphabet characters and codes are ASCII, and every other byte is copied.
    std::size_t size = 0;
    for (char b : input) {
        const auto code = codebook_.codeOf(static_cast<unsigned char>(b));
        size += code.empty() ? 1 : code.size();
    }
    return size;
}

} // namespace kelvane::cli
