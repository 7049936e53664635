#include "files/SystemCalls_linux.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace files::sys {

namespace {

// Runs the call until it is not interrupted; 0 on success, else errno.
template <typename Call> int retried(Call call)
{
    while (call() < 0) {
        if (errno != EINTR)
            return errno;
    }
    return 0;
}

} // namespace

int openFile(const QByteArray &path, int flags, mode_t mode, UniqueFd &opened)
{
    int fd = -1;
    const int error = retried([&] { return fd = ::open(path.constData(), flags, mode); });
    if (error == 0)
        opened.reset(fd);
    return error;
}

int statusOf(const QByteArray &path, struct stat &status)
{
    return retried([&] { return ::stat(path.constData(), &status); });
}

int linkStatusOf(const QByteArray &path, struct stat &status)
{
    return retried([&] { return ::lstat(path.constData(), &status); });
}

int writeAll(int fd, QByteArrayView bytes)
{
    const char *next = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, next, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        // A regular file takes at least one octet or fails; no progress at all
        // would otherwise loop for ever.
        if (written == 0)
            return EIO;
        next += written;
        left -= written;
    }
    return 0;
}

int syncFile(int fd)
{
    return retried([&] { return ::fsync(fd); });
}

int readAt(int fd, off_t offset, char *buffer, size_t size, ssize_t &got)
{
    return retried([&] { return got = ::pread(fd, buffer, size, offset); });
}

int closeFile(UniqueFd &fd)
{
    // Not retried after EINTR: on Linux the descriptor is gone, and the data
    // was synced before.
    if (::close(fd.release()) < 0 && errno != EINTR)
        return errno;
    return 0;
}

int removeFile(const QByteArray &path)
{
    return retried([&] { return ::unlink(path.constData()); });
}

int renameFile(const QByteArray &from, const QByteArray &to)
{
    return retried([&] { return ::rename(from.constData(), to.constData()); });
}

int truncateFile(int fd, off_t size)
{
    return retried([&] { return ::ftruncate(fd, size); });
}

int setMode(int fd, mode_t mode)
{
    return retried([&] { return ::fchmod(fd, mode); });
}

} // namespace files::sys
