#pragma once

#include <QString>

#include <stdexcept>

// Raised when a settings file cannot be written; the message names the file.
// What was written before the failure stays in the file.
class EFormState : public std::runtime_error
{
public:
    explicit EFormState(const QString &fileName)
        : std::runtime_error(
              QStringLiteral("Unable to write to %1").arg(fileName).toLatin1().toStdString())
    {}
};
