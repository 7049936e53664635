#include "files/SpoolFile.h"

#include "files/FileError.h"
#include "files/SystemCalls_linux.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>

namespace files {

namespace {

// A file without a name: O_TMPFILE where the file system has it, else a
// file made under a unique name and removed at once.
int openNameless(const QByteArray &folder, serial::UniqueFd &opened)
{
    const int error =
        sys::openFile(folder, O_TMPFILE | O_RDWR | O_CLOEXEC, S_IRUSR | S_IWUSR, opened);
    if (error != EOPNOTSUPP && error != EISDIR && error != EINVAL)
        return error;
    QByteArray pattern = folder + "/.corvane-spool-XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    opened.reset(fd);
    return sys::removeFile(pattern);
}

} // namespace

SpoolFile::SpoolFile(const QString &name) : m_name(QDir::tempPath() + QLatin1Char('/') + name) {}

void SpoolFile::open()
{
    auto fd = std::make_shared<serial::UniqueFd>();
    m_failure = openNameless(QFile::encodeName(QDir::tempPath()), *fd);
    m_fd = std::move(fd);
}

void SpoolFile::append(QByteArrayView bytes)
{
    if (m_failure == 0 && !m_fd)
        open();
    // A part written by a failed append lies past the size snapshots read
    // up to; nothing is appended after it.
    if (m_failure == 0)
        m_failure = sys::writeAll(m_fd->get(), bytes);
    if (m_failure != 0)
        throw FileError(FileError::Operation::Write, m_name, m_failure);
    m_written += bytes.size();
}

SpoolFile::Snapshot SpoolFile::snapshot() const
{
    Snapshot snapshot;
    snapshot.m_fd = m_fd;
    snapshot.m_size = m_written;
    snapshot.m_name = m_name;
    return snapshot;
}

bool SpoolFile::Snapshot::read(const std::function<bool(QByteArrayView)> &take) const
{
    QByteArray piece(PieceSize, Qt::Uninitialized);
    for (qint64 offset = 0; offset < m_size;) {
        const auto wanted = std::size_t(std::min<qint64>(PieceSize, m_size - offset));
        ssize_t got = 0;
        if (const int error = sys::readAt(m_fd->get(), off_t(offset), piece.data(), wanted, got))
            throw FileError(FileError::Operation::Read, m_name, error);
        // The octets were written before the snapshot: the file cannot end early.
        if (got == 0)
            throw FileError(FileError::Operation::Read, m_name, EIO);
        if (!take(QByteArrayView(piece.constData(), got)))
            return false;
        offset += got;
    }
    return true;
}

} // namespace files
