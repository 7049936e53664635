#include "radio/Corvane_main.h"

#include "controls/Getdata.h"
#include "formstate/FormState.h"
#include "formstate/OnlyOne.h"
#include "formstate/ProfileFile.h"
#include "radio/ActivityLog.h"
#include "radio/Application.h"
#include "radio/CommandWriter.h"
#include "radio/Indication.h"
#include "radio/MessageTextLimit.h"
#include "radio/ModalBox.h"
#include "radio/PortMessages.h"
#include "radio/PortSelector.h"
#include "radio/ReconnectWatch.h"
#include "radio/ResponseScan.h"
#include "radio/SaveDialog.h"
#include "radio/SdsCodec.h"
#include "radio/Timer.h"
#include "serial/Comms.h"
#include "serial/OpenFailure.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

namespace {
const QString stopCaption = QStringLiteral("Stop");
const QString sendCaption = QStringLiteral("Send");
constexpr int retryIntervalMs = 100;
constexpr int maxRetries = 50;
// A response cut short waits this long for the rest before it goes on as is.
constexpr qint64 quietLineMs = 1000;

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

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
    buildPortControls();
    // The windowing system places the main window; only its size comes back.
    formstate::setWindowPlacement(this, formstate::WindowPlacement::SystemChooses);
    buildComponents(settingsFile);
    connectHandlers();
    // The stored field values and placement come back before FormCreate.
    FormEnh1->Loaded();
    FormCreate();
    if (const QString refusal = FormEnh1->Refusal(); !refusal.isEmpty())
        AddMessage(": " + refusal.toLatin1());
    setUpPortHandling();
}

