// The main window's port beyond the dialogue with the radio: the port list,
// the line settings, why an open failed, losing and getting back the
// device, the modem lines and the command line.
#include "window/Corvane_main.h"

#include "controls/Getdata.h"
#include "formstate/FormStateError.h"
#include "formstate/OnlyOne.h"
#include "formstate/ProfileFile.h"
#include "formstate/SettingsLocation.h"
#include "pei/CommandLine.h"
#include "ports/PortMessages.h"
#include "serial/Comms.h"
#include "serial/DeviceRegistry.h"
#include "serial/OpenFailure.h"
#include "window/Application.h"
#include "window/LineDialog.h"
#include "window/LineSettingsFile.h"
#include "window/LineStatusStrip.h"
#include "window/ModalBox.h"
#include "window/PortComboBox.h"
#include "window/PortSelector.h"
#include "window/ReceiverPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString simName = QStringLiteral("SIM");
const QString typedPathKey = QStringLiteral("TypedPath");
// Longer than the pause between the messages of a quick series.
constexpr int CommandLineEnableDelayMs = 200;

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
    m_commandLineEnabling = new QTimer(this);
    m_commandLineEnabling->setSingleShot(true);
    m_commandLineEnabling->setInterval(CommandLineEnableDelayMs);
    connect(m_commandLineEnabling, &QTimer::timeout, this, &TForm1::enableCommandLineIfAllowed);
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
    const formstate::ProfileFile settings(settingsPath());
    Line = loadLineSettings(settings);
    LineLabel->setText(lineSummary(Line));
    loadPaneLimits(settings);

    PortList = new PortSelector(
        ComPortComboBox, makePortEnumerator(), [] { return serial::isRegisteredDevice(simName); },
        this);
    PortList->setObjectName(QStringLiteral("PortList"));
    const QString typed = QString::fromLocal8Bit(
        settings.readString(QString::fromLatin1(PortSettingsSection), typedPathKey, QByteArray()));
    if (isPlausiblePath(typed))
        PortList->setTypedPath(typed);
    static_cast<PortComboBox *>(ComPortComboBox)->OnPopup = [this] {
        PortList->refreshInBackground();
    };
    session().setPortEnumerator(PortList->enumerator());
    ReceiverPanel1->followPorts(*PortList);

    session().setReconnectEnabled(ReconnectCheckBox->isChecked());
    connect(ReconnectCheckBox, &QCheckBox::toggled, this,
            [this](bool checked) { session().setReconnectEnabled(checked); });
    connect(LineButton, &QPushButton::clicked, this,
            [this] { runGuarded([this] { LineButtonClick(); }); });
    connect(CommandLine_Edit->lineEdit(), &QLineEdit::returnPressed, this,
            [this] { runGuarded([this] { CommandLineEnter(); }); });

    RadioSession *radio = &session();
    connect(radio, &RadioSession::modemLinesChanged, this, &TForm1::showModemLines);
    connect(radio, &RadioSession::controlsMayHaveChanged, this, &TForm1::afterHandler);
    connect(radio, &RadioSession::portOpened, this, &TForm1::notePortOpened);
    connect(radio, &RadioSession::openFailed, this, &TForm1::showOpenError);
    connect(radio, &RadioSession::sessionEnded, this, &TForm1::resetSessionControls);
    // Disconnect ends the wait for a vanished device.
    connect(radio, &RadioSession::waitingForDevice, this,
            [this] { DisconnectButton->setEnabled(true); });
    connect(radio, &RadioSession::registeringAgain, this,
            [this](const QString &identifier) { ProtocolIdentifierEdit->setText(identifier); });
    connect(radio, &RadioSession::readyTimeout, this,
            [this](const QString &text) { showAbortBox(this, text); });
    connect(radio, &RadioSession::portLost, this, &TForm1::showPortLost);
}

void TForm1::showPortLost(const QString &message)
{
    // One box at a time: a loss while the box of an earlier one is still open
    // (the radio came back and went again meanwhile) is only in the message
    // window, where the session writes every loss.
    if (m_lossBoxOpen)
        return;
    const QScopedValueRollback<bool> open(m_lossBoxOpen, true);
    TApplication::ShowException(message);
}

void TForm1::notePortOpened(const QString &path)
{
    if (PortList->noteConnected(path))
        storeOwnSettings();
}

QString TForm1::saveOwnSettings()
{
    try {
        formstate::ProfileFile settings(settingsPath());
        if (!PortList->typedPath().isEmpty())
            settings.writeString(QString::fromLatin1(PortSettingsSection), typedPathKey,
                                 QFile::encodeName(PortList->typedPath()));
        saveLineSettings(settings, Line);
        savePaneLimits(settings);
        settings.save();
    } catch (const EFormState &error) {
        m_ownSettingsUnsaved = true;
        return error.notSavedText();
    }
    m_ownSettingsUnsaved = false;
    return {};
}

void TForm1::storeOwnSettings()
{
    // Told in the message window, not in a box: the dialogue with the radio
    // goes on meanwhile, and closing tells it again if it still fails.
    if (const QString failure = saveOwnSettings(); !failure.isEmpty())
        AddMessage(": " +
                   (failure + QStringLiteral(" Saving is tried again at close.")).toLatin1());
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

void TForm1::afterHandler()
{
    // Disabled at once; enabled when still allowed a moment later.
    if (!commandLineAllowed()) {
        m_commandLineEnabling->stop();
        if (CommandLine_Edit->isEnabled())
            CommandLine_Edit->setEnabled(false);
    } else if (!CommandLine_Edit->isEnabled() && !m_commandLineEnabling->isActive()) {
        m_commandLineEnabling->start();
    }
    LineStatus->showOutputs(ComPort->DtrSet(), ComPort->RtsSet());
}

void TForm1::enableCommandLineIfAllowed()
{
    if (commandLineAllowed())
        CommandLine_Edit->setEnabled(true);
}

void TForm1::CommandLineEnter()
{
    if (!commandLineAllowed())
        return;
    const QByteArray command = typedCommand(CommandLine_Edit->currentText());
    if (command.isEmpty())
        return;
    CommandLine_Edit->AddTextToHistory();
    session().sendTypedCommand(command);
    CommandLine_Edit->setEditText(QString());
}

void TForm1::LineButtonClick()
{
    const std::optional<LineSettings> chosen = LineDialog::ask(this, Line);
    if (!chosen || *chosen == Line)
        return;
    Line = *chosen;
    LineLabel->setText(lineSummary(Line));
    storeOwnSettings();
}

void TForm1::showOpenError(const QString &path, int error)
{
    const serial::OpenFailure failure = serial::diagnoseOpenFailure(path, error);
    showAbortBox(this, PortMessages::openFailureText(path, failure),
                 PortMessages::openFailureDetail(path, failure));
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
    ReceiverPanel1->setChoiceEnabled(true);
}
