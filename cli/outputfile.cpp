// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "outputfile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvane::cli {

namespace {

// The signal that arrived while a regular file was written; the first wins.
volatile std::sig_atomic_t caught = 0;

extern "C" void catchSignal(int number)
{
    if (caught == 0) {
        caught = number;
        return;
    }
    // A second signal ends the run at once, whatever the file holds then:
    // the user has asked twice.
    std::signal(number, SIG_DFL);
    std::raise(number);
}

// A signal whose action an OutputFile changes, and the action it had.
struct SignalAction
{
    int number;
    bool changed = false;
    struct sigaction previous = {};
};

// SIGXFSZ first: it is ignored rather than caught.
std::array<SignalAction, 4> signalActions{SignalAction{SIGXFSZ}, SignalAction{SIGINT},
                                          SignalAction{SIGTERM}, SignalAction{SIGHUP}};

// Sets `handler` for `action` if the signal is at its default action now; an
// ignored signal stays ignored (nohup, a background job).
void replaceDefault(SignalAction& action, void (*handler)(int))
{
    action.changed = false;
    if (sigaction(action.number, nullptr, &action.previous) != 0 ||
        action.previous.sa_handler != SIG_DFL)
        return;
    struct sigaction replacement = {};
    replacement.sa_handler = handler;
    sigemptyset(&replacement.sa_mask);
    action.changed = sigaction(action.number, &replacement, nullptr) == 0;
}

// Waits until `fd` is ready for `events`; returns false with errno set when
// it cannot wait.
bool waitUntilReady(int fd, short events)
{
    pollfd entry = {fd, events, 0};
    while (poll(&entry, 1, -1) < 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

// Returns a descriptor that reads the file that `fd` writes (`fd` itself when
// it was opened for reading too, as `1<>` does), or -1. A file opened for
// writing only is opened again through /proc, and must be the same file.
int openForReading(int fd, const struct stat& info)
{
    const int flags = fcntl(fd, F_GETFL);
    if (flags != -1 && (flags & O_ACCMODE) == O_RDWR)
        return fd;
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    const int reader = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    struct stat readerInfo = {};
    if (reader >= 0 && fstat(reader, &readerInfo) == 0 && readerInfo.st_dev == info.st_dev &&
        readerInfo.st_ino == info.st_ino)
        return reader;
    if (reader >= 0)
        ::close(reader);
    return -1;
}

} // namespace

OutputFile::OutputFile(int fd) : fd_(fd)
{
    caught = 0;
    struct stat info = {};
    if (fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode))
        return;
    regular_ = true;
    originalSize_ = info.st_size;
    const int flags = fcntl(fd_, F_GETFL);
    append_ = flags != -1 && (flags & O_APPEND) != 0;
    start_ = append_ ? info.st_size : lseek(fd_, 0, SEEK_CUR);

    replaceDefault(signalActions[0], SIG_IGN);
    fileSizeSignalWasDefault_ = signalActions[0].changed;
    for (std::size_t i = 1; i < signalActions.size(); ++i)
        replaceDefault(signalActions[i], catchSignal);
    handlersInstalled_ = true;
}

OutputFile::~OutputFile()
{
    restoreSignalActions();
    if (copy_ >= 0)
        ::close(copy_);
}

int OutputFile::caughtSignal() const
{
    return handlersInstalled_ ? static_cast<int>(caught) : 0;
}

bool OutputFile::write(std::string_view bytes)
{
    // Linux moves at most about 2 GiB in one call; a smaller step keeps the
    // loop the same everywhere.
    constexpr std::size_t step = std::size_t{1} << 30;
    while (!bytes.empty()) {
        if (caughtSignal() != 0) {
            error_ = EINTR;
            return false;
        }
        const ssize_t done = ::write(fd_, bytes.data(), std::min(bytes.size(), step));
        if (done < 0 && errno == EINTR)
            continue;
        if (done < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && waitUntilReady(fd_, POLLOUT))
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

bool OutputFile::close()
{
    // Closing the descriptor reports what the file system reports; the copy
    // keeps the file open for a clean-up.
    copy_ = fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    // On Linux the descriptor is closed also when close() says EINTR.
    const bool closed = ::close(fd_) == 0 || errno == EINTR;
    if (!closed)
        error_ = errno;
    if (copy_ >= 0)
        fd_ = copy_;
    return closed;
}

OutputFile::Restored OutputFile::restore(const Verifier& isOurs)
{
    if (!regular_)
        return Restored::notAFile;
    if (written_ == 0)
        return Restored::whole;
    const std::int64_t first = append_ ? originalSize_ : start_;
    const std::int64_t end = first + static_cast<std::int64_t>(written_);
    struct stat info = {};
    // This run's bytes must lie exactly at [first, end), nothing may lie
    // after them, the offset must be where this run left it, and the bytes
    // must still be the ones it wrote: a file cut short by someone else and
    // then written on by this run has a hole, or their bytes, before ours.
    if (fstat(fd_, &info) != 0 || info.st_size != std::max(end, originalSize_) ||
        lseek(fd_, 0, SEEK_CUR) != end)
        return Restored::changed;
    const int reader = openForReading(fd_, info);
    if (reader < 0)
        return Restored::leftAtEnd;
    const bool ours = isOurs(reader, first, written_);
    if (reader != fd_)
        ::close(reader);
    if (!ours)
        return Restored::changed;
    if (end > originalSize_ && ftruncate(fd_, originalSize_) != 0)
        return Restored::leftAtEnd;
    if (first < originalSize_) {
        // Writing inside the old content (as `1<>` allows) has overwritten
        // bytes that cannot be brought back; those stay written.
        written_ = std::min(written_, static_cast<std::uint64_t>(originalSize_ - first));
        return Restored::overwritten;
    }
    if (!append_)
        lseek(fd_, start_, SEEK_SET);
    written_ = 0;
    return Restored::whole;
}

void OutputFile::raiseSignal()
{
    // The actions go back first, so that a signal arriving now is either
    // seen below or acts at once.
    const bool caughtSignals = handlersInstalled_;
    restoreSignalActions();
    if (error_ == EFBIG && fileSizeSignalWasDefault_)
        std::raise(SIGXFSZ);
    if (caughtSignals && caught != 0)
        std::raise(caught);
}

void OutputFile::restoreSignalActions()
{
    if (!handlersInstalled_)
        return;
    handlersInstalled_ = false;
    for (SignalAction& action : signalActions) {
        if (action.changed)
            sigaction(action.number, &action.previous, nullptr);
        action.changed = false;
    }
}

} // namespace kelvane::cli
