#pragma once

#include "tests/formstate/TestFiles.h"

#include <QDir>
#include <QFile>

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

// File permissions as an ordinary user sees them, for the calling thread
// only: the superuser, who passes every permission check, takes the file
// system identity of "nobody" for the object's lifetime. Other users need no
// change.
class OtherUser
{
public:
    static constexpr uid_t Nobody = 65534;

    OtherUser() : m_wasSuperuser(::geteuid() == 0)
    {
        if (m_wasSuperuser)
            ::setfsuid(Nobody);
    }
    ~OtherUser()
    {
        if (m_wasSuperuser)
            ::setfsuid(0);
    }
    OtherUser(const OtherUser &) = delete;
    OtherUser &operator=(const OtherUser &) = delete;

    // True when permissions now apply: setfsuid() reports the identity in
    // force when asked to change to an impossible one.
    static bool permissionsApply() { return ::setfsuid(static_cast<uid_t>(-1)) != 0; }

private:
    bool m_wasSuperuser;
};

inline bool setMode(const QString &path, mode_t mode)
{
    return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

// A file "locked/corvane.set" that others may write, in a folder that takes no
// new file, under a folder that others may enter; its path, or empty when it
// could not be made.
inline QString writableFileInLockedFolder(const QString &parent, const QByteArray &content)
{
    const QString locked = parent + QStringLiteral("/locked");
    const QString path = locked + QStringLiteral("/corvane.set");
    if (!setMode(parent, 0755) || !QDir().mkdir(locked))
        return {};
    writeFileContent(path, content);
    return setMode(path, 0666) && setMode(locked, 0555) ? path : QString();
}
