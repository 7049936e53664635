// The session's port beyond the dialogue with the radio: opening and
// closing it, losing and getting back the device, the silent probe and the
// command line.
#include "session/RadioSession.h"

#include "ports/PortMessages.h"
#include "ports/PortSelection.h"
#include "serial/Comms.h"
#include "serial/OpenFailure.h"
#include "session/ReconnectWatch.h"
#include "session/Timer.h"

#include <QTimer>
#include <cstring>

namespace {

QString systemMessage(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

void RadioSession::runGuarded(const std::function<void()> &action)
{
    try {
        action();
    } catch (const EComPort &error) {
        if (!handlePortError(error)) {
            afterHandler();
            throw;
        }
    }
    afterHandler();
}

void RadioSession::afterHandler()
{
    registerAgainIfDue();
    emit controlsMayHaveChanged();
}

void RadioSession::registerAgainIfDue()
{
    if (m_reRegisterIdentifier.isEmpty() || RadioState != rsReady || !m_probeAnswered)
        return;
    const QByteArray identifier = std::exchange(m_reRegisterIdentifier, QByteArray());
    addMessage(PortMessages::registeringAgain(QString::fromLatin1(identifier)));
    emit registeringAgain(QString::fromLatin1(identifier));
    runGuarded([this, identifier] { registerApplication(identifier); });
}

void RadioSession::stopWaitingForDevice()
{
    if (!Reconnect->isWaiting())
        return;
    Reconnect->stop();
    addMessage(PortMessages::stoppedWaiting());
}

void RadioSession::disconnectRadio()
{
    stopWaitingForDevice();
    m_reRegisterIdentifier.clear();
    m_probeAnswered = false;
    stopPortActivity();
    forgetConnection();
    if (!ComPort->Connected())
        return;
    // Bytes still held are logged, not lost; nothing more is read or answered.
    if (const std::optional<FramedResponse> rest = RxBuffer.flush())
        logAndQueue(*rest);
    m_responseQueue.clear();
    QString lost;
    try {
        ComPort->SetDTR(false);
        ComPort->SetRTS(false);
    } catch (const EComPort &error) {
        if (!serial::isDeviceLoss(error.code()))
            throw;
        // The user is done with it: closed quietly, without a box.
        m_portLost = true;
        lost = systemMessage(error.code());
    }
    try {
        ComPort->Close();
    } catch (const EComPort &) {
        // Nothing more can be released on a device that is gone.
    }
    if (!lost.isEmpty())
        addMessage(PortMessages::connectionLost(m_connectedPath, lost));
    emit modemLinesChanged();
}

void RadioSession::stopPortActivity()
{
    DataTimer->setEnabled(false);
    m_quietLine->stop();
    CTS->setEnabled(false);
    stopSeries();
    ProbeTimer->stop();
}

int RadioSession::openPort(const QString &path)
{
    const PortChoice choice = choosePort(path);
    int error = choice.error;
    try {
        // Opening closes the port anyway; closing first keeps the selection
        // setters from reopening the old device on the way to the new one.
        ComPort->Close();
    } catch (const EComPort &) {
        // The old device went away: nothing of it is left to close.
    }
    if (choice.kind != PortChoice::Kind::Invalid) {
        emit openingPort(path);
        try {
            applyPortChoice(*ComPort, choice);
            applyLineSettings(*ComPort, Line);
            ComPort->Open();
        } catch (const EComPort &failure) {
            error = failure.code() != 0 ? failure.code() : EIO;
        }
    }
    if (error != 0) {
        stopPortActivity();
        return error;
    }
    m_portLost = false;
    m_connectedPath = path;
    return 0;
}

void RadioSession::startProbe()
{
    startDialectSession();
    addMessage(": Trying to connect to radio.");
    ComPort->SetDTR(true);
    ComPort->SetRTS(true);
    DataTimer->setEnabled(true);
    RadioState = rsProbing;
    enqueue(PeiCommand::Kind::Probe, "AT\r");
    ProbeTimer->start();
    emit modemLinesChanged();
}

bool RadioSession::handlePortError(const EComPort &error)
{
    if (!serial::isDeviceLoss(error.code()))
        return false;
    // One loss, one report: later failures of the same loss stay quiet.
    if (!m_portLost)
        onPortLost(error);
    return true;
}

void RadioSession::onPortLost(const EComPort &error)
{
    m_portLost = true;
    m_probeAnswered = false;
    const bool wasRegistered = RadioState == rsRegistered || RadioState == rsSending;
    stopPortActivity();
    forgetConnection();
    if (const std::optional<FramedResponse> rest = RxBuffer.flush())
        logAndQueue(*rest);
    m_responseQueue.clear();
    try {
        ComPort->Close();
    } catch (const EComPort &) {
        // Nothing more can be released on a device that is gone.
    }
    addMessage(PortMessages::connectionLost(m_connectedPath, systemMessage(error.code())));
    emit sessionEnded();
    if (m_reconnectEnabled) {
        m_reRegisterIdentifier = wasRegistered ? m_registrationIdentifier : QByteArray();
        // COM1..COM4 are watched as the devices they name.
        const QString device = ComPort->DeviceName();
        Reconnect->start(device, m_connectedDevice);
        addMessage(PortMessages::waitingForDevice(m_connectedPath));
        emit waitingForDevice();
    }
    emit portLost(QString::fromLatin1(error.what()));
}

bool RadioSession::reopenLostPort(const QString &device)
{
    const QString path = m_connectedPath;
    if (openPort(device) != 0)
        return false; // not ready yet (permissions come a moment later): keep waiting
    m_connectedPath = path;
    addMessage(PortMessages::deviceBack(device));
    runTimerHandler([this] { startProbe(); });
    return true;
}
