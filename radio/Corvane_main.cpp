#include "radio/Corvane_main.h"

#include "controls/Getdata.h"
#include "formstate/FormState.h"
#include "formstate/OnlyOne.h"
#include "radio/ActivityLog.h"
#include "radio/Application.h"
#include "radio/CommandWriter.h"
#include "radio/MessageTextLimit.h"
#include "radio/ModalBox.h"
#include "radio/PortSelection.h"
#include "radio/ResponseScan.h"
#include "radio/SaveDialog.h"
#include "radio/SdsCodec.h"
#include "radio/Timer.h"
#include "serial/Comms.h"
#include "serial/DeviceRegistry.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>

namespace {
const QByteArray probeCommand = QByteArrayLiteral("AT\r");
const QString stopCaption = QStringLiteral("Stop");
const QString sendCaption = QStringLiteral("Send");
constexpr int retryIntervalMs = 100;
constexpr int maxRetries = 50;

void setEnabledAll(std::initializer_list<QWidget *> controls, bool enabled)
{
    for (QWidget *control : controls)
        control->setEnabled(enabled);
}
} // namespace

TForm1::TForm1(QWidget *parent) : TForm1(QString(), parent) {}

TForm1::TForm1(const QString &settingsFile, QWidget *parent)
    : QWidget(parent), m_userDataBitLimit(MessageTextLimit::DefaultUserDataBits)
{
    buildControls();
    // The windowing system places the main window; only its size comes back.
    setProperty(formstate::PositionProperty, QStringLiteral("poDefaultPosOnly"));
    buildComponents(settingsFile);
    connectHandlers();
    // The stored field values and placement come back before FormCreate.
    FormEnh1->Loaded();
    FormCreate();
    if (const QString refusal = FormEnh1->Refusal(); !refusal.isEmpty())
        AddMessage(": " + refusal.toLatin1());
}

TForm1::~TForm1()
{
    // Saved while the controls still exist.
    try {
        FormEnh1->FormDestroying();
    } catch (const std::exception &e) {
        TApplication::ShowException(QString::fromLatin1(e.what()));
    }
}

void TForm1::buildComponents(const QString &settingsFile)
{
    ComPort = new TComPort(this);
    ComPort->setObjectName(QStringLiteral("ComPort"));
    m_writer = new CommandWriter(*ComPort, this);
    // A command is logged once it has been written, whenever that is.
    m_writer->onWritten = [this](const QByteArray &command) {
        appendLogEntry(CommandLogger_Memo, TimeStamp().toLatin1() + " pc: " + command);
    };
    // As when the write fails at once: a series ends with its first failure.
    m_writer->onBackgroundFailure = [this] {
        if (SendButton->text() == stopCaption)
            stopSeries();
    };

    CTS = new TTimer(this);
    CTS->setObjectName(QStringLiteral("CTS"));
    CTS->setEnabled(false);
    CTS->setInterval(500);

    DataTimer = new TTimer(this);
    DataTimer->setObjectName(QStringLiteral("DataTimer"));
    DataTimer->setEnabled(false);
    DataTimer->setInterval(200);

    // The series timer keeps its period to the millisecond.
    DelayTimer = new TTimer(this, Qt::PreciseTimer);
    DelayTimer->setObjectName(QStringLiteral("DelayTimer"));

    sd = new TSaveDialog(this);
    sd->setObjectName(QStringLiteral("sd"));
    sd->setTitle(QStringLiteral("Save as"));
    sd->setDefaultExt(QStringLiteral("txt"));
    sd->setFilter(QStringLiteral("Text files (*.txt)"));

    FormEnh1 = new TFormEnh(this);
    FormEnh1->setObjectName(QStringLiteral("FormEnh1"));
    FormEnh1->setReLoadOnClose(false);
    FormEnh1->setSettingsFile(settingsFile);

    if (serial::isRegisteredDevice(QStringLiteral("SIM")))
        ComPortComboBox->addItem(QStringLiteral("SIM"));
}

void TForm1::connectHandlers()
{
    connect(ConnectButton, &QPushButton::clicked, this, &TForm1::ConnectButtonClick);
    connect(RegisterButton, &QPushButton::clicked, this, &TForm1::RegisterButtonClick);
    connect(DisconnectButton, &QPushButton::clicked, this, &TForm1::DisconnectButtonClick);
    connect(SendButton, &QPushButton::clicked, this, &TForm1::SendButtonClick);
    connect(CheckBoxRec, &QCheckBox::clicked, this, &TForm1::CheckBoxRecClick);
    connect(CheckBoxCon, &QCheckBox::clicked, this, &TForm1::CheckBoxConClick);
    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    connect(ProtocolIdentifierEdit, &QLineEdit::textChanged, this, &TForm1::updateMessageLimit);
    connect(Message_Edit, &QComboBox::editTextChanged, this, &TForm1::updateMessageLimit);
    updateMessageLimit();
    CTS->OnTimer = [this] { CTSTimer(); };
    DataTimer->OnTimer = [this] { DataTimerTimer(); };
    DelayTimer->OnTimer = [this] { DelayTimerTimer(); };
}

