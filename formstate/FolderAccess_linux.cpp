#include "formstate/FolderAccess.h"

#include <QFile>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool statusOf(const QByteArray &path, struct stat &status)
{
    int result = 0;
    do {
        result = ::stat(path.constData(), &status);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

bool mayAccess(const QByteArray &path, int mode)
{
    int result = 0;
    do {
        result = ::access(path.constData(), mode);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

bool isFolder(const QByteArray &path)
{
    struct stat status
    {
    };
    return statusOf(path, status) && S_ISDIR(status.st_mode);
}

} // namespace

bool DirectoryExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QByteArray nativePath = QFile::encodeName(path);
    return isFolder(nativePath) && mayAccess(nativePath, X_OK);
}

namespace formstate {

bool isFolderWritable(const QString &path)
{
    const QByteArray nativePath = QFile::encodeName(path);
    struct stat status
    {
    };
    if (path.isEmpty() || !statusOf(nativePath, status) || !S_ISDIR(status.st_mode))
        return false;
    if ((status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return false;
    // Refused on a read-only file system as well as for lack of permission.
    return mayAccess(nativePath, W_OK);
}

} // namespace formstate
