#include "session/RadioSession.h"

#include "pei/Indication.h"
#include "pei/MessageTextLimit.h"
#include "pei/ResponseScan.h"
#include "pei/SdsCodec.h"
#include "ports/PortMessages.h"
#include "serial/Comms.h"
#include "session/CommandWriter.h"
#include "session/ReconnectWatch.h"
#include "session/TimeStamp.h"
#include "session/Timer.h"

#include <QDateTime>
#include <QTimer>
#include <algorithm>
#include <utility>

namespace {
constexpr int retryIntervalMs = 100;
constexpr int maxRetries = 50;
// A response cut short waits this long for the rest before it goes on as is.
constexpr qint64 quietLineMs = 1000;

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}
} // namespace

RadioSession::RadioSession(QObject *parent)
    : QObject(parent), m_userDataBitLimit(MessageTextLimit::DefaultUserDataBits)
{
    ComPort = new TComPort(this);
    ComPort->setObjectName(QStringLiteral("ComPort"));
    m_writer = new CommandWriter(*ComPort, this);
    // A command is logged once it has been written, whenever that is.
    m_writer->onWritten = [this](const QByteArray &command) {
        logCommand(command);
        commandWritten(command);
    };
    // As when the write fails at once: a series ends with its first failure.
    // The failed command and those dropped behind it never reached the radio,
    // so no answer is waited for any more.
    m_writer->onBackgroundFailure = [this] {
        m_awaitingAnswer.clear();
        m_series.linkRestarted();
        forgetMessageWrites();
        if (seriesRunning())
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
    DelayTimer->setEnabled(false);

    m_reportPause = new QTimer(this);
    m_reportPause->setObjectName(QStringLiteral("reportPause"));
    m_reportPause->setSingleShot(true);
    m_reportPause->setTimerType(Qt::PreciseTimer);
    m_reportPause->setInterval(SdsCodec::PauseBetweenReportsMs);

    ProbeTimer = new QTimer(this);
    ProbeTimer->setObjectName(QStringLiteral("ProbeTimer"));
    ProbeTimer->setSingleShot(true);
    ProbeTimer->setInterval(SilentProbeSeconds * 1000);

    Reconnect = new ReconnectWatch(this);
    Reconnect->setObjectName(QStringLiteral("Reconnect"));
    Reconnect->OnDeviceBack = [this](const QString &device) { return reopenLostPort(device); };

    const auto guarded = [this](void (RadioSession::*handler)()) {
        return [this, handler] { runTimerHandler([this, handler] { (this->*handler)(); }); };
    };
    CTS->OnTimer = guarded(&RadioSession::CTSTimer);
    DataTimer->OnTimer = guarded(&RadioSession::DataTimerTimer);
    DelayTimer->OnTimer = guarded(&RadioSession::DelayTimerTimer);
    connect(m_reportPause, &QTimer::timeout, this, guarded(&RadioSession::endReportPause));
    connect(ProbeTimer, &QTimer::timeout, this, [this] {
        if (RadioState == rsProbing && ComPort->Connected())
            addMessage(PortMessages::silentProbe(SilentProbeSeconds, lineSummary(Line)));
    });
    // Bytes are read as they arrive; the poll timer is the safety net.
    ComPort->OnRxChar = [this](QObject *, int) {
        try {
            readArrivedBytes();
        } catch (const EComPort &) {
            // A failing port is reported once, by the poll timer.
            return;
        }
        runTimerHandler([this] { handleQueuedResponses(); });
    };
    // The line events of the event thread keep the lamps live.
    const auto modemLinesChanged = [this](QObject *) { emit this->modemLinesChanged(); };
    ComPort->OnCTS = modemLinesChanged;
    ComPort->OnDSR = modemLinesChanged;
    ComPort->OnRLSD = modemLinesChanged;
    ComPort->OnRing = modemLinesChanged;
    ComPort->OnOpen = modemLinesChanged;
    ComPort->OnClose = modemLinesChanged;

    RxBuffer.clear();
}

RadioSession::~RadioSession()
{
    // Closing lets the event thread deliver what it holds; the handlers must
    // not outlive the session they call.
    for (TNotifyEvent *handler : {&ComPort->OnCTS, &ComPort->OnDSR, &ComPort->OnRLSD,
                                  &ComPort->OnRing, &ComPort->OnOpen, &ComPort->OnClose})
        *handler = nullptr;
    ComPort->OnRxChar = nullptr;
    try {
        ComPort->Close();
    } catch (const std::exception &) {
        // A port that fails while closing is closed all the same.
    }
}

void RadioSession::setMessageSource(std::function<MessageFields()> source)
{
    m_messageSource = std::move(source);
}

void RadioSession::setByIdLinkLookup(std::function<QString(const QString &)> lookup)
{
    m_byIdLinkLookup = std::move(lookup);
}

void RadioSession::addMessage(const QByteArray &text)
{
    emit messageEntry(currentTimeStamp().toLatin1() + text);
}

void RadioSession::logCommand(const QByteArray &command)
{
    emit peiLogEntry(currentTimeStamp().toLatin1() + " pc: " + command);
}

void RadioSession::runTimerHandler(const std::function<void()> &handler)
{
    try {
        runGuarded(handler);
    } catch (const std::exception &e) {
        // Messages of the serial layer and the codec are 8-bit text.
        emit handlerFailed(QString::fromLatin1(e.what()));
    }
}

void RadioSession::setUserDataBitLimit(int bits)
{
    m_userDataBitLimit = bits;
    emit userDataBitLimitChanged(bits);
}

bool RadioSession::SendCommand(const QByteArray &Command)
{
    if (!ComPort->GetCTS())
        return false;
    // A slow write goes on in the background; the next command waits behind it.
    m_writer->write(Command);
    return true;
}

void RadioSession::StartRetry(std::uint8_t State)
{
    CTS->setInterval(retryIntervalMs);
    CTS->setEnabled(true);
    RetryCount = 0;
    RadioState = State;
}

void RadioSession::sendOrHold(const QByteArray &command, std::uint8_t state,
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

bool RadioSession::selectServiceIfDue()
{
    if (!m_serviceSelectionDue.isEmpty() && SendCommand(m_serviceSelectionDue)) {
        m_serviceSelectionDue.clear();
        awaitAnswer(AnswerFor::Command);
    }
    return m_serviceSelectionDue.isEmpty();
}

void RadioSession::sendTextMessageCommand(const QByteArray &command, const OutgoingMessage &message)
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

void RadioSession::askForMaxLength()
{
    const QByteArray query = dialect().maxLengthQuery();
    // Not worth a retry: without an answer the default limit holds.
    if (!query.isEmpty() && SendCommand(query))
        awaitAnswer(AnswerFor::LengthQuery);
}

void RadioSession::startDialectSession()
{
    // The new connection speaks the chosen dialect from its first byte.
    m_dialect = &dialectOf(m_profile);
    RxBuffer.setDialect(*m_dialect);
    m_serviceSelectionDue = m_dialect->serviceSelectionCommand();
    setUserDataBitLimit(MessageTextLimit::DefaultUserDataBits);
}

void RadioSession::messageWritten(const OutgoingMessage &message, const QByteArray &command)
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

void RadioSession::commandWritten(const QByteArray &command)
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

void RadioSession::forgetMessageWrites()
{
    m_messageWritesUnderWay.clear();
    m_lastFinishedWrite.clear();
}

void RadioSession::awaitAnswer(AnswerFor what)
{
    m_awaitingAnswer.push_back(what);
}

int RadioSession::messagesAwaitingAnswer() const
{
    return int(std::count(m_awaitingAnswer.begin(), m_awaitingAnswer.end(), AnswerFor::Message));
}

void RadioSession::CTSTimer()
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
        emit readyTimeout(QStringLiteral("Timeout waiting for ready signal from radio.\r\n"
                                         "Ensure that the radio is connected and turned on.'"));
    }
}

