#pragma once

#include <QString>

#include <stdexcept>

namespace files {

// The system's text for an errno value, e.g. "No space left on device".
QString systemReason(int errorNumber);

// A file that could not be read, written or removed. The message names the
// file and gives the system's reason:
//   Cannot write file "/x/run.csv": No space left on device
// what() holds the message in UTF-8; message() gives it as text.
class FileError : public std::runtime_error
{
public:
    enum class Operation { Read, Write, Remove };

    FileError(Operation operation, const QString &path, int errorNumber);

    Operation operation() const { return m_operation; }
    const QString &path() const { return m_path; }
    int errorNumber() const { return m_errorNumber; }
    QString reason() const { return systemReason(m_errorNumber); }
    QString message() const { return QString::fromUtf8(what()); }

private:
    Operation m_operation;
    QString m_path;
    int m_errorNumber;
};

} // namespace files
