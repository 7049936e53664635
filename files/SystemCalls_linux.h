#pragma once

#include "serial/UniqueFd_linux.h"

#include <QByteArray>
#include <QByteArrayView>

#include <sys/stat.h>
#include <sys/types.h>

// The system calls under the file classes, each checked and retried after
// EINTR. Each returns 0 or the errno value of the failure, so that the caller
// can name the file the user knows in its message.
namespace files::sys {

using serial::UniqueFd;

int openFile(const QByteArray &path, int flags, mode_t mode, UniqueFd &opened);
int statusOf(const QByteArray &path, struct stat &status);
int linkStatusOf(const QByteArray &path, struct stat &status);
// Every octet, continuing after short writes.
int writeAll(int fd, QByteArrayView bytes);
int syncFile(int fd);
// Reads up to `size` octets from `offset` on; `got` is 0 at the file's end.
int readAt(int fd, off_t offset, char *buffer, size_t size, ssize_t &got);
// Closes and reports the result; the descriptor is released either way.
int closeFile(UniqueFd &fd);
int removeFile(const QByteArray &path);
int renameFile(const QByteArray &from, const QByteArray &to);
int truncateFile(int fd, off_t size);
int setMode(int fd, mode_t mode);

} // namespace files::sys