void RadioSession::forgetEarlierAnswers()
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

bool RadioSession::connectTo(const QString &path)
{
    MessageReference = 0;
    clearReportRequests();
    forgetEarlierAnswers();
    // A Connect of the user's own ends a wait for a vanished device.
    stopWaitingForDevice();
    m_reRegisterIdentifier.clear();
    m_probeAnswered = false;
    if (const int error = openPort(path); error != 0) {
        emit openFailed(path, error);
        return false;
    }
    emit portOpened(path);
    startProbe();
    return true;
}

void RadioSession::registerApplication(const QByteArray &protocolIdText)
{
    m_registrationIdentifier = protocolIdText;
    addMessage(": Trying to register this application.");
    sendOrHold(dialect().registrationCommand(protocolIdText), rsRegistering);
}

void RadioSession::ComposeAndSendTextMessage()
{
    composeAndSend();
}

RadioSession::MessageFields RadioSession::composeAndSend()
{
    const MessageFields fields = m_messageSource ? m_messageSource() : MessageFields();
    const QByteArray command =
        dialect().textMessageCommand(fields.protocolIdText, ReportRequestFlags, MessageReference,
                                     fields.destination, fields.text);
    addMessage(SdsCodec::sendingLine(fields.destination, fields.text));
    sendTextMessageCommand(
        command, OutgoingMessage{MessageReference, fields.destination, ReportRequestFlags});
    ++MessageReference;
    return fields;
}

bool RadioSession::seriesRunning() const
{
    return DelayTimer->Enabled();
}

void RadioSession::stopSeries()
{
    const bool wasRunning = seriesRunning();
    DelayTimer->setEnabled(false);
    if (wasRunning)
        emit seriesRunningChanged(false);
}