TForm1::~TForm1()
{
    // The port outlives the controls; its closing at destruction must not
    // reach them.
    for (TNotifyEvent *handler : {&ComPort->OnCTS, &ComPort->OnDSR, &ComPort->OnRLSD,
                                  &ComPort->OnRing, &ComPort->OnOpen, &ComPort->OnClose})
        *handler = nullptr;
    // Saved while the controls still exist.
    try {
        FormEnh1->FormDestroying();
    } catch (const std::exception &e) {
        TApplication::ShowException(QString::fromLatin1(e.what()));
    }
    // Closing lets the event thread deliver what it holds; the handlers must
    // not outlive the panes they write to.
    ComPort->OnRxChar = nullptr;
    try {
        ComPort->Close();
    } catch (const std::exception &) {
        // A port that fails while closing is closed all the same.
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
        commandWritten(command);
    };
    // As when the write fails at once: a series ends with its first failure.
    // The failed command and those dropped behind it never reached the radio,
    // so no answer is waited for any more.
    m_writer->onBackgroundFailure = [this] {
        m_awaitingAnswer.clear();
        m_series.linkRestarted();
        forgetMessageWrites();
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

    m_reportPause = new QTimer(this);
    m_reportPause->setObjectName(QStringLiteral("reportPause"));
    m_reportPause->setSingleShot(true);
    m_reportPause->setTimerType(Qt::PreciseTimer);
    m_reportPause->setInterval(SdsCodec::PauseBetweenReportsMs);

    sd = new TSaveDialog(this);
    sd->setObjectName(QStringLiteral("sd"));
    sd->setTitle(QStringLiteral("Save as"));
    sd->setDefaultExt(QStringLiteral("txt"));
    sd->setFilter(QStringLiteral("Text files (*.txt)"));

    FormEnh1 = new TFormEnh(this);
    FormEnh1->setObjectName(QStringLiteral("FormEnh1"));
    FormEnh1->setReLoadOnClose(false);
    FormEnh1->setSettingsFile(settingsFile);
}

void TForm1::connectHandlers()
{
    // Every handler that reaches the port runs guarded: a vanished device
    // is reported once, whichever handler meets it first.
    const auto guarded = [this](void (TForm1::*handler)()) {
        return [this, handler] { runGuarded([this, handler] { (this->*handler)(); }); };
    };
    connect(ConnectButton, &QPushButton::clicked, this, guarded(&TForm1::ConnectButtonClick));
    connect(RegisterButton, &QPushButton::clicked, this, [this] {
        runGuarded([this] {
            m_registrationIdentifier = ProtocolIdentifierEdit->text();
            RegisterButtonClick();
        });
    });
    connect(DisconnectButton, &QPushButton::clicked, this, guarded(&TForm1::DisconnectButtonClick));
    connect(SendButton, &QPushButton::clicked, this, guarded(&TForm1::SendButtonClick));
    connect(CheckBoxRec, &QCheckBox::clicked, this, &TForm1::CheckBoxRecClick);
    connect(CheckBoxCon, &QCheckBox::clicked, this, &TForm1::CheckBoxConClick);
    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    connect(ProtocolIdentifierEdit, &QLineEdit::textChanged, this, &TForm1::updateMessageLimit);
    connect(Message_Edit, &QComboBox::editTextChanged, this, &TForm1::updateMessageLimit);
    updateMessageLimit();
    CTS->OnTimer = guarded(&TForm1::CTSTimer);
    DataTimer->OnTimer = guarded(&TForm1::DataTimerTimer);
    DelayTimer->OnTimer = guarded(&TForm1::DelayTimerTimer);
    connect(m_reportPause, &QTimer::timeout, this, guarded(&TForm1::endReportPause));
    // Bytes are read as they arrive; the poll timer is the safety net.
    ComPort->OnRxChar = [this](QObject *, int) {
        try {
            readArrivedBytes();
        } catch (const EComPort &) {
            // A failing port is reported once, by the poll timer.
            return;
        }
        handleQueuedResponses();
        afterHandler();
    };
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
    m_responseQueue.clear();
    setEnabledAll({ConnectButton}, true);
    setEnabledAll({RegisterButton, DisconnectButton, SendButton, CheckBoxRec, CheckBoxCon,
                   ProtocolIdentifierEdit, DestISSI_Edit, Message_Edit, RepititionsEdit, DelayEdit},
                  false);
    DelayTimer->setEnabled(false);
    MessageReference = 0;
    // A stored choice that names no profile shows the default one.
    RadioProfileComboBox->setCurrentIndex(int(radioProfile()));
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

void TForm1::sendOrHold(const QByteArray &command, std::uint8_t state,
                        const std::optional<OutgoingMessage> &message)
{
    const bool sent = SendCommand(command);
    RadioState = state;
    if (sent) {
        if (message)
            messageWritten(*message, command);
        return;
    }
    // Held for the retry timer until the radio raises CTS.
    PendingCommand = command;
    m_pendingMessage = message;
    m_pendingHasSelection = false;
    StartRetry(state);
}

bool TForm1::selectServiceIfDue()
{
    if (!m_serviceSelectionDue.isEmpty() && SendCommand(m_serviceSelectionDue)) {
        m_serviceSelectionDue.clear();
        awaitAnswer(AnswerFor::Command);
    }
    return m_serviceSelectionDue.isEmpty();
}

void TForm1::sendTextMessageCommand(const QByteArray &command, const OutgoingMessage &message)
{
    if (selectServiceIfDue()) {
        sendOrHold(command, rsSending, message);
        return;
    }
    // The radio is not ready: both wait for it, the selection first.
    PendingCommand = m_serviceSelectionDue + command;
    m_pendingMessage = message;
    m_pendingHasSelection = true;
    StartRetry(rsSending);
}

void TForm1::askForMaxLength()
{
    const QByteArray query = dialect().maxLengthQuery();
    // Not worth a retry: without an answer the default limit holds.
    if (!query.isEmpty() && SendCommand(query))
        awaitAnswer(AnswerFor::LengthQuery);
}

void TForm1::startDialectSession()
{
    // The new connection speaks the chosen dialect from its first byte.
    m_dialect = &dialectOf(radioProfile());
    RxBuffer.setDialect(*m_dialect);
    m_serviceSelectionDue = m_dialect->serviceSelectionCommand();
    setUserDataBitLimit(MessageTextLimit::DefaultUserDataBits);
}

RadioProfile TForm1::radioProfile() const
{
    return radioProfileAt(RadioProfileComboBox->currentIndex());
}

void TForm1::messageWritten(const OutgoingMessage &message, const QByteArray &command)
{
    awaitAnswer(AnswerFor::Message);
    RadioState = rsSending;
    m_series.messageWritten(message.reference, message.destination, message.reportFlags, nowMs());
    if (m_messageWritesUnderWay.empty() && command == m_lastFinishedWrite) {
        m_series.writeFinished(m_lastFinishedWriteAtMs);
        m_lastFinishedWrite.clear();
        return;
    }
    m_messageWritesUnderWay.push_back(command);
}

void TForm1::commandWritten(const QByteArray &command)
{
    if (m_messageWritesUnderWay.empty()) {
        m_lastFinishedWrite = command;
        m_lastFinishedWriteAtMs = nowMs();
        return;
    }
    // The writer keeps the order: other commands finish between messages.
    if (command != m_messageWritesUnderWay.front())
        return;
    m_messageWritesUnderWay.pop_front();
    m_series.writeFinished(nowMs());
}

void TForm1::forgetMessageWrites()
{
    m_messageWritesUnderWay.clear();
    m_lastFinishedWrite.clear();
}

void TForm1::awaitAnswer(AnswerFor what)
{
    m_awaitingAnswer.push_back(what);
}

int TForm1::messagesAwaitingAnswer() const
{
    return int(std::count(m_awaitingAnswer.begin(), m_awaitingAnswer.end(), AnswerFor::Message));
}

void TForm1::CTSTimer()
{
    if (reportPauseActive()) {
        m_retryTickDeferred = true;
        return;
    }
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
        if (m_pendingHasSelection) {
            m_serviceSelectionDue.clear();
            awaitAnswer(AnswerFor::Command);
        }
        if (m_pendingMessage)
            messageWritten(*m_pendingMessage, PendingCommand);
    } else if (RetryCount >= maxRetries) {
        CTS->setEnabled(false);
        showAbortBox(this, QStringLiteral("Timeout waiting for ready signal from radio.\r\n"
                                          "Ensure that the radio is connected and turned on.'"));
    }
}

void TForm1::forgetEarlierAnswers()
{
    // Answers of the earlier connection are not waited for any more; bytes
    // still held from it are logged, not lost.
    m_awaitingAnswer.clear();
    m_series.linkRestarted();
    forgetMessageWrites();
    cancelReportPause();
    if (const std::optional<FramedResponse> rest = RxBuffer.flush())
        logAndQueue(*rest);
    m_responseQueue.clear();
}

void TForm1::ConnectButtonClick()
{
    MessageReference = 0;
    clearReportRequests();
    forgetEarlierAnswers();
    // A Connect of the user's own ends a wait for a vanished device.
    if (Reconnect->isWaiting()) {
        Reconnect->stop();
        AddMessage(PortMessages::stoppedWaiting());
    }
    m_reRegisterIdentifier.clear();
    const QString path = PortList->pathForText(ComPortComboBox->currentText());
    if (const int error = openPort(path); error != 0) {
        showOpenError(path, error);
        return;
    }
    if (PortList->noteConnected(path)) {
        formstate::ProfileFile settings(settingsPath());
        settings.writeString(QString::fromLatin1(PortSettingsSection), QStringLiteral("TypedPath"),
                             QFile::encodeName(path));
        settings.save();
    }
    startProbe();
}

void TForm1::RegisterButtonClick()
{
    AddMessage(": Trying to register this application.");
    const QByteArray command =
        dialect().registrationCommand(ProtocolIdentifierEdit->boundedText().toLatin1());
    sendOrHold(command, rsRegistering);
}

void TForm1::ComposeAndSendTextMessage()
{
    Message_Edit->AddTextToHistory();
    const QByteArray destination = DestISSI_Edit->boundedText().toLatin1();
    // Characters outside Latin-1 become "?": one character, one octet.
    const QByteArray message = Message_Edit->currentText().toLatin1();
    const QByteArray command =
        dialect().textMessageCommand(ProtocolIdentifierEdit->boundedText().toLatin1(),
                                     ReportRequestFlags, MessageReference, destination, message);
    AddMessage(SdsCodec::sendingLine(destination, message));
    sendTextMessageCommand(command,
                           OutgoingMessage{MessageReference, destination, ReportRequestFlags});
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
    m_series.start();
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
    if (reportPauseActive()) {
        m_seriesTickDeferred = true;
        return;
    }
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
    if (Reconnect->isWaiting()) {
        Reconnect->stop();
        AddMessage(PortMessages::stoppedWaiting());
    }
    m_reRegisterIdentifier.clear();
    ProbeTimer->stop();
    if (ComPort->Connected()) {
        try {
            ComPort->SetDTR(false);
            ComPort->SetRTS(false);
        } catch (const EComPort &error) {
            // A vanished port must not leave Connect disabled for good.
            resetSessionControls();
            if (!serial::isDeviceLoss(error.code()))
                throw;
            // The user is done with it: closed quietly, without a box.
            m_portLost = true;
            stopPortActivity();
            ComPort->Close();
            AddMessage(PortMessages::connectionLost(
                m_connectedPath, QString::fromLocal8Bit(std::strerror(error.code()))));
        }
    }
    resetSessionControls();
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
        readArrivedBytes();
    } catch (...) {
        // A vanished port is reported once; the next Connect polls again.
        DataTimer->setEnabled(false);
        throw;
    }
    // A response cut short, or junk with no line end, goes on once the
    // line has been quiet for a while.
    if (!RxBuffer.isEmpty() && nowMs() - RxBuffer.lastReadAtMs() >= quietLineMs) {
        if (const std::optional<FramedResponse> rest = RxBuffer.flush())
            logAndQueue(*rest);
    }
    handleQueuedResponses();
}

