#pragma once

#include <QString>

// True when the path can be entered as a folder. The process's current
// folder is not changed by the test.
bool DirectoryExists(const QString &path);

namespace formstate {

// True when files can be made in the folder: it is a folder on a writable
// file system, this process may write there, and it carries at least one
// write permission (a folder marked read-only for everyone is left alone
// even by the superuser).
bool isFolderWritable(const QString &path);

} // namespace formstate