void RadioSession::startSeries(int repetitions, int delayMs)
{
    m_series.start();
    ComposeAndSendTextMessage();
    if (repetitions > 1) {
        RepeatsLeft = repetitions - 1;
        DelayTimer->setInterval(delayMs);
        DelayTimer->setEnabled(true);
        emit seriesRunningChanged(true);
    }
}

void RadioSession::DelayTimerTimer()
{
    if (reportPauseActive()) {
        m_seriesTickDeferred = true;
        return;
    }
    MessageFields fields;
    try {
        fields = composeAndSend();
    } catch (...) {
        // One failure ends the series instead of repeating on every tick.
        stopSeries();
        throw;
    }
    --RepeatsLeft;
    // A change of the delay takes effect from the next interval.
    DelayTimer->setInterval(fields.delayMs);
    if (RepeatsLeft <= 0)
        stopSeries();
}

void RadioSession::clearReportRequests()
{
    ReportRequestFlags = 0;
    emit reportRequestsCleared();
}

void RadioSession::setReportRequested(std::uint8_t flag, bool requested)
{
    if (requested)
        ReportRequestFlags |= flag;
    else
        ReportRequestFlags &= std::uint8_t(~flag);
}

void RadioSession::DataTimerTimer()
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

void RadioSession::readArrivedBytes()
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

void RadioSession::logAndQueue(const FramedResponse &response)
{
    const QTime readAt = QDateTime::fromMSecsSinceEpoch(response.readAtMs).time();
    emit peiLogEntry(formatTimeStamp(readAt).toLatin1() + " ms:" + response.bytes);
    m_responseQueue.append(response);
}

void RadioSession::handleQueuedResponses()
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

qint64 RadioSession::responseReadAtMs() const
{
    return m_handlingReadAtMs.value_or(nowMs());
}

void RadioSession::enterProbeAnswered()
{
    addMessage(": Connection to radio successful. Radio supports AT commands.");
    RadioState = rsReady;
    m_probeAnswered = true;
    emit probeAnswered();
    askForMaxLength();
}

void RadioSession::DispatchResponse(const QByteArray &Chunk)
{
    switch (RadioState) {
    case rsProbing:
        if (ResponseScan::isProbeAnswer(Chunk)) {
            enterProbeAnswered();
            return;
        }
        break;
    case rsRegistering:
        if (dialect().isRegistrationAnswer(Chunk)) {
            addMessage(": Registration successful.");
            RadioState = rsRegistered;
            emit registrationAnswered();
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
    addMessage(answer.line);
    if (answer.kind == ResponseScan::SendingAnswer::Kind::Completed)
        m_series.completed(responseReadAtMs());
    else
        m_series.refused(answer.refusal, responseReadAtMs());
    // A refusal leaves the link in the sending state.
    if (answer.kind == ResponseScan::SendingAnswer::Kind::Completed &&
        messagesAwaitingAnswer() == 0)
        RadioState = rsRegistered;
}

void RadioSession::HandleReceivedChunk(const QByteArray &Chunk)
{
    const Indication::Reading reading = dialect().readIndication(Chunk);
    switch (reading.kind) {
    case Indication::Kind::None:
        return;
    case Indication::Kind::Malformed:
        addMessage(Indication::malformedLine());
        return;
    case Indication::Kind::Report:
        addMessage(Indication::reportLine(reading.deliveryStatus));
        m_series.reportReceived(reading.reportReference, reading.deliveryStatus,
                                responseReadAtMs());
        return;
    case Indication::Kind::Message:
        addMessage(
            SdsCodec::receivedLine(reading.message.callingIssi, reading.message.messageOctets));
        sendReports(dialect().reportCommands(reading));
        return;
    case Indication::Kind::Status:
        addMessage(Indication::statusLine(reading.message.callingIssi, reading.statusHex));
        return;
    case Indication::Kind::Acknowledgement:
        addMessage(Indication::acknowledgementLine());
        return;
    }
}

void RadioSession::sendReport(const QByteArray &report)
{
    // A report that finds the radio not ready is dropped.
    if (selectServiceIfDue() && SendCommand(report))
        awaitAnswer(AnswerFor::Report);
}

void RadioSession::sendReports(const QList<QByteArray> &reports)
{
    if (reports.isEmpty())
        return;
    sendReport(reports.first());
    if (reports.size() < 2)
        return;
    // The radio expects a pause before the second report. The session stays
    // live meanwhile; responses, the series and retries wait for its end.
    m_reportAfterPause = reports.at(1);
    m_reportPause->start();
}

bool RadioSession::reportPauseActive() const
{
    return m_reportPause->isActive();
}

void RadioSession::endReportPause()
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

void RadioSession::cancelReportPause()
{
    m_reportPause->stop();
    m_reportAfterPause.clear();
    m_seriesTickDeferred = false;
    m_retryTickDeferred = false;
}
