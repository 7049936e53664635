#pragma once

#include "serial/UniqueFd_linux.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>
#include <memory>

namespace files {

// Octets kept on the disk rather than in memory: appended to a temporary
// file that has no name (gone with its last descriptor, also after a
// crash), in the system's temporary folder. A snapshot holds what was
// appended up to its moment and can be read on any thread while appending
// goes on. The file is made at the first append; each append is one
// write(2), so a snapshot needs nothing flushed. Failures raise FileError,
// naming the temporary folder and what the octets are.
class SpoolFile
{
public:
    class Snapshot
    {
    public:
        Snapshot() = default;
        qint64 size() const { return m_size; }
        // Hands the octets to `take` in pieces of at most PieceSize; stops
        // at the first piece refused and returns false. Raises FileError.
        bool read(const std::function<bool(QByteArrayView)> &take) const;

        static constexpr qsizetype PieceSize = 64 * 1024;

    private:
        friend class SpoolFile;
        std::shared_ptr<const serial::UniqueFd> m_fd;
        qint64 m_size = 0;
        QString m_name;
    };

    // `name` says in messages what the octets are ("series rows").
    explicit SpoolFile(const QString &name);

    qint64 size() const { return m_written; }
    // Appends the octets, or raises FileError; after a failure every
    // append fails alike, and snapshots hold what came before it.
    void append(QByteArrayView bytes);
    Snapshot snapshot() const;

private:
    void open();

    QString m_name;
    std::shared_ptr<serial::UniqueFd> m_fd;
    qint64 m_written = 0;
    int m_failure = 0; // the errno value of the first failure
};

} // namespace files
