// The main window's port beyond the dialogue with the radio: the port list,
// the line settings, why an open failed, losing and getting back the
// device, the modem lines, the silent probe and the command line.
#include "radio/Corvane_main.h"

#include "controls/Getdata.h"
#include "formstate/OnlyOne.h"
#include "formstate/ProfileFile.h"
#include "formstate/SettingsLocation.h"
#include "radio/Application.h"
#include "radio/CommandLine.h"
#include "radio/LineDialog.h"
#include "radio/LineStatusStrip.h"
#include "radio/ModalBox.h"
#include "radio/PortComboBox.h"
#include "radio/PortMessages.h"
#include "radio/PortSelection.h"
#include "radio/PortSelector.h"
#include "radio/ReconnectWatch.h"
#include "radio/Timer.h"
#include "serial/Comms.h"
#include "serial/DeviceRegistry.h"
#include "serial/OpenFailure.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cstring>

namespace {

const QString simName = QStringLiteral("SIM");
const QString typedPathKey = QStringLiteral("TypedPath");

QString systemMessage(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// A stored typed path is used only when it looks like one: absolute, one
// line, printable.
bool isPlausiblePath(const QString &path)
{
    if (!path.startsWith(QLatin1Char('/')) || path.size() > 1024)
        return false;
    for (const QChar c : path)
        if (!c.isPrint())
            return false;
    return true;
}

} // namespace

void TForm1::buildPortControls()
{
    auto *windowLayout = static_cast<QVBoxLayout *>(layout());

    // Right below the buttons: the command line.
    CommandPanel = new QWidget(this);
    CommandPanel->setObjectName(QStringLiteral("CommandPanel"));
    auto *commandRow = new QHBoxLayout(CommandPanel);
    commandRow->setContentsMargins(8, 0, 8, 4);
    CommandLabel = new QLabel(QStringLiteral("AT command"), CommandPanel);
    CommandLabel->setObjectName(QStringLiteral("CommandLabel"));
    CommandLine_Edit = new THistComboBox(CommandPanel);
    CommandLine_Edit->setObjectName(QStringLiteral("CommandLine_Edit"));
    CommandLine_Edit->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    CommandLine_Edit->setToolTip(
        QStringLiteral("Type any AT command, such as AT+CSQ? or AT+CREG?, and press Enter: it is "
                       "sent with a carriage return, and the answer shows in the PEI logger "
                       "window"));
    CommandLine_Edit->lineEdit()->setPlaceholderText(
        QStringLiteral("AT+CNUMF?, AT+CSQ?, AT+CREG? ... then Enter"));
    CommandLine_Edit->setEnabled(false);
    commandRow->addWidget(CommandLabel);
    commandRow->addWidget(CommandLine_Edit, 1);
    windowLayout->insertWidget(1, CommandPanel);

    // At the bottom: the port's line, Reconnect, and the modem lines.
    PortStatusBar = new QWidget(this);
    PortStatusBar->setObjectName(QStringLiteral("PortStatusBar"));
    auto *statusRow = new QHBoxLayout(PortStatusBar);
    statusRow->setContentsMargins(8, 2, 8, 4);
    LineButton = new QPushButton(QStringLiteral("Line..."), PortStatusBar);
    LineButton->setObjectName(QStringLiteral("LineButton"));
    LineButton->setToolTip(QStringLiteral(
        "Baud rate, data bits, parity, stop bits and flow control; used at the next Connect"));
    LineLabel = new QLabel(PortStatusBar);
    LineLabel->setObjectName(QStringLiteral("LineLabel"));
    ReconnectCheckBox = new QCheckBox(QStringLiteral("Reconnect"), PortStatusBar);
    ReconnectCheckBox->setObjectName(QStringLiteral("ReconnectCheckBox"));
    ReconnectCheckBox->setToolTip(
        QStringLiteral("When the radio's device vanishes, wait for it to come back, connect "
                       "again and register again"));
    LineStatus = new LineStatusStrip(PortStatusBar);
    LineStatus->setObjectName(QStringLiteral("LineStatus"));
    statusRow->addWidget(LineButton);
    statusRow->addWidget(LineLabel);
    statusRow->addSpacing(12);
    statusRow->addWidget(ReconnectCheckBox);
    statusRow->addStretch(1);
    statusRow->addWidget(LineStatus);
    windowLayout->addWidget(PortStatusBar);
}

QString TForm1::settingsPath() const
{
    return formstate::settingsFileOrDefault(FormEnh1->SettingsFile());
}

void TForm1::setUpPortHandling()
{
    ProbeTimer = new QTimer(this);
    ProbeTimer->setObjectName(QStringLiteral("ProbeTimer"));
    ProbeTimer->setSingleShot(true);
    ProbeTimer->setInterval(SilentProbeSeconds * 1000);
    connect(ProbeTimer, &QTimer::timeout, this, [this] {
        if (RadioState == rsProbing && ComPort->Connected())
            AddMessage(PortMessages::silentProbe(SilentProbeSeconds, lineSummary(Line)));
    });

    Reconnect = new ReconnectWatch(this);
    Reconnect->setObjectName(QStringLiteral("Reconnect"));
    Reconnect->OnDeviceBack = [this](const QString &device) { return reopenLostPort(device); };

    const formstate::ProfileFile settings(settingsPath());
    Line = loadLineSettings(settings);
    LineLabel->setText(lineSummary(Line));

    PortList = new PortSelector(
        ComPortComboBox, makePortEnumerator(), [] { return serial::isRegisteredDevice(simName); },
        this);
    PortList->setObjectName(QStringLiteral("PortList"));
    const QString typed = QString::fromLocal8Bit(
        settings.readString(QString::fromLatin1(PortSettingsSection), typedPathKey, QByteArray()));
    if (isPlausiblePath(typed))
        PortList->setTypedPath(typed);
    PortList->refresh(true);
    static_cast<PortComboBox *>(ComPortComboBox)->OnPopup = [this] { PortList->refresh(false); };

    connect(LineButton, &QPushButton::clicked, this,
            [this] { runGuarded([this] { LineButtonClick(); }); });
    connect(CommandLine_Edit->lineEdit(), &QLineEdit::returnPressed, this,
            [this] { runGuarded([this] { CommandLineEnter(); }); });
    // The line events of the event thread keep the lamps live.
    const auto modemLinesChanged = [this](QObject *) { showModemLines(); };
    ComPort->OnCTS = modemLinesChanged;
    ComPort->OnDSR = modemLinesChanged;
    ComPort->OnRLSD = modemLinesChanged;
    ComPort->OnRing = modemLinesChanged;
    ComPort->OnOpen = modemLinesChanged;
    ComPort->OnClose = modemLinesChanged;
}

void TForm1::showModemLines()
{
    if (!ComPort->Connected()) {
        LineStatus->showClosed();
        return;
    }
    try {
        LineStatus->showLines(ComPort->ModemStatus(), ComPort->DtrSet(), ComPort->RtsSet());
    } catch (const EComPort &) {
        // A vanished device is reported by the next port call of the dialogue.
        LineStatus->showClosed();
    }
}

void TForm1::runGuarded(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const EComPort &error) {
        if (!handlePortError(error)) {
            afterHandler();
            throw;
        }
    }
    afterHandler();
}