void TForm1::readArrivedBytes()
{
    if (!ComPort->Connected())
        return;
    const int waiting = ComPort->InputCount();
    if (waiting <= 0)
        return;
    QByteArray received;
    const int count = ComPort->ReadStr(received, waiting, true);
    // Only the bytes actually read belong to the stream.
    if (count <= 0)
        return;
    for (const FramedResponse &response : RxBuffer.feed(received.left(count), nowMs()))
        logAndQueue(response);
}

void TForm1::logAndQueue(const FramedResponse &response)
{
    const QTime readAt = QDateTime::fromMSecsSinceEpoch(response.readAtMs).time();
    appendLogEntry(CommandLogger_Memo,
                   formatTimeStamp(readAt).toLatin1() + " ms:" + response.bytes);
    m_responseQueue.append(response);
}

void TForm1::handleQueuedResponses()
{
    while (!m_responseQueue.isEmpty() && !reportPauseActive()) {
        // Taken off first: a response that raises an error is not handled twice.
        const FramedResponse response = m_responseQueue.takeFirst();
        m_handlingReadAtMs = response.readAtMs;
        try {
            DispatchResponse(response.bytes);
            HandleReceivedChunk(response.bytes);
        } catch (...) {
            m_handlingReadAtMs.reset();
            throw;
        }
        m_handlingReadAtMs.reset();
    }
}

