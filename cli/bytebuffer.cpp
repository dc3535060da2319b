// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "bytebuffer.h"

#include <cstdint>
#include <cstdlib>
#include <new>
#include <utility>

#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#endif

namespace kelvane::cli {

namespace {

// Asks for huge pages for the whole 2 MiB pages inside [data, data + size).
void adviseHugePages([[maybe_unused]] char* data, [[maybe_unused]] std::size_t size)
{
#ifdef MADV_HUGEPAGE
    constexpr std::uintptr_t hugePage = std::uintptr_t{1} << 21;
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + hugePage - 1) & ~(hugePage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + size) & ~(hugePage - 1);
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
}

} // namespace

ByteBuffer::~ByteBuffer()
{
    release();
}

ByteBuffer::ByteBuffer(ByteBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0))
{}

ByteBuffer& ByteBuffer::operator=(ByteBuffer&& other) noexcept
{
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
    return *this;
}

void ByteBuffer::release()
{
    std::free(data_);
}

void ByteBuffer::reserve(std::size_t capacity)
{
    if (capacity <= capacity_)
        return;
    void* grown = std::realloc(data_, capacity);
    if (grown == nullptr)
        throw std::bad_alloc();
    // Only a first block gets huge pages: grown by realloc, a block with huge
    // pages ends up resident in full on Linux, used or not.
    if (data_ == nullptr)
        adviseHugePages(static_cast<char*>(grown), capacity);
    data_ = static_cast<char*>(grown);
    capacity_ = capacity;
}

} // namespace kelvane::cli
