#include "ports/PortSelection.h"

#include "serial/DeviceRegistry.h"

#include <QFile>
#include <cerrno>
#include <sys/stat.h>

namespace {
// 0 for an existing character device, otherwise why the path is not one.
int characterDeviceError(const QString &path)
{
    if (!path.startsWith(QLatin1Char('/')))
        return ENOENT;
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return errno;
    return S_ISCHR(info.st_mode) ? 0 : ENOTTY;
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
    choice.error = serial::isRegisteredDevice(text) ? 0 : characterDeviceError(text);
    if (choice.error == 0) {
        choice.kind = PortChoice::Kind::Device;
        choice.devicePath = text;
    }
    return choice;
}

void applyPortChoice(TComPort &port, const PortChoice &choice)
{
    switch (choice.kind) {
    case PortChoice::Kind::Invalid:
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
