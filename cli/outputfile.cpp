// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "outputfile.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvane::cli {

OutputFile::OutputFile(int fd) : fd_(fd)
{
    struct stat info = {};
    if (fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode))
        return;
    regular_ = true;
    originalSize_ = info.st_size;
    const int flags = fcntl(fd_, F_GETFL);
    append_ = flags != -1 && (flags & O_APPEND) != 0;
    start_ = append_ ? info.st_size : lseek(fd_, 0, SEEK_CUR);

    struct sigaction previous = {};
    if (sigaction(SIGXFSZ, nullptr, &previous) == 0 && previous.sa_handler == SIG_DFL) {
        struct sigaction ignore = {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        signalWasDefault_ = sigaction(SIGXFSZ, &ignore, nullptr) == 0;
    }
}

OutputFile::~OutputFile()
{
    if (signalWasDefault_)
        std::signal(SIGXFSZ, SIG_DFL);
}

bool OutputFile::write(std::string_view bytes)
{
    // Linux moves at most about 2 GiB in one call; a smaller step keeps the
    // loop the same everywhere.
    constexpr std::size_t step = std::size_t{1} << 30;
    while (!bytes.empty()) {
        const ssize_t done = ::write(fd_, bytes.data(), std::min(bytes.size(), step));
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            error_ = done < 0 ? errno : EIO;
            return false;
        }
        written_ += static_cast<std::uint64_t>(done);
        bytes.remove_prefix(static_cast<std::size_t>(done));
    }
    return true;
}

bool OutputFile::restore()
{
    if (!regular_)
        return false;
    // The file goes back to its old size, also when the output started past
    // its end (a caller that seeked there): cutting back to the start offset
    // would leave a larger, sparse file.
    if (ftruncate(fd_, originalSize_) != 0)
        return false;
    // Writing at an offset inside the old content (as `1<>` allows) has
    // overwritten bytes that cannot be brought back; those stay written.
    if (start_ < originalSize_) {
        const auto overwritten = static_cast<std::uint64_t>(originalSize_ - start_);
        written_ = std::min(written_, overwritten);
        return written_ == 0;
    }
    if (!append_ && lseek(fd_, start_, SEEK_SET) != start_)
        return false;
    written_ = 0;
    return true;
}

void OutputFile::raiseFileSizeSignal()
{
    if (error_ != EFBIG || !signalWasDefault_)
        return;
    signalWasDefault_ = false;
    std::signal(SIGXFSZ, SIG_DFL);
    std::raise(SIGXFSZ);
}

} // namespace kelvane::cli
