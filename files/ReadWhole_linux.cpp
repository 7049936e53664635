#include "files/ReadWhole.h"

#include "files/SystemCalls_linux.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace files {

namespace {

// No such file, or a path through something that is not a folder: either
// way there is no file there.
bool isAbsence(int errorNumber)
{
    return errorNumber == ENOENT || errorNumber == ENOTDIR;
}

ReadResult failed(int errorNumber)
{
    return {ReadResult::Outcome::Failed, {}, errorNumber};
}

ReadResult kindOf(const struct stat &status)
{
    if (S_ISDIR(status.st_mode))
        return {ReadResult::Outcome::Folder, {}, 0};
    return {ReadResult::Outcome::NotRegular, {}, 0};
}

} // namespace

ReadResult readWhole(const QString &path, qint64 maxSize)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat status
    {
    };
    if (const int error = sys::statusOf(native, status))
        return isAbsence(error) ? ReadResult{} : failed(error);
    if (!S_ISREG(status.st_mode))
        return kindOf(status);
    sys::UniqueFd fd;
    // Non-blocking: should a FIFO take the file's place meanwhile, the open
    // does not wait for a writer.
    if (const int error =
            sys::openFile(native, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0, fd))
        return isAbsence(error) ? ReadResult{} : failed(error);
    if (::fstat(fd.get(), &status) != 0)
        return failed(errno);
    if (!S_ISREG(status.st_mode))
        return kindOf(status);
    // One octet more than allowed tells a file that grew after the look at it.
    QByteArray bytes(static_cast<qsizetype>(std::min<qint64>(status.st_size, maxSize) + 1),
                     Qt::Uninitialized);
    qsizetype filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got =
            ::read(fd.get(), bytes.data() + filled, static_cast<size_t>(bytes.size() - filled));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return failed(errno);
        if (got == 0)
            break;
        filled += got;
        if (filled == bytes.size() && filled <= maxSize)
            bytes.resize(std::min<qint64>(bytes.size() * 2, maxSize + 1));
    }
    if (filled > maxSize)
        return {ReadResult::Outcome::TooLarge, {}, 0};
    bytes.resize(filled);
    return {ReadResult::Outcome::Read, bytes, 0};
}

} // namespace files
