#include "files/FileError.h"

#include <cstring>

namespace files {

namespace {

// strerror_r comes in two forms; either one yields the text.
[[maybe_unused]] const char *reasonText(int result, const char *buffer)
{
    return result == 0 ? buffer : "Unknown error";
}

[[maybe_unused]] const char *reasonText(const char *result, const char *)
{
    return result;
}

QString verbOf(FileError::Operation operation)
{
    switch (operation) {
    case FileError::Operation::Read:
        return QStringLiteral("read");
    case FileError::Operation::Write:
        return QStringLiteral("write");
    case FileError::Operation::Remove:
        return QStringLiteral("remove");
    }
    return {};
}

QString messageOf(FileError::Operation operation, const QString &path, int errorNumber)
{
    return QStringLiteral("Cannot %1 file \"%2\": %3")
        .arg(verbOf(operation), path, systemReason(errorNumber));
}

} // namespace

QString systemReason(int errorNumber)
{
    char buffer[256] = {};
    return QString::fromLocal8Bit(
        reasonText(::strerror_r(errorNumber, buffer, sizeof buffer), buffer));
}

FileError::FileError(Operation operation, const QString &path, int errorNumber)
    : std::runtime_error(messageOf(operation, path, errorNumber).toStdString()),
      m_operation(operation), m_path(path), m_errorNumber(errorNumber)
{}

} // namespace files
