#pragma once

#include "serial/UniqueFd_linux.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace files {

// Writes a file whole or not at all. The octets go to a new temporary file
// beside the target; commit() syncs it to the disk and renames it over the
// target, so a reader sees either the old file or the new one, never a part.
// On any failure the temporary file is removed, the target stays exactly as
// it was, and FileError is raised (for example
// Cannot write file "/x/run.csv": No space left on device).
// A target that is a symbolic link keeps the link: the file it points to is
// replaced. A replaced file keeps its permission bits.
class AtomicFile
{
public:
    // Creates the temporary file; raises FileError when the folder does not
    // exist or takes no new file.
    explicit AtomicFile(const QString &path);
    // Without a commit() the temporary file is removed and the target is left alone.
    ~AtomicFile();
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    // Appends to the new content. Octets are gathered and written in large
    // pieces; a failure shows here or at commit(). Raises FileError.
    void write(QByteArrayView bytes);
    // Puts the new content in place of the target. Raises FileError.
    void commit();

    // The target as given.
    const QString &path() const { return m_path; }

private:
    void writeGathered();
    [[noreturn]] void fail(int errorNumber);
    void discard();

    QString m_path;
    QByteArray m_target;    // the file replaced, links followed
    QByteArray m_temporary; // empty once renamed or removed
    serial::UniqueFd m_fd;
    QByteArray m_gathered;
};

// The whole content in one go, through an AtomicFile.
void writeWhole(const QString &path, QByteArrayView bytes);

} // namespace files
