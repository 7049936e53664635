#include "radio/PortSelection.h"

#include "serial/DeviceRegistry.h"

#include <QFile>
#include <sys/stat.h>

namespace {
bool isCharacterDevice(const QString &path)
{
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISCHR(info.st_mode);
}
} // namespace

PortChoice choosePort(const QString &text)
{
    static const QString comNames[] = {QStringLiteral("COM1"), QStringLiteral("COM2"),
                                       QStringLiteral("COM3"), QStringLiteral("COM4")};
    PortChoice choice;
    for (int i = 0; i < 4; ++i) {
        if (text == comNames[i]) {
            choice.kind = PortChoice::Kind::ComPort;
            choice.port = static_cast<TPortType>(COM1 + i);
            return choice;
        }
    }
    if (serial::isRegisteredDevice(text) ||
        (text.startsWith(QLatin1Char('/')) && isCharacterDevice(text))) {
        choice.kind = PortChoice::Kind::Device;
        choice.devicePath = text;
    }
    return choice;
}

void applyPortChoice(TComPort &port, const PortChoice &choice)
{
    switch (choice.kind) {
    case PortChoice::Kind::Unchanged:
        break;
    case PortChoice::Kind::ComPort:
        // The device path overrides the COM mapping, so it is cleared first.
        port.setDevicePath(QString());
        port.setPort(choice.port);
        break;
    case PortChoice::Kind::Device:
        port.setDevicePath(choice.devicePath);
        break;
    }
}
