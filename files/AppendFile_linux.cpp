#include "files/AppendFile.h"

#include "files/FileError.h"
#include "files/SystemCalls_linux.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>

namespace files {

AppendFile::AppendFile(const QString &path) : m_path(path)
{
    if (const int error = sys::openFile(QFile::encodeName(path),
                                        O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666, m_fd))
        fail(error);
    struct stat status
    {
    };
    if (::fstat(m_fd.get(), &status) != 0)
        fail(errno);
    m_size = status.st_size;
}

void AppendFile::append(QByteArrayView bytes)
{
    if (const int error = sys::writeAll(m_fd.get(), bytes)) {
        // What reached the file of this piece is cut off again, so that a
        // retry does not repeat it; should the cut fail as well, the part stays.
        sys::truncateFile(m_fd.get(), m_size);
        fail(error);
    }
    m_size += bytes.size();
}

void AppendFile::close()
{
    const int syncError = sys::syncFile(m_fd.get());
    const int closeError = sys::closeFile(m_fd);
    if (syncError != 0 || closeError != 0)
        fail(syncError != 0 ? syncError : closeError);
}

void AppendFile::fail(int errorNumber) const
{
    throw FileError(FileError::Operation::Write, m_path, errorNumber);
}

} // namespace files
