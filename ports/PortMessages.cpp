#include "ports/PortMessages.h"

namespace PortMessages {

namespace {

// Message window text is 8-bit: a path outside Latin-1 shows its "?".
QByteArray line(const QString &text)
{
    return text.toLatin1();
}

} // namespace

QString openFailureText()
{
    return QStringLiteral("An Error Has Occurred whilst opening the Serial Port\r\n"
                          "Another application may be utilising that COM port !!!!!'");
}

QString openFailureDetail(const QString &path, const serial::OpenFailure &failure)
{
    using Reason = serial::OpenFailure::Reason;
    switch (failure.reason) {
    case Reason::PermissionDenied:
        return QStringLiteral("%1: permission denied. The device belongs to the group \"%2\"; "
                              "add yourself to it with\n\n"
                              "    sudo usermod -aG %2 \"$USER\"\n\n"
                              "then log out and in again.")
            .arg(path, failure.group);
    case Reason::InUse:
        if (failure.holderPid != 0)
            return QStringLiteral("%1 is in use by %2 (pid %3).")
                .arg(path, failure.holder)
                .arg(failure.holderPid);
        return QStringLiteral("%1 is in use by another program.").arg(path);
    case Reason::Missing:
        return QStringLiteral("%1: The device is not present.").arg(path);
    case Reason::Other:
        break;
    }
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
