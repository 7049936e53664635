#pragma once

#include "serial/UniqueFd_linux.h"

#include <QByteArrayView>
#include <QString>

namespace files {

// A file open for appending, that only ever ends after a whole piece: a
// piece that cannot be written whole is taken back out. Failures raise
// FileError naming the file.
class AppendFile
{
public:
    // Opens the file, creating it when it does not exist.
    explicit AppendFile(const QString &path);
    // Closes without a check; use close() to learn of a failure.
    ~AppendFile() = default;
    AppendFile(AppendFile &&) = default;
    AppendFile &operator=(AppendFile &&) = default;

    const QString &path() const { return m_path; }
    qint64 size() const { return m_size; }

    void append(QByteArrayView bytes);
    // Syncs the file to the disk and closes it.
    void close();

private:
    [[noreturn]] void fail(int errorNumber) const;

    QString m_path;
    serial::UniqueFd m_fd;
    qint64 m_size = 0;
};

} // namespace files
