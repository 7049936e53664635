#pragma once

#include "serial/OpenFailure.h"

#include <QByteArray>
#include <QString>

// The texts the window shows about its port: the detail of the open error
// box and the message window's lines about losing, waiting for and getting
// back the radio. Message window lines start with ": " behind the timestamp.
namespace PortMessages {

// The text of the box that says the port could not be opened.
QString openFailureText();
// Names the path and the reason; for a refused device the command that
// lets the user in.
QString openFailureDetail(const QString &path, const serial::OpenFailure &failure);

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
