#pragma once

#include <QString>

#include <stdexcept>

// Raised when a settings file cannot be written; the message names the file,
// and gives the system's reason when there is one:
//   Unable to write to /home/u/.config/corvane/corvane.set: No space left on device
class EFormState : public std::runtime_error
{
public:
    explicit EFormState(const QString &fileName, const QString &reason = QString())
        : std::runtime_error(messageOf(fileName, reason).toLatin1().toStdString()),
          m_message(messageOf(fileName, reason))
    {}

    // The message as text: what() holds it in Latin-1, where a file name may
    // lose characters.
    const QString &message() const { return m_message; }
    // The sentence that tells the user, for a file that could not be written.
    QString notSavedText() const
    {
        return QStringLiteral("The settings were not saved: %1. The settings file is as it was.")
            .arg(m_message);
    }

private:
    static QString messageOf(const QString &fileName, const QString &reason)
    {
        const QString message = QStringLiteral("Unable to write to %1").arg(fileName);
        return reason.isEmpty() ? message : message + QStringLiteral(": ") + reason;
    }

    QString m_message;
};