void TForm1::afterHandler()
{
    const bool allowed = commandLineAllowed();
    if (CommandLine_Edit->isEnabled() != allowed)
        CommandLine_Edit->setEnabled(allowed);
    LineStatus->showOutputs(ComPort->DtrSet(), ComPort->RtsSet());
    if (!m_reRegisterIdentifier.isEmpty() && RadioState == rsReady && RegisterButton->isEnabled()) {
        AddMessage(PortMessages::registeringAgain(m_reRegisterIdentifier));
        ProtocolIdentifierEdit->setText(m_reRegisterIdentifier);
        m_reRegisterIdentifier.clear();
        runGuarded([this] {
            m_registrationIdentifier = ProtocolIdentifierEdit->text();
            RegisterButtonClick();
        });
    }
}

bool TForm1::commandLineAllowed() const
{
    // The Disconnect button is on from a successful probe until Disconnect.
    return ComPort->Connected() && !m_portLost && DisconnectButton->isEnabled() &&
           (RadioState == rsReady || RadioState == rsRegistered) && messagesAwaitingAnswer() == 0;
}

void TForm1::CommandLineEnter()
{
    if (!commandLineAllowed())
        return;
    const QByteArray command = typedCommand(CommandLine_Edit->currentText());
    if (command.isEmpty())
        return;
    CommandLine_Edit->AddTextToHistory();
    // Its answer, up to the final result, belongs to it and not to a message.
    if (SendCommand(command))
        awaitAnswer(AnswerFor::Command);
    else
        AddMessage(PortMessages::commandNotSent());
    CommandLine_Edit->setEditText(QString());
}

