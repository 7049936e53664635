#pragma once

#include "ports/DeviceAccess.h"
#include "serial/OpenFailure.h"

#include <QByteArray>
#include <QString>

// The texts the window shows about its port: the detail of the open error
// box and the message window's lines about losing, waiting for and getting
// back the radio. Message window lines start with ": " behind the timestamp.
namespace PortMessages {

// The text of the box that says the port could not be opened, for a port in
// use by another program or when the reason is not known.
QString openFailureText();
// The text of the box that says the port at `path` could not be opened: the
// reason first (not present, permission denied, not a serial device), or
// openFailureText() for a busy port and an unknown reason.
QString openFailureText(const QString &path, const serial::OpenFailure &failure);
// What to do about it, or who holds the port. For a refused device the node
// is looked at: the group to join when joining it lets the user in,
// otherwise who may open it.
QString openFailureDetail(const QString &path, const serial::OpenFailure &failure);
// The same with the refused device's access as given; nothing for a refused
// device whose access is not known.
QString openFailureDetail(const QString &path, const serial::OpenFailure &failure,
                          const DeviceAccess &access);

QByteArray connectionLost(const QString &path, const QString &reason);
QByteArray waitingForDevice(const QString &path);
QByteArray deviceBack(const QString &path);
QByteArray stoppedWaiting();
QByteArray registeringAgain(const QString &protocolIdentifier);
// The probe got no answer in time; what to check, with the line in use.
QByteArray silentProbe(int seconds, const QString &lineSummary);
// A typed command found the radio not ready (CTS off).
QByteArray commandNotSent();

} // namespace PortMessages
