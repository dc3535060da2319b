// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <string_view>

namespace kelvane::cli {

// The output of one run, written in large blocks straight to a file
// descriptor. When it is a regular file, a failed run can cut the file back
// to its old size, so that no partial result stays in it and the file never
// ends larger than it was; only bytes written over old content (as `1<>`
// allows) cannot be brought back. While it writes to a regular
// file, SIGXFSZ is ignored if it was at its default action, so that a
// file-size limit shows up as a failed write that can be undone;
// raiseFileSizeSignal() then ends the process as the signal would have.
class OutputFile
{
public:
    explicit OutputFile(int fd);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Writes all of `bytes` and returns true, or returns false and keeps the
    // errno value of the failure.
    bool write(std::string_view bytes);

    // Returns the errno value of the failed write, or 0.
    int error() const { return error_; }

    // Returns the number of bytes written so far, or after restore() the
    // number that stayed written.
    std::uint64_t written() const { return written_; }

    // Cuts a regular file back to its old size; returns true when it then
    // holds exactly what it held before this object wrote to it.
    bool restore();

    // Raises SIGXFSZ at its default action when a write failed with EFBIG and
    // the signal was at its default action before; that ends the process.
    void raiseFileSizeSignal();

private:
    int fd_;
    bool regular_ = false;
    bool append_ = false;
    std::int64_t start_ = -1;
    std::int64_t originalSize_ = 0;
    bool signalWasDefault_ = false;
    int error_ = 0;
    std::uint64_t written_ = 0;
};

} // namespace kelvane::cli
