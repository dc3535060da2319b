// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "bytebuffer.h"

#include <cstdlib>
#include <new>
#include <utility>

#ifdef __linux__
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace kelvane::cli {

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

#ifdef __linux__

void ByteBuffer::release()
{
    if (data_ != nullptr)
        munmap(data_, capacity_);
}

void ByteBuffer::reserve(std::size_t capacity)
{
    if (capacity <= capacity_)
        return;
    // Whole pages, so that the capacity is the length of the mapping.
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    if (capacity > static_cast<std::size_t>(-1) - page)
        throw std::bad_alloc();
    capacity = (capacity + page - 1) / page * page;
    void* block = nullptr;
    if (data_ == nullptr) {
        block = mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        // Advised as a whole, the mapping stays one area that mremap can grow
        // or move; only its aligned 2 MiB parts get huge pages.
        if (block != MAP_FAILED)
            madvise(block, capacity, MADV_HUGEPAGE);
    } else {
        block = mremap(data_, capacity_, capacity, MREMAP_MAYMOVE);
    }
    if (block == MAP_FAILED)
        throw std::bad_alloc();
    data_ = static_cast<char*>(block);
    capacity_ = capacity;
}

#else

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
    data_ = static_cast<char*>(grown);
    capacity_ = capacity;
}

#endif

} // namespace kelvane::cli