qint64 TForm1::responseReadAtMs() const
{
    return m_handlingReadAtMs.value_or(nowMs());
}

void TForm1::DispatchResponse(const QByteArray &Chunk)
{
    switch (RadioState) {
    case rsProbing:
        if (ResponseScan::isProbeAnswer(Chunk)) {
            AddMessage(": Connection to radio successful. Radio supports AT commands.");
            EnableAfterProbe();
            RadioState = rsReady;
            askForMaxLength();
            return;
        }
        break;
    case rsRegistering:
        if (dialect().isRegistrationAnswer(Chunk)) {
            AddMessage(": Registration successful.");
            EnableAfterRegistration();
            RadioState = rsRegistered;
            return;
        }
        break;
    default:
        break;
    }
    const ResponseScan::SendingAnswer answer = dialect().readSendingAnswer(Chunk);
    const bool answersMessage = answer.kind != ResponseScan::SendingAnswer::Kind::None;
    // The radio answers commands in the order they were written: the oldest
    // waiting one owns this answer. A typed command takes any final answer.
    if (!m_awaitingAnswer.empty()) {
        const AnswerFor owner = m_awaitingAnswer.front();
        const bool takesAnyFinalAnswer =
            owner == AnswerFor::Command || owner == AnswerFor::LengthQuery;
        if (takesAnyFinalAnswer ? !ResponseScan::endsWithFinalResult(Chunk) : !answersMessage)
            return;
        m_awaitingAnswer.pop_front();
        if (owner == AnswerFor::LengthQuery) {
            if (const std::optional<int> bits = dialect().maxLengthBits(Chunk))
                setUserDataBitLimit(*bits);
        }
        // The answer to a report or a typed command is only logged.
        if (owner != AnswerFor::Message)
            return;
    } else if (RadioState != rsSending || !answersMessage) {
        return;
    }
    AddMessage(answer.line);
    if (answer.kind == ResponseScan::SendingAnswer::Kind::Completed)
        m_series.completed(responseReadAtMs());
    else
        m_series.refused(answer.refusal, responseReadAtMs());
    // A refusal leaves the link in the sending state.
    if (answer.kind == ResponseScan::SendingAnswer::Kind::Completed &&
        messagesAwaitingAnswer() == 0)
        RadioState = rsRegistered;
}

