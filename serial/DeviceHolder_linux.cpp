#include "serial/DeviceHolder.h"

#include "serial/Syscall_linux.h"
#include "serial/UniqueFd_linux.h"

#include <QFile>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace serial {

namespace {

struct DirCloser
{
    void operator()(DIR *dir) const { ::closedir(dir); }
};
using UniqueDir = std::unique_ptr<DIR, DirCloser>;

// The process id a /proc entry stands for, 0 for other entries.
pid_t processIdOf(const char *name)
{
    char *end = nullptr;
    const long pid = std::strtol(name, &end, 10);
    return *name != '\0' && *end == '\0' && pid > 0 ? static_cast<pid_t>(pid) : 0;
}

// True when one of the process's descriptors is the character device.
bool holds(pid_t pid, dev_t device)
{
    char fdPath[64];
    std::snprintf(fdPath, sizeof fdPath, "/proc/%ld/fd", static_cast<long>(pid));
    // Gone meanwhile, or not this user's to look into.
    UniqueFd fdDir(
        retryOnEintr([&] { return ::open(fdPath, O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
    if (!fdDir.valid())
        return false;
    const int dirFd = fdDir.get();
    UniqueDir entries(::fdopendir(dirFd));
    if (!entries)
        return false;
    fdDir.release(); // closedir closes it
    while (const dirent *entry = ::readdir(entries.get())) {
        if (entry->d_type != DT_LNK)
            continue; // "." and ".."
        // The entry is a link to the open file. Its text is cheap to read
        // and tells device nodes from sockets, pipes and files, whose stat
        // may have to ask a slow file system.
        char target[16];
        const ssize_t length = ::readlinkat(dirFd, entry->d_name, target, sizeof target);
        if (length < 5 || std::memcmp(target, "/dev/", 5) != 0)
            continue;
        struct stat info
        {
        };
        if (::fstatat(dirFd, entry->d_name, &info, 0) == 0 && S_ISCHR(info.st_mode) &&
            info.st_rdev == device)
            return true;
    }
    return false;
}

QString programName(pid_t pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    return comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readLine().trimmed())
                                          : QString();
}

} // namespace

std::optional<DeviceHolder> findDeviceHolder(dev_t device)
{
    UniqueDir proc(::opendir("/proc"));
    if (!proc)
        return std::nullopt;
    const pid_t self = ::getpid();
    while (const dirent *entry = ::readdir(proc.get())) {
        const pid_t pid = processIdOf(entry->d_name);
        if (pid != 0 && pid != self && holds(pid, device))
            return DeviceHolder{pid, programName(pid)};
    }
    return std::nullopt;
}

std::optional<DeviceHolder> findDeviceHolder(const QString &path)
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISCHR(info.st_mode))
        return std::nullopt;
    return findDeviceHolder(info.st_rdev);
}

} // namespace serial
