#include "ports/DeviceAccess.h"

#include <QFile>

#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The name the system's database gives an id, or the id as a number. `find`
// is getpwuid_r or getgrgid_r, which ask for a larger buffer with ERANGE.
template <typename Entry, typename Id, typename Find>
QString nameOf(Id id, Find find, char *Entry::*name, int sizeHint)
{
    const long hinted = ::sysconf(sizeHint);
    std::vector<char> buffer(hinted > 0 ? static_cast<size_t>(hinted) : 4096);
    Entry entry{};
    Entry *found = nullptr;
    int error = 0;
    while ((error = find(id, &entry, buffer.data(), buffer.size(), &found)) == ERANGE ||
           error == EINTR) {
        if (error == ERANGE)
            buffer.resize(buffer.size() * 2);
    }
    return found ? QString::fromLocal8Bit(found->*name) : QString::number(id);
}

} // namespace

DeviceAccess deviceAccessOf(const QString &path)
{
    struct stat status
    {
    };
    int result = 0;
    do {
        result = ::stat(QFile::encodeName(path).constData(), &status);
    } while (result != 0 && errno == EINTR);
    if (result != 0)
        return {};
    DeviceAccess access;
    access.known = true;
    access.ownerId = status.st_uid;
    access.owner =
        nameOf<passwd>(status.st_uid, ::getpwuid_r, &passwd::pw_name, _SC_GETPW_R_SIZE_MAX);
    access.groupId = status.st_gid;
    access.group =
        nameOf<group>(status.st_gid, ::getgrgid_r, &group::gr_name, _SC_GETGR_R_SIZE_MAX);
    access.mode = static_cast<int>(status.st_mode & 07777);
    return access;
}
