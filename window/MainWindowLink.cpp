// The main window's link test: the receiving radio's session beside the
// window's own, the receiver panel, and what the two radios share: the log
// panes and the series panel.
#include "window/Corvane_main.h"

#include "controls/Getdata.h"
#include "controls/LogView.h"
#include "serial/Comms.h"
#include "session/LinkTest.h"
#include "window/ActivityLog.h"
#include "window/Application.h"
#include "window/ModalBox.h"
#include "window/ReceiverPanel.h"
#include "window/SeriesPanel.h"

namespace {

// A radio's name in the log panes: its path without "/dev/".
QByteArray markFor(const QString &path)
{
    const QString devices = QStringLiteral("/dev/");
    return ' ' + (path.startsWith(devices) ? path.mid(devices.size()) : path).toLatin1();
}

} // namespace

void TForm1::buildReceiver()
{
    m_receiverSession = new RadioSession(this);
    m_link = new LinkTest(*m_session, *m_receiverSession, this);
    ReceiverPanel1 = new ReceiverPanel(*m_receiverSession, SeriesPanel1);
    ReceiverPanel1->setObjectName(QStringLiteral("ReceiverPanel1"));
    SeriesPanel1->putOnTop(ReceiverPanel1);
    SeriesPanel1->setLinkResults(&m_link->results());
    followReceiver();
}

void TForm1::followReceiver()
{
    RadioSession *receiver = m_receiverSession;
    connect(receiver, &RadioSession::messageEntry, this,
            [this](const QByteArray &entry) { appendLogEntry(MessagesPad_Memo, entry); });
    connect(receiver, &RadioSession::peiLogEntry, this,
            [this](const QByteArray &entry) { appendLogEntry(CommandLogger_Memo, entry); });
    connect(receiver, &RadioSession::handlerFailed, this, &TApplication::ShowException);
    connect(receiver, &RadioSession::openFailed, this, &TForm1::showOpenError);
    connect(receiver, &RadioSession::readyTimeout, this,
            [this](const QString &text) { showAbortBox(this, text); });
    connect(receiver, &RadioSession::portLost, this, &TForm1::showPortLost);
    connect(m_link, &LinkTest::note, this, &TForm1::AddMessage);
    connect(ReceiverPanel1, &ReceiverPanel::choiceChanged, this, &TForm1::showLinkRows);
}

bool TForm1::receiverConnected() const
{
    return m_receiverSession->ComPort->Connected();
}

void TForm1::markRadios(const QString &senderPath)
{
    const QString receiverPath = ReceiverPanel1->receiverPath();
    const bool twoRadios = !receiverPath.isEmpty();
    m_session->setLogMark(twoRadios ? markFor(senderPath) : QByteArray());
    m_receiverSession->setLogMark(twoRadios ? markFor(receiverPath) : QByteArray());
}

void TForm1::connectReceiver()
{
    const QString path = ReceiverPanel1->receiverPath();
    if (path.isEmpty() || !ComPort->Connected())
        return;
    ReceiverPanel1->setChoiceEnabled(false);
    m_receiverSession->setProfile(ReceiverPanel1->profile());
    m_receiverSession->Line = ReceiverPanel1->line();
    m_receiverSession->runGuarded([this, path] { m_receiverSession->connectTo(path); });
}

void TForm1::registerReceiver(const QByteArray &protocolIdText)
{
    // Under the sender's protocol identifier, so that its messages reach it.
    if (receiverConnected())
        m_receiverSession->runGuarded(
            [this, protocolIdText] { m_receiverSession->registerApplication(protocolIdText); });
}

void TForm1::startLinkTest()
{
    const QString refusal = m_link->start(RepititionsEdit->Value(), DelayEdit->Value(), false,
                                          ProtocolIdentifierEdit->boundedText().toLatin1());
    if (!refusal.isEmpty())
        AddMessage(": Link test not started: " + refusal.toLatin1() + '.');
    showLinkRows();
}

void TForm1::disconnectReceiver()
{
    m_link->end();
    if (receiverConnected())
        m_receiverSession->runGuarded([this] { m_receiverSession->disconnectRadio(); });
}

void TForm1::showLinkRows()
{
    SeriesPanel1->setLinkRowsVisible(!ReceiverPanel1->receiverPath().isEmpty() ||
                                     m_link->results().started());
}