void TForm1::HandleReceivedChunk(const QByteArray &Chunk)
{
    const Indication::Reading reading = dialect().readIndication(Chunk);
    switch (reading.kind) {
    case Indication::Kind::None:
        return;
    case Indication::Kind::Malformed:
        AddMessage(Indication::malformedLine());
        return;
    case Indication::Kind::Report:
        AddMessage(Indication::reportLine(reading.deliveryStatus));
        m_series.reportReceived(reading.reportReference, reading.deliveryStatus,
                                responseReadAtMs());
        return;
    case Indication::Kind::Message:
        AddMessage(
            SdsCodec::receivedLine(reading.message.callingIssi, reading.message.messageOctets));
        sendReports(dialect().reportCommands(reading));
        return;
    case Indication::Kind::Status:
        AddMessage(Indication::statusLine(reading.message.callingIssi, reading.statusHex));
        return;
    case Indication::Kind::Acknowledgement:
        AddMessage(Indication::acknowledgementLine());
        return;
    }
}

void TForm1::sendReport(const QByteArray &report)
{
    // A report that finds the radio not ready is dropped.
    if (selectServiceIfDue() && SendCommand(report))
        awaitAnswer(AnswerFor::Report);
}

void TForm1::sendReports(const QList<QByteArray> &reports)
{
    if (reports.isEmpty())
        return;
    sendReport(reports.first());
    if (reports.size() < 2)
        return;
    // The radio expects a pause before the second report. The window stays
    // live meanwhile; responses, the series and retries wait for its end.
    m_reportAfterPause = reports.at(1);
    m_reportPause->start();
}

bool TForm1::reportPauseActive() const
{
    return m_reportPause->isActive();
}

void TForm1::endReportPause()
{
    const QByteArray report = m_reportAfterPause;
    m_reportAfterPause.clear();
    const bool seriesTick = std::exchange(m_seriesTickDeferred, false);
    const bool retryTick = std::exchange(m_retryTickDeferred, false);
    if (ComPort->Connected())
        sendReport(report);
    if (retryTick)
        CTSTimer();
    if (seriesTick)
        DelayTimerTimer();
    handleQueuedResponses();
}

void TForm1::cancelReportPause()
{
    m_reportPause->stop();
    m_reportAfterPause.clear();
    m_seriesTickDeferred = false;
    m_retryTickDeferred = false;
}

void TForm1::EnableAfterProbe()
{
    setEnabledAll({ConnectButton, ComPortComboBox, RadioProfileComboBox}, false);
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
