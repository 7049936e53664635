#include "files/AtomicFile.h"

#include "files/FileError.h"
#include "files/SystemCalls_linux.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <stdexcept>

namespace files {

namespace {

// Octets gathered before a write(2).
constexpr qsizetype GatherSize = 64 * 1024;
// Names tried for the temporary file before giving up.
constexpr int NameTries = 100;
// Room kept in the temporary file's name for its prefix and suffix.
constexpr qsizetype LongestNameKept = 200;

// The file a write to the path replaces: a symbolic link is followed, so that
// it stays a link.
QByteArray replacedFile(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat status
    {
    };
    if (sys::linkStatusOf(native, status) != 0 || !S_ISLNK(status.st_mode))
        return native;
    const QFileInfo link(path);
    const QString target = link.canonicalFilePath();
    // A link to a file that does not exist yet names the file to create.
    return QFile::encodeName(target.isEmpty() ? link.symLinkTarget() : target);
}

QByteArray folderOf(const QByteArray &file)
{
    const qsizetype slash = file.lastIndexOf('/');
    if (slash < 0)
        return ".";
    return slash == 0 ? QByteArray("/") : file.left(slash);
}

QByteArray temporaryNameFor(const QByteArray &target)
{
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray name = target.mid(slash + 1).left(LongestNameKept);
    const QByteArray tag = QByteArray::number(QRandomGenerator::global()->generate(), 16);
    return target.left(slash + 1) + '.' + name + '.' + tag + ".tmp";
}

// Makes the folder's entry for the renamed file durable. The new file is
// already complete and in place, so a file system that refuses this (some
// do, with EINVAL) loses nothing.
void syncFolderOf(const QByteArray &file)
{
    sys::UniqueFd folder;
    if (sys::openFile(folderOf(file), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0, folder) == 0)
        sys::syncFile(folder.get());
}

} // namespace

AtomicFile::AtomicFile(const QString &path) : m_path(path), m_target(replacedFile(path))
{
    int error = EEXIST;
    for (int i = 0; i < NameTries && error == EEXIST; ++i) {
        m_temporary = temporaryNameFor(m_target);
        error = sys::openFile(m_temporary, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666, m_fd);
    }
    if (error != 0) {
        m_temporary.clear();
        throw FileError(FileError::Operation::Write, m_path, error);
    }
    struct stat old
    {
    };
    if (sys::statusOf(m_target, old) == 0 && S_ISREG(old.st_mode)) {
        if (const int modeError = sys::setMode(m_fd.get(), old.st_mode & 07777))
            fail(modeError);
    }
}

AtomicFile::~AtomicFile()
{
    discard();
}

void AtomicFile::write(QByteArrayView bytes)
{
    if (!m_fd.valid())
        throw std::logic_error("AtomicFile written after its commit or failure");
    m_gathered.append(bytes);
    if (m_gathered.size() >= GatherSize)
        writeGathered();
}

void AtomicFile::writeGathered()
{
    if (const int error = sys::writeAll(m_fd.get(), m_gathered))
        fail(error);
    m_gathered.clear();
}

void AtomicFile::commit()
{
    if (!m_fd.valid())
        throw std::logic_error("AtomicFile committed after its commit or failure");
    writeGathered();
    if (const int error = sys::syncFile(m_fd.get()))
        fail(error);
    if (const int error = sys::closeFile(m_fd))
        fail(error);
    if (const int error = sys::renameFile(m_temporary, m_target))
        fail(error);
    m_temporary.clear();
    syncFolderOf(m_target);
}

void AtomicFile::fail(int errorNumber)
{
    discard();
    throw FileError(FileError::Operation::Write, m_path, errorNumber);
}

void AtomicFile::discard()
{
    m_fd.reset();
    m_gathered.clear();
    if (!m_temporary.isEmpty()) {
        // Nothing more can be done about a temporary file that stays.
        sys::removeFile(m_temporary);
        m_temporary.clear();
    }
}

void writeWhole(const QString &path, QByteArrayView bytes)
{
    AtomicFile file(path);
    file.write(bytes);
    file.commit();
}

} // namespace files
