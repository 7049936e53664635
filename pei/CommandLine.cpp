#include "pei/CommandLine.h"

QByteArray typedCommand(const QString &text)
{
    QByteArray command;
    for (const QChar c : text.trimmed()) {
        const char16_t code = c.unicode();
        if ((code >= 0x20 && code < 0x7F) || (code >= 0xA0 && code <= 0xFF))
            command.append(char(code));
    }
    return command.trimmed().isEmpty() ? QByteArray() : command.trimmed() + '\r';
}