void TForm1::LineButtonClick()
{
    const std::optional<LineSettings> chosen = LineDialog::ask(this, Line);
    if (!chosen || *chosen == Line)
        return;
    Line = *chosen;
    LineLabel->setText(lineSummary(Line));
    formstate::ProfileFile settings(settingsPath());
    saveLineSettings(settings, Line);
    settings.save();
}

void TForm1::stopPortActivity()
{
    DataTimer->setEnabled(false);
    CTS->setEnabled(false);
    stopSeries();
    ProbeTimer->stop();
    cancelReportPause();
}

int TForm1::openPort(const QString &path)
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

void TForm1::startProbe()
{
    startDialectSession();
    AddMessage(": Trying to connect to radio.");
    ComPort->SetDTR(true);
    ComPort->SetRTS(true);
    DataTimer->setEnabled(true);
    sendOrHold("AT\r", rsProbing);
    ProbeTimer->start();
    showModemLines();
}

void TForm1::showOpenError(const QString &path, int error)
{
    const serial::OpenFailure failure = serial::diagnoseOpenFailure(path, error);
    showAbortBox(this,
                 QStringLiteral("An Error Has Occurred whilst opening the Serial Port\r\n"
                                "Another application may be utilising that COM port !!!!!'"),
                 PortMessages::openFailureDetail(path, failure));
}

bool TForm1::handlePortError(const EComPort &error)
{
    if (!serial::isDeviceLoss(error.code()))
        return false;
    // One loss, one report: later failures of the same loss stay quiet.
    if (!m_portLost)
        portLost(error);
    return true;
}

void TForm1::portLost(const EComPort &error)
{
    m_portLost = true;
    const bool wasRegistered = RadioState == rsRegistered || RadioState == rsSending;
    stopPortActivity();
    forgetEarlierAnswers();
    try {
        ComPort->Close();
    } catch (const EComPort &) {
        // Nothing more can be released on a device that is gone.
    }
    AddMessage(PortMessages::connectionLost(m_connectedPath, systemMessage(error.code())));
    resetSessionControls();
    if (ReconnectCheckBox->isChecked()) {
        m_reRegisterIdentifier = wasRegistered ? m_registrationIdentifier : QString();
        // COM1..COM4 are watched as the devices they name.
        const QString device = ComPort->DeviceName();
        Reconnect->start(device, PortList->byIdLinkFor(device));
        AddMessage(PortMessages::waitingForDevice(m_connectedPath));
        // Disconnect ends the wait.
        DisconnectButton->setEnabled(true);
    }
    TApplication::ShowException(QString::fromLatin1(error.what()));
}

bool TForm1::reopenLostPort(const QString &device)
{
    const QString path = m_connectedPath;
    if (openPort(device) != 0)
        return false; // not ready yet (permissions come a moment later): keep waiting
    m_connectedPath = path;
    AddMessage(PortMessages::deviceBack(device));
    runGuarded([this] { startProbe(); });
    return true;
}

void TForm1::resetSessionControls()
{
    for (QWidget *control : std::initializer_list<QWidget *>{
             RegisterButton, DisconnectButton, SendButton, CheckBoxRec, CheckBoxCon,
             ProtocolIdentifierEdit, DestISSI_Edit, Message_Edit, DelayEdit, RepititionsEdit})
        control->setEnabled(false);
    ConnectButton->setEnabled(true);
    ComPortComboBox->setEnabled(true);
    RadioProfileComboBox->setEnabled(true);
}
