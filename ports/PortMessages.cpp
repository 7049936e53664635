#include "ports/PortMessages.h"

#include <QStringList>

#include <cerrno>
#include <sys/stat.h>

namespace PortMessages {

namespace {

// Message window text is 8-bit: a path outside Latin-1 shows its "?".
QByteArray line(const QString &text)
{
    return text.toLatin1();
}

using Reason = serial::OpenFailure::Reason;

// A file or a folder where a serial device was expected.
bool isNotSerial(const serial::OpenFailure &failure)
{
    return failure.reason == Reason::Other && (failure.error == ENOTTY || failure.error == EISDIR);
}

bool allowsReadWrite(int mode, int readBit, int writeBit)
{
    return (mode & readBit) != 0 && (mode & writeBit) != 0;
}

// "a", "a and b", "a, b and c".
QString listed(const QStringList &parts)
{
    if (parts.size() < 2)
        return parts.join(QString());
    return parts.mid(0, parts.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") +
           parts.last();
}

// The superuser's group, which nobody should join to reach a device.
bool isSuperuserGroup(const DeviceAccess &access)
{
    return access.groupId == 0 || access.group == QLatin1String("root");
}

// The group to join when joining it lets the user in, otherwise who may open
// the device.
QString refusalDetail(const QString &path, const DeviceAccess &access)
{
    if (!access.known)
        return {};
    const bool ownerMay = allowsReadWrite(access.mode, S_IRUSR, S_IWUSR);
    const bool groupMay = allowsReadWrite(access.mode, S_IRGRP, S_IWGRP);
    if (allowsReadWrite(access.mode, S_IROTH, S_IWOTH))
        return QStringLiteral("Its permissions let everyone open %1; the system refused all the "
                              "same (a security policy, or a file system mounted without "
                              "devices).")
            .arg(path);
    if (groupMay && !isSuperuserGroup(access))
        return QStringLiteral("The device belongs to the group \"%1\"; add yourself to it with\n\n"
                              "    sudo usermod -aG %1 \"$USER\"\n\n"
                              "then log out and in again.")
            .arg(access.group);
    QStringList who;
    if (ownerMay && access.ownerId != 0)
        who << QStringLiteral("the user %1").arg(access.owner);
    who << QStringLiteral("root");
    if (groupMay)
        who << QStringLiteral("the members of the group \"%1\"").arg(access.group);
    return QStringLiteral("Only %1 may open %2.").arg(listed(who), path);
}

} // namespace

QString openFailureText()
{
    return QStringLiteral("An Error Has Occurred whilst opening the Serial Port\r\n"
                          "Another application may be utilising that COM port !!!!!'");
}

QString openFailureText(const QString &path, const serial::OpenFailure &failure)
{
    switch (failure.reason) {
    case Reason::Missing:
        return QStringLiteral("Cannot open %1: the device is not present.").arg(path);
    case Reason::PermissionDenied:
        return QStringLiteral("Cannot open %1: permission denied.").arg(path);
    case Reason::InUse:
        break;
    case Reason::Other:
        if (isNotSerial(failure))
            return QStringLiteral("Cannot open %1: it is not a serial device.").arg(path);
        break;
    }
    return openFailureText();
}

QString openFailureDetail(const QString &path, const serial::OpenFailure &failure)
{
    return openFailureDetail(path, failure,
                             failure.reason == Reason::PermissionDenied ? deviceAccessOf(path)
                                                                        : DeviceAccess());
}

QString openFailureDetail(const QString &path, const serial::OpenFailure &failure,
                          const DeviceAccess &access)
{
    switch (failure.reason) {
    case Reason::PermissionDenied:
        return refusalDetail(path, access);
    case Reason::InUse:
        if (failure.holderPid != 0)
            return QStringLiteral("%1 is in use by %2 (pid %3).")
                .arg(path, failure.holder)
                .arg(failure.holderPid);
        return QStringLiteral("%1 is in use by another program.").arg(path);
    case Reason::Missing:
        return QStringLiteral("Check that the radio is plugged in and switched on, then choose "
                              "its port from the list.");
    case Reason::Other:
        break;
    }
    if (isNotSerial(failure))
        return QStringLiteral("Choose the radio's port from the list, or type the path of a "
                              "serial device such as /dev/ttyUSB0.");
    return QStringLiteral("%1: %2.").arg(path, failure.systemMessage);
}

QByteArray connectionLost(const QString &path, const QString &reason)
{
    return line(QStringLiteral(": Radio connection lost (%1: %2).").arg(path, reason));
}

QByteArray waitingForDevice(const QString &path)
{
    return line(QStringLiteral(": Reconnect: waiting for %1 to come back.").arg(path));
}

QByteArray deviceBack(const QString &path)
{
    return line(QStringLiteral(": Reconnect: %1 is back, reopening it.").arg(path));
}

QByteArray stoppedWaiting()
{
    return QByteArrayLiteral(": Reconnect: stopped waiting for the radio.");
}

QByteArray registeringAgain(const QString &protocolIdentifier)
{
    return line(QStringLiteral(": Reconnect: registering again with protocol identifier %1.")
                    .arg(protocolIdentifier));
}

QByteArray silentProbe(int seconds, const QString &lineSummary)
{
    return line(QStringLiteral(": No answer from the radio %1 s after Connect. Check the cable, "
                               "the baud rate (the line is set to %2) and that the radio is "
                               "switched on.")
                    .arg(seconds)
                    .arg(lineSummary));
}

QByteArray commandNotSent()
{
    return QByteArrayLiteral(": The radio is not ready (CTS is off); the command was not sent.");
}

} // namespace PortMessages
