#include "serial/OpenFailure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace serial {

namespace {

QString groupName(gid_t gid)
{
    long size = ::sysconf(_SC_GETGR_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 4096);
    group entry{};
    group *found = nullptr;
    while (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == ERANGE)
        buffer.resize(buffer.size() * 2);
    return found ? QString::fromLocal8Bit(found->gr_name) : QString::number(gid);
}

// The first other process with a descriptor on the device; /proc shows
// only the processes this user may look into.
void findHolder(const QString &path, OpenFailure &failure)
{
    const QString target = QFileInfo(path).canonicalFilePath();
    if (target.isEmpty())
        return;
    const qint64 self = ::getpid();
    const QStringList pids =
        QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &name : pids) {
        bool isPid = false;
        const qint64 pid = name.toLongLong(&isPid);
        if (!isPid || pid == self)
            continue;
        const QString fdDir = QStringLiteral("/proc/%1/fd").arg(pid);
        const QStringList fds = QDir(fdDir).entryList(QDir::System | QDir::NoDotAndDotDot);
        for (const QString &fd : fds) {
            if (QFile::symLinkTarget(fdDir + QLatin1Char('/') + fd) != target)
                continue;
            QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
            failure.holder = comm.open(QIODevice::ReadOnly)
                                 ? QString::fromLocal8Bit(comm.readLine().trimmed())
                                 : QString();
            failure.holderPid = pid;
            return;
        }
    }
}

} // namespace

OpenFailure diagnoseOpenFailure(const QString &path, int error)
{
    OpenFailure failure;
    failure.error = error;
    failure.systemMessage = QString::fromLocal8Bit(std::strerror(error));
    struct stat info
    {
    };
    const bool exists = ::stat(QFile::encodeName(path).constData(), &info) == 0;
    // A path with nothing behind it is missing whatever the open said; a
    // name that is no path (a registered device) is judged by the error.
    if (error == ENOENT || error == ENODEV || error == ENXIO ||
        (!exists && path.startsWith(QLatin1Char('/')))) {
        failure.reason = OpenFailure::Reason::Missing;
    } else if (error == EACCES || error == EPERM) {
        failure.reason = OpenFailure::Reason::PermissionDenied;
        failure.group = exists ? groupName(info.st_gid) : QString();
    } else if (error == EBUSY || error == EWOULDBLOCK) {
        failure.reason = OpenFailure::Reason::InUse;
        findHolder(path, failure);
    }
    return failure;
}

bool isDeviceLoss(int error)
{
    return error == EIO || error == ENXIO || error == ENODEV || error == EBADF || error == EPIPE;
}

} // namespace serial