void TForm1::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    FormEnh1->FormClosing(false);
}

QString TForm1::TimeStamp() const
{
    return currentTimeStamp();
}

void TForm1::AddMessage(const QByteArray &text)
{
    appendLogEntry(MessagesPad_Memo, TimeStamp().toLatin1() + text);
}

void TForm1::setUserDataBitLimit(int bits)
{
    m_userDataBitLimit = bits;
    updateMessageLimit();
}

void TForm1::updateMessageLimit()
{
    const int most = MessageTextLimit::maxCharacters(
        m_userDataBitLimit, ProtocolIdentifierEdit->boundedText().toLatin1());
    // The field cuts a longer text, also one restored or picked from the history.
    Message_Edit->lineEdit()->setMaxLength(most);
    const QString text = Message_Edit->currentText();
    CharactersLeftLabel->setText(
        MessageTextLimit::charactersLeftText(most - static_cast<int>(text.size())));
    Latin1WarningLabel->setText(MessageTextLimit::outsideLatin1Warning(text));
}

void TForm1::FormCreate()
{
    RxBuffer.clear();
    setEnabledAll({ConnectButton}, true);
    setEnabledAll({RegisterButton, DisconnectButton, SendButton, CheckBoxRec, CheckBoxCon,
                   ProtocolIdentifierEdit, DestISSI_Edit, Message_Edit, RepititionsEdit, DelayEdit},
                  false);
    DelayTimer->setEnabled(false);
    MessageReference = 0;
}

bool TForm1::SendCommand(const QByteArray &Command)
{
    if (!ComPort->GetCTS())
        return false;
    // A slow write goes on in the background; the next command waits behind it.
    m_writer->write(Command);
    return true;
}

void TForm1::StartRetry(std::uint8_t State)
{
    CTS->setInterval(retryIntervalMs);
    CTS->setEnabled(true);
    RetryCount = 0;
    RadioState = State;
}

void TForm1::sendOrHold(const QByteArray &command, std::uint8_t state)
{
    const bool sent = SendCommand(command);
    RadioState = state;
    if (!sent) {
        // Held for the retry timer until the radio raises CTS.
        PendingCommand = command;
        StartRetry(state);
    }
}

void TForm1::CTSTimer()
{
    ++RetryCount;
    bool sent = false;
    try {
        sent = SendCommand(PendingCommand);
    } catch (...) {
        // A vanished port is reported once, not on every retry.
        CTS->setEnabled(false);
        throw;
    }
    if (sent) {
        CTS->setEnabled(false);
    } else if (RetryCount >= maxRetries) {
        CTS->setEnabled(false);
        showAbortBox(this, QStringLiteral("Timeout waiting for ready signal from radio.\r\n"
                                          "Ensure that the radio is connected and turned on.'"));
    }
}

void TForm1::ConnectButtonClick()
{
    MessageReference = 0;
    clearReportRequests();
    try {
        // Opening closes the port anyway; closing first keeps the selection
        // setters from reopening the old device on the way to the new one.
        ComPort->Close();
        applyPortChoice(*ComPort, choosePort(ComPortComboBox->currentText()));
        ComPort->Open();
    } catch (const std::exception &) {
        showAbortBox(this,
                     QStringLiteral("An Error Has Occurred whilst opening the Serial Port\r\n"
                                    "Another application may be utilising that COM port !!!!!'"));
        return;
    }
    AddMessage(": Trying to connect to radio.");
    ComPort->SetDTR(true);
    ComPort->SetRTS(true);
    DataTimer->setEnabled(true);
    sendOrHold(probeCommand, rsProbing);
}

void TForm1::RegisterButtonClick()
{
    AddMessage(": Trying to register this application.");
    const QByteArray command =
        SdsCodec::buildRegistrationCommand(ProtocolIdentifierEdit->boundedText().toLatin1());
    sendOrHold(command, rsRegistering);
}

void TForm1::ComposeAndSendTextMessage()
{
    Message_Edit->AddTextToHistory();
    const QByteArray destination = DestISSI_Edit->boundedText().toLatin1();
    // Characters outside Latin-1 become "?": one character, one octet.
    const QByteArray message = Message_Edit->currentText().toLatin1();
    const QByteArray command =
        SdsCodec::composeTextMessage(ProtocolIdentifierEdit->boundedText().toLatin1(),
                                     ReportRequestFlags, MessageReference, destination, message);
    AddMessage(SdsCodec::sendingLine(destination, message));
    sendOrHold(command, rsSending);
    ++MessageReference;
}

void TForm1::stopSeries()
{
    DelayTimer->setEnabled(false);
    SendButton->setText(sendCaption);
}

void TForm1::SendButtonClick()
{
    if (SendButton->text() == stopCaption) {
        stopSeries();
        return;
    }
    ComposeAndSendTextMessage();
    const int repetitions = RepititionsEdit->Value();
    if (repetitions > 1) {
        SendButton->setText(stopCaption);
        RepeatsLeft = repetitions - 1;
        DelayTimer->setInterval(DelayEdit->Value());
        DelayTimer->setEnabled(true);
    }
}

