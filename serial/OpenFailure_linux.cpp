#include "serial/OpenFailure.h"

#include "serial/DeviceHolder.h"

#include <QFile>
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
        if (const std::optional<DeviceHolder> holder = findDeviceHolder(path)) {
            failure.holder = holder->program;
            failure.holderPid = holder->pid;
        }
    }
    return failure;
}

bool isDeviceLoss(int error)
{
    return error == EIO || error == ENXIO || error == ENODEV || error == EBADF || error == EPIPE;
}

} // namespace serial
