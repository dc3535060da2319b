// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace kelvane::cli {

// The output of one run, written in large blocks straight to a file
// descriptor. When it is a regular file, a failed run can take its bytes back
// out, but only where the file still holds exactly what this run wrote there:
// other programs may append to the same file or cut it while the run writes,
// and their data is never ours to remove. Bytes written over old content (as
// `1<>` allows) cannot be brought back.
//
// While it writes to a regular file, SIGXFSZ is ignored if it was at its
// default action, so that a file-size limit shows up as a failed write; and
// SIGINT, SIGTERM and SIGHUP, if at their default action, are caught, so that
// an interrupted run can be cleaned up like a failed write. raiseSignal() then
// ends the process as the signal would have.
class OutputFile
{
public:
    // What restore() could do with the file.
    enum class Restored
    {
        // The file holds what it held before; nothing of this run stays.
        whole,
        // The file has its old size again, but written() bytes of old content
        // were overwritten by this run.
        overwritten,
        // The last written() bytes of the file are this run's by its size and
        // offset; they were left in place, since they could not be read back
        // to make sure or could not be cut off.
        leftAtEnd,
        // The file changed during the run in a way that this run did not make;
        // nothing was removed, and this run wrote written() bytes to it.
        changed,
        // Not a regular file: the written() bytes cannot be taken back.
        notAFile
    };

    // Returns true when the `size` bytes at `offset` of the file `fd` are the
    // first `size` bytes that this run wrote.
    using Verifier = std::function<bool(int fd, std::int64_t offset, std::uint64_t size)>;

    explicit OutputFile(int fd);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Writes all of `bytes` and returns true, or returns false and keeps the
    // errno value of the failure; a caught signal fails it with EINTR.
    // Waits while a non-blocking descriptor is not ready.
    bool write(std::string_view bytes);

    // Closes the descriptor and returns true, or returns false with the error
    // that closing reported (a network file system may report a failed write
    // only then). The file stays open for restore() through a copy.
    bool close();

    // Returns the errno value of the failed write or close, or 0.
    int error() const { return error_; }

    // Returns the signal that was caught while writing a regular file, or 0.
    int caughtSignal() const;

    // Returns the number of bytes written so far, or after restore() the
    // number that stayed in the file.
    std::uint64_t written() const { return written_; }

    // After a failed write, cuts a regular file back to its old size when
    // its size, the file offset and, by `isOurs` (given a descriptor that
    // reads the file), the bytes this run wrote show that nothing but this
    // run has touched it since; otherwise leaves it alone.
    Restored restore(const Verifier& isOurs);

    // Puts the signal actions back as they were; then raises SIGXFSZ when a
    // write failed with EFBIG and the signal was at its default action, or
    // else a signal caught until now. Either ends the process.
    void raiseSignal();

private:
    int fd_;
    int copy_ = -1;
    bool regular_ = false;
    bool append_ = false;
    std::int64_t start_ = -1;
    std::int64_t originalSize_ = 0;
    bool handlersInstalled_ = false;
    bool fileSizeSignalWasDefault_ = false;
    int error_ = 0;
    std::uint64_t written_ = 0;

    void restoreSignalActions();
};

} // namespace kelvane::cli