void TForm1::DelayTimerTimer()
{
    try {
        ComposeAndSendTextMessage();
    } catch (...) {
        // One failure ends the series instead of repeating on every tick.
        stopSeries();
        throw;
    }
    --RepeatsLeft;
    DelayTimer->setInterval(DelayEdit->Value());
    if (RepeatsLeft <= 0)
        stopSeries();
}

void TForm1::DisconnectButtonClick()
{
    const auto resetControls = [this] {
        setEnabledAll({RegisterButton, DisconnectButton, SendButton, CheckBoxRec, CheckBoxCon,
                       ProtocolIdentifierEdit, DestISSI_Edit, Message_Edit, DelayEdit,
                       RepititionsEdit},
                      false);
        setEnabledAll({ConnectButton, ComPortComboBox}, true);
    };
    try {
        ComPort->SetDTR(false);
        ComPort->SetRTS(false);
    } catch (...) {
        // A vanished port must not leave Connect disabled for good.
        resetControls();
        throw;
    }
    resetControls();
}

void TForm1::clearReportRequests()
{
    ReportRequestFlags = 0;
    // The boxes show what goes out: no report is asked for until one is ticked again.
    CheckBoxRec->setChecked(false);
    CheckBoxCon->setChecked(false);
}

void TForm1::CheckBoxRecClick()
{
    if (CheckBoxRec->isChecked())
        ReportRequestFlags |= SdsCodec::ReceivedReportFlag;
    else
        ReportRequestFlags &= 0xFB;
}

void TForm1::CheckBoxConClick()
{
    if (CheckBoxCon->isChecked())
        ReportRequestFlags |= SdsCodec::ConsumedReportFlag;
    else
        ReportRequestFlags &= 0xF7;
}

void TForm1::DataTimerTimer()
{
    try {
        if (ComPort->InputCount() > 0) {
            QByteArray received;
            const int count = ComPort->ReadStr(received, ComPort->InputCount(), true);
            // Only the bytes actually read belong to the chunk.
            if (count > 0)
                RxBuffer += received.left(count);
            return;
        }
    } catch (...) {
        // A vanished port is reported once; the next Connect polls again.
        DataTimer->setEnabled(false);
        throw;
    }
    if (RxBuffer.isEmpty())
        return;
    const QByteArray chunk = RxBuffer;
    appendLogEntry(CommandLogger_Memo, TimeStamp().toLatin1() + " ms:" + chunk);
    DispatchResponse(chunk);
    RxBuffer.clear();
    HandleReceivedChunk(chunk);
}

void TForm1::DispatchResponse(const QByteArray &Chunk)
{
    switch (RadioState) {
    case rsProbing:
        if (ResponseScan::isProbeAnswer(Chunk)) {
            AddMessage(": Connection to radio successful. Radio supports AT commands.");
            EnableAfterProbe();
            RadioState = rsReady;
        }
        break;
    case rsRegistering:
        if (ResponseScan::isRegistrationAnswer(Chunk)) {
            AddMessage(": Registration successful.");
            EnableAfterRegistration();
            RadioState = rsRegistered;
        }
        break;
    case rsSending: {
        const ResponseScan::SendingScan scan = ResponseScan::scanSendingResponse(Chunk);
        for (const QByteArray &line : scan.lines)
            AddMessage(line);
        if (scan.completed)
            RadioState = rsRegistered;
        break;
    }
    default:
        break;
    }
}

void TForm1::HandleReceivedChunk(const QByteArray &Chunk)
{
    const SdsCodec::ReceivedChunk received = SdsCodec::parseReceivedChunk(Chunk);
    if (!received.isIndication)
        return;
    AddMessage(SdsCodec::receivedLine(received.callingIssi, received.messageOctets));
    const QList<QByteArray> reports = SdsCodec::reportCommands(received);
    for (int i = 0; i < reports.size(); ++i) {
        // The pause holds the window thread, as the radio expects.
        if (i > 0)
            QThread::msleep(SdsCodec::PauseBetweenReportsMs);
        // A report that finds the radio not ready is dropped.
        SendCommand(reports.at(i));
    }
}

void TForm1::EnableAfterProbe()
{
    setEnabledAll({ConnectButton, ComPortComboBox}, false);
    setEnabledAll({RegisterButton, DisconnectButton, ProtocolIdentifierEdit}, true);
}

void TForm1::EnableAfterRegistration()
{
    setEnabledAll({RegisterButton}, false);
    setEnabledAll({SendButton, CheckBoxRec, CheckBoxCon, DestISSI_Edit, Message_Edit,
                   RepititionsEdit, DelayEdit},
                  true);
}

void TForm1::Button1Click()
{
    if (sd->Execute(this))
        savePaneToFile(MessagesPad_Memo, sd->FileName());
}

void TForm1::Button2Click()
{
    if (sd->Execute(this))
        savePaneToFile(CommandLogger_Memo, sd->FileName());
}
