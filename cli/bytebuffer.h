// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <string_view>

namespace kelvane::cli {

// The bytes of a whole input: a growable block that reading fills. A regular
// file is read rather than mapped: a mapped file that another program cuts
// short while it is read would end the process with SIGBUS, and one that
// changes while it is read could pass the UTF-8 check with other bytes than it
// is transformed with. On Linux the block is an anonymous mapping of its own,
// advised for transparent huge pages, which grows with mremap: the pages move
// instead of being copied, so a block never needs twice its size while it
// grows, and pages it has not used yet take no memory.
class ByteBuffer
{
public:
    ByteBuffer() = default;
    ~ByteBuffer();
    ByteBuffer(ByteBuffer&& other) noexcept;
    ByteBuffer& operator=(ByteBuffer&& other) noexcept;
    ByteBuffer(const ByteBuffer&) = delete;
    ByteBuffer& operator=(const ByteBuffer&) = delete;

    char* data() { return data_; }
    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }
    std::string_view view() const { return {data_, size_}; }

    // Makes room for at least `capacity` bytes, keeping the content; throws
    // std::bad_alloc when there is no memory for it.
    void reserve(std::size_t capacity);

    // Sets the size to `size`, which must not exceed the capacity.
    void setSize(std::size_t size) { size_ = size; }

private:
    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;

    void release();
};

} // namespace kelvane::cli
