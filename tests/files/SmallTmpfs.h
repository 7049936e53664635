#pragma once

#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>

// A tmpfs of a few kilobytes mounted on a temporary folder for one test, and
// unmounted after it. Where mounting is not allowed, skipReason() says why.
class SmallTmpfs
{
public:
    explicit SmallTmpfs(const char *size = "8k")
    {
        const QByteArray options = QByteArray("size=") + size + ",mode=0755";
        if (::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0,
                    options.constData()) != 0)
            m_skipReason = QStringLiteral("cannot mount a tmpfs here (%1)")
                               .arg(QString::fromLocal8Bit(std::strerror(errno)));
    }
    ~SmallTmpfs()
    {
        if (m_skipReason.isEmpty())
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    SmallTmpfs(const SmallTmpfs &) = delete;
    SmallTmpfs &operator=(const SmallTmpfs &) = delete;

    // Empty when the tmpfs is there.
    const QString &skipReason() const { return m_skipReason; }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

    // True when the file system could be made read-only.
    bool remountReadOnly() const
    {
        return ::mount(nullptr, QFile::encodeName(m_dir.path()).constData(), nullptr,
                       MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

    // Writes octets to a new file until the file system is full; the number written.
    qint64 fill(const QString &name) const
    {
        QFile filler(filePath(name));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return 0;
        const QByteArray block(512, 'f');
        qint64 total = 0;
        for (qint64 written = 0; (written = filler.write(block)) > 0;)
            total += written;
        return total;
    }

private:
    QTemporaryDir m_dir;
    QString m_skipReason;
};
