#include "session/RadioSession.h"

#include "pei/Indication.h"
#include "pei/MessageTextLimit.h"
#include "pei/ResponseScan.h"
#include "pei/SdsCodec.h"
#include "ports/PortMessages.h"
#include "serial/Comms.h"
#include "session/CommandWriter.h"
#include "session/OwnIdentity.h"
#include "session/ReconnectWatch.h"
#include "session/SeriesExport.h"
#include "session/TimeStamp.h"
#include "session/Timer.h"

#include <QDateTime>
#include <QTimer>
#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

namespace {
constexpr int retryIntervalMs = 100;
constexpr int maxRetries = 50;
// Bytes are read as the port reports them (OnRxChar); the poll is the
// safety net behind that, and what notices a device that went away while
// the line was quiet. Rare, so that a connected window idles.
constexpr int safetyPollMs = 1000;
// A response cut short waits this long for the rest before it goes on as is.
constexpr int quietLineMs = 1000;
// Read at most this much in one go; what is left is read at once after.
constexpr int readChunkBytes = 64 * 1024;
// A series keeps this many of its newest messages in memory; older ones
// that are done wait in its archive, so a series of days fits.
constexpr int seriesMessagesInMemory = 10000;

int reportsRequestedBy(SdsCodec::ReportKind kind)
{
    switch (kind) {
    case SdsCodec::ReportKind::None:
        return 0;
    case SdsCodec::ReportKind::Received:
    case SdsCodec::ReportKind::Consumed:
        return 1;
    case SdsCodec::ReportKind::Both:
        return 2;
    }
    return 0;
}

// The command's first line, as the message window names it.
QByteArray commandName(const QByteArray &command)
{
    const qsizetype end = command.indexOf('\r');
    return end < 0 ? command : command.left(end);
}
} // namespace

RadioSession::RadioSession(QObject *parent)
    : QObject(parent), m_userDataBitLimit(MessageTextLimit::DefaultUserDataBits)
{
    ComPort = new TComPort(this);
    ComPort->setObjectName(QStringLiteral("ComPort"));
    m_writer = new CommandWriter(*ComPort, this);
    // A command is logged once it has been written, whenever that is.
    m_writer->onWritten = [this](const QByteArray &command) { commandWritten(command); };
    m_writer->onBackgroundFailure = [this] { writeFailed(); };

    CTS = new TTimer(this);
    CTS->setObjectName(QStringLiteral("CTS"));
    CTS->setEnabled(false);
    CTS->setInterval(500);

    DataTimer = new TTimer(this);
    DataTimer->setObjectName(QStringLiteral("DataTimer"));
    DataTimer->setEnabled(false);
    DataTimer->setInterval(safetyPollMs);

    // Runs only while bytes of a response cut short are held.
    m_quietLine = new QTimer(this);
    m_quietLine->setObjectName(QStringLiteral("quietLine"));
    m_quietLine->setSingleShot(true);

    // The series timer keeps its period to the millisecond.
    DelayTimer = new TTimer(this, Qt::PreciseTimer);
    DelayTimer->setObjectName(QStringLiteral("DelayTimer"));
    DelayTimer->setEnabled(false);

    m_wake = new QTimer(this);
    m_wake->setObjectName(QStringLiteral("queueWake"));
    m_wake->setSingleShot(true);
    m_wake->setTimerType(Qt::PreciseTimer);

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
    connect(m_wake, &QTimer::timeout, this, guarded(&RadioSession::wakeUp));
    connect(m_quietLine, &QTimer::timeout, this, guarded(&RadioSession::flushQuietLine));
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

void RadioSession::setPortEnumerator(std::shared_ptr<serial::PortEnumerator> enumerator)
{
    Reconnect->setPortEnumerator(std::move(enumerator));
}

void RadioSession::addMessage(const QByteArray &text)
{
    emit messageEntry(currentTimeStamp().toLatin1() + m_logMark + text);
}

void RadioSession::logCommand(const QByteArray &command)
{
    emit peiLogEntry(currentTimeStamp().toLatin1() + m_logMark + " pc: " + command);
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

// The queue -----------------------------------------------------------------

qint64 RadioSession::timeoutFor(PeiCommand::Kind kind) const
{
    switch (kind) {
    case PeiCommand::Kind::Probe:
        // A late answer to the probe is still taken: it waits as long as it takes.
        return 0;
    case PeiCommand::Kind::Message:
    case PeiCommand::Kind::Report:
        return m_timeouts.messageMs;
    case PeiCommand::Kind::Registration:
    case PeiCommand::Kind::ServiceSelection:
    case PeiCommand::Kind::LengthQuery:
    case PeiCommand::Kind::Typed:
        return m_timeouts.commandMs;
    }
    return m_timeouts.commandMs;
}

quint64 RadioSession::enqueue(PeiCommand::Kind kind, const QByteArray &bytes,
                              CommandContext context, qint64 notBeforeMs)
{
    PeiCommand command;
    command.kind = kind;
    command.bytes = bytes;
    command.timeoutMs = timeoutFor(kind);
    command.notBeforeMs = notBeforeMs;
    const quint64 id = m_queue.enqueue(command);
    m_contexts[id] = std::move(context);
    pump();
    return id;
}

bool RadioSession::SendCommand(const QByteArray &Command)
{
    if (!ComPort->GetCTS())
        return false;
    writeNow(Command);
    return true;
}

void RadioSession::writeNow(const QByteArray &command)
{
    RxBuffer.expectEcho(command);
    m_inFlightEchoed = false;
    m_readsBeforeWrite = m_reads;
    // A slow write goes on in the background; nothing else is written meanwhile.
    m_writer->write(command);
}

void RadioSession::StartRetry(std::uint8_t State)
{
    CTS->setInterval(retryIntervalMs);
    CTS->setEnabled(true);
    RetryCount = 0;
    RadioState = State;
}

void RadioSession::pump()
{
    while (ComPort->Connected() && !m_heldId && !m_queue.inFlight()) {
        const PeiCommand *next = m_queue.next(monotonicNowMs());
        if (!next || !writeHead(*next))
            break;
    }
    scheduleWake();
}

bool RadioSession::writeHead(const PeiCommand &command)
{
    const PeiCommand head = command;
    if (ComPort->GetCTS()) {
        m_queue.startWrite(head.id);
        writeNow(head.bytes);
        return true;
    }
    // The radio's ready line is down.
    switch (head.kind) {
    case PeiCommand::Kind::Report:
        // A report that finds the radio not ready is dropped.
        m_queue.drop(head.id);
        dropUnwritten(head);
        return true;
    case PeiCommand::Kind::Typed:
        m_queue.drop(head.id);
        dropUnwritten(head);
        addMessage(PortMessages::commandNotSent());
        return true;
    default:
        // Held at the head of the queue for the retry timer.
        m_heldId = head.id;
        PendingCommand = head.bytes;
        StartRetry(RadioState);
        return false;
    }
}

void RadioSession::CTSTimer()
{
    ++RetryCount;
    const auto held = std::find_if(m_queue.commands().begin(), m_queue.commands().end(),
                                   [this](const PeiCommand &c) { return m_heldId == c.id; });
    if (held == m_queue.commands().end()) {
        CTS->setEnabled(false);
        m_heldId.reset();
        pump();
        return;
    }
    if (ComPort->GetCTS()) {
        CTS->setEnabled(false);
        m_heldId.reset();
        const PeiCommand command = *held;
        if (writeHead(command))
            pump();
        return;
    }
    if (RetryCount < maxRetries)
        return;
    CTS->setEnabled(false);
    m_heldId.reset();
    if (const std::optional<PeiCommand> dropped = m_queue.drop(held->id))
        dropUnwritten(*dropped);
    emit readyTimeout(QStringLiteral("Timeout waiting for ready signal from radio.\r\n"
                                     "Ensure that the radio is connected and turned on.'"));
    pump();
}

void RadioSession::dropUnwritten(const PeiCommand &command)
{
    const CommandContext context = m_contexts[command.id];
    m_contexts.erase(command.id);
    if (context.ticket)
        m_series.messageNotSent(*context.ticket);
    // The second report keeps its spacing after the first, sent or not.
    if (!context.followingReport.isEmpty())
        enqueue(PeiCommand::Kind::Report, context.followingReport, followingReportContext(context),
                monotonicNowMs() + SdsCodec::PauseBetweenReportsMs);
}

void RadioSession::commandWritten(const QByteArray &command)
{
    const Moment now = momentNow();
    logCommand(command);
    const PeiCommand *inFlight = m_queue.inFlight();
    if (!inFlight)
        return;
    m_queue.writeFinished(now.monotonicMs);
    const CommandContext context = m_contexts[inFlight->id];
    if (context.ticket) {
        m_series.messageWritten(*context.ticket, now);
        emit messageWritten(context.ticket->index, now);
    }
    if (context.answersMessage)
        emit reportWritten(*context.answersMessage);
    if (!context.followingReport.isEmpty())
        enqueue(PeiCommand::Kind::Report, context.followingReport, followingReportContext(context),
                now.monotonicMs + SdsCodec::PauseBetweenReportsMs);
    scheduleWake();
}

void RadioSession::writeFailed()
{
    // The write under way failed; the commands queued behind it never reach
    // the radio, and a series ends with its first failure.
    if (const std::optional<PeiCommand> failed = m_queue.answered()) {
        if (const std::optional<SeriesStatistics::Ticket> ticket = m_contexts[failed->id].ticket)
            m_series.messageNotSent(*ticket);
    }
    forgetConnection();
    stopSeries();
}

void RadioSession::scheduleWake()
{
    std::optional<qint64> wakeMs = m_queue.nextWakeMs();
    if (const std::optional<qint64> expiry = m_series.nextReportExpiryMs(m_reportTimeoutMs)) {
        if (!wakeMs || *expiry < *wakeMs)
            wakeMs = *expiry;
    }
    if (!wakeMs) {
        m_wake->stop();
        return;
    }
    m_wake->start(int(std::clamp<qint64>(*wakeMs - monotonicNowMs() + 1, 0, 24 * 3600 * 1000)));
}

void RadioSession::wakeUp()
{
    const qint64 now = monotonicNowMs();
    if (const std::optional<PeiCommand> timedOut = m_queue.takeTimedOut(now)) {
        const CommandContext context = m_contexts[timedOut->id];
        m_contexts.erase(timedOut->id);
        addMessage(": No answer from the radio to " + commandName(timedOut->bytes));
        if (context.ticket)
            m_series.noAnswer(*context.ticket);
        if (context.question == Question::OwnIdentity)
            emit ownIdentityAnswered(QByteArray());
        returnToRegisteredIfDone();
    }
    m_series.expireReports(now, m_reportTimeoutMs);
    pump();
}

void RadioSession::forgetConnection()
{
    for (const PeiCommand &command : m_queue.commands()) {
        if (const std::optional<SeriesStatistics::Ticket> ticket = m_contexts[command.id].ticket)
            m_series.messageNotSent(*ticket);
    }
    m_queue.clear();
    m_contexts.clear();
    m_heldId.reset();
    CTS->setEnabled(false);
    m_wake->stop();
}

int RadioSession::messagesAwaitingAnswer() const
{
    const PeiCommand *inFlight = m_queue.inFlight();
    const bool messageInFlight = inFlight && inFlight->kind == PeiCommand::Kind::Message;
    return m_queue.queued(PeiCommand::Kind::Message) + (messageInFlight ? 1 : 0);
}

bool RadioSession::reportPauseActive() const
{
    const qint64 now = monotonicNowMs();
    return std::any_of(
        m_queue.commands().begin(), m_queue.commands().end(), [now](const PeiCommand &command) {
            return command.kind == PeiCommand::Kind::Report && command.notBeforeMs > now;
        });
}

// The dialogue -----------------------------------------------------------------

void RadioSession::selectServiceFor(const QByteArray &identity)
{
    const Identity::Type type = Identity::typeOf(identity).value_or(Identity::Type::Ssi);
    const QByteArray selection = dialect().serviceSelectionCommand(type);
    if (selection.isEmpty() || m_selectedIdentityType == type)
        return;
    m_selectedIdentityType = type;
    enqueue(PeiCommand::Kind::ServiceSelection, selection);
}

void RadioSession::askForMaxLength()
{
    const QByteArray query = dialect().maxLengthQuery();
    if (!query.isEmpty())
        enqueue(PeiCommand::Kind::LengthQuery, query);
}

void RadioSession::startDialectSession()
{
    // The new connection speaks the chosen dialect from its first byte.
    m_dialect = &dialectOf(m_profile);
    RxBuffer.setDialect(*m_dialect);
    m_selectedIdentityType.reset();
    m_radioEchoes = false;
    setUserDataBitLimit(MessageTextLimit::DefaultUserDataBits);
}

bool RadioSession::connectTo(const QString &path)
{
    MessageReference = 0;
    forgetConnection();
    if (const std::optional<FramedResponse> rest = RxBuffer.flush())
        logAndQueue(*rest);
    m_responseQueue.clear();
    // A Connect of the user's own ends a wait for a vanished device.
    stopWaitingForDevice();
    m_reRegisterIdentifier.clear();
    m_probeAnswered = false;
    if (const int error = openPort(path); error != 0) {
        emit openFailed(path, error);
        return false;
    }
    m_connectedDevice = Reconnect->deviceAt(ComPort->DeviceName());
    emit portOpened(path);
    startProbe();
    return true;
}

void RadioSession::registerApplication(const QByteArray &protocolIdText)
{
    m_registrationIdentifier = protocolIdText;
    addMessage(": Trying to register this application.");
    const QByteArray command = dialect().registrationCommand(protocolIdText);
    RadioState = rsRegistering;
    enqueue(PeiCommand::Kind::Registration, command);
}

void RadioSession::ComposeAndSendTextMessage()
{
    composeAndSend();
}

RadioSession::MessageFields RadioSession::composeAndSend()
{
    const MessageFields fields = m_messageSource ? m_messageSource() : MessageFields();
    // A destination the radio cannot take is never turned into another one.
    if (!dialect().acceptsDestination(fields.destination)) {
        addMessage(": Not sent to " + fields.destination + ": " + dialect().destinationRefusal());
        emit destinationRefused(dialect().destinationRefusal());
        return fields;
    }
    // A message that has no room for report requests asks for none.
    const std::uint8_t reportFlags =
        dialect().reportRequestRefusal(fields.protocolIdText).isEmpty() ? ReportRequestFlags : 0;
    const QByteArray command = dialect().textMessageCommand(
        fields.protocolIdText, reportFlags, MessageReference, fields.destination, fields.text);
    addMessage(SdsCodec::sendingLine(fields.destination, fields.text));
    if (const QByteArray note = dialect().sendingNote(fields.protocolIdText); !note.isEmpty())
        addMessage(note);
    CommandContext context;
    context.ticket =
        m_series.messageScheduled(MessageReference, fields.destination, reportFlags, momentNow());
    emit messageScheduled(context.ticket->index, fields.text);
    ++MessageReference;
    RadioState = rsSending;
    selectServiceFor(fields.destination);
    enqueue(PeiCommand::Kind::Message, command, context);
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

void RadioSession::dropQueuedMessages()
{
    std::vector<quint64> queued;
    for (const PeiCommand &command : m_queue.commands()) {
        if (command.kind == PeiCommand::Kind::Message)
            queued.push_back(command.id);
    }
    for (const quint64 id : queued) {
        if (m_heldId == id) {
            CTS->setEnabled(false);
            m_heldId.reset();
        }
        if (const std::optional<PeiCommand> dropped = m_queue.drop(id))
            dropUnwritten(*dropped);
    }
    returnToRegisteredIfDone();
    pump();
}

void RadioSession::startSeries(int repetitions, int delayMs, SeriesMemory memory)
{
    m_series.start();
    m_series.archiveOlderThan(memory == SeriesMemory::Whole ? std::numeric_limits<int>::max()
                                                            : seriesMessagesInMemory,
                              SeriesExport::csvLine);
    composeAndSend();
    if (repetitions > 1) {
        RepeatsLeft = repetitions - 1;
        DelayTimer->setInterval(delayMs);
        DelayTimer->setEnabled(true);
        emit seriesRunningChanged(true);
    }
}

void RadioSession::DelayTimerTimer()
{
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

void RadioSession::setReportRequested(std::uint8_t flag, bool requested)
{
    if (requested)
        ReportRequestFlags |= flag;
    else
        ReportRequestFlags &= std::uint8_t(~flag);
}

void RadioSession::sendTypedCommand(const QByteArray &command)
{
    // Its answer, up to the final result, belongs to it and not to a message.
    enqueue(PeiCommand::Kind::Typed, command);
}

void RadioSession::askOwnIdentity()
{
    m_identityText.clear();
    CommandContext context;
    context.question = Question::OwnIdentity;
    enqueue(PeiCommand::Kind::Typed, OwnIdentity::query(), context);
}

void RadioSession::tellOwnIdentity(const QByteArray &response)
{
    const std::optional<QByteArray> identity =
        OwnIdentity::fromAnswer(std::exchange(m_identityText, QByteArray()) + response);
    emit ownIdentityAnswered(identity && dialect().acceptsDestination(*identity) ? *identity
                                                                                 : QByteArray());
}

bool RadioSession::commandLineAllowed() const
{
    const PeiCommand *inFlight = m_queue.inFlight();
    const bool registering = m_queue.queued(PeiCommand::Kind::Registration) > 0 ||
                             (inFlight && inFlight->kind == PeiCommand::Kind::Registration);
    return ComPort->Connected() && !m_portLost && m_probeAnswered && !registering &&
           messagesAwaitingAnswer() == 0;
}

// Receiving -----------------------------------------------------------------

void RadioSession::DataTimerTimer()
{
    try {
        readArrivedBytes();
    } catch (...) {
        // A vanished port is reported once; the next Connect polls again.
        DataTimer->setEnabled(false);
        throw;
    }
    handleQueuedResponses();
    m_longMessages.dropExpired(monotonicNowMs());
    showDroppedParts();
}

void RadioSession::flushQuietLine()
{
    readArrivedBytes();
    if (RxBuffer.isEmpty())
        return;
    // A response cut short, or junk with no line end, goes on once the line
    // has been quiet for a while.
    const qint64 quietMs = monotonicNowMs() - RxBuffer.lastReadAtMs();
    if (quietMs < quietLineMs) {
        m_quietLine->start(int(quietLineMs - quietMs));
        return;
    }
    if (const std::optional<FramedResponse> rest = RxBuffer.flush())
        logAndQueue(*rest);
    handleQueuedResponses();
}

void RadioSession::readArrivedBytes()
{
    if (!ComPort->Connected())
        return;
    // Asking first keeps the port's own words for a vanished device.
    if (ComPort->InputCount() <= 0)
        return;
    // Everything that has arrived, in one go: the reader keeps up with the line.
    for (;;) {
        QByteArray received;
        const int count = ComPort->ReadAvailable(received, readChunkBytes);
        if (count <= 0)
            return;
        ++m_reads;
        for (const FramedResponse &response : RxBuffer.feed(received, monotonicNowMs()))
            logAndQueue(response);
        if (!RxBuffer.isEmpty())
            m_quietLine->start(quietLineMs);
        if (count < readChunkBytes)
            return;
    }
}

void RadioSession::logAndQueue(const FramedResponse &response)
{
    const QTime readAt = QDateTime::fromMSecsSinceEpoch(momentAt(response.readAtMs).wallMs).time();
    emit peiLogEntry(formatTimeStamp(readAt).toLatin1() + m_logMark + " ms:" + response.bytes);
    m_responseQueue.append({response, m_reads});
}

void RadioSession::handleQueuedResponses()
{
    while (!m_responseQueue.isEmpty()) {
        // Taken off first: a response that raises an error is not handled twice.
        const ReadResponse read = m_responseQueue.takeFirst();
        m_handlingReadAtMs = read.response.readAtMs;
        m_handlingReadNumber = read.readNumber;
        try {
            handleResponse(read.response);
        } catch (...) {
            m_handlingReadAtMs.reset();
            m_handlingReadNumber.reset();
            throw;
        }
        m_handlingReadAtMs.reset();
        m_handlingReadNumber.reset();
    }
}

void RadioSession::handleResponse(const FramedResponse &response)
{
    if (response.isEcho) {
        // Logged, never taken for an answer.
        m_radioEchoes = true;
        m_inFlightEchoed = m_queue.inFlight() != nullptr;
        return;
    }
    keepIdentityText(response.bytes);
    DispatchResponse(response.bytes);
    HandleReceivedChunk(response.bytes);
}

void RadioSession::keepIdentityText(const QByteArray &response)
{
    // The radio's identity comes on a line of its own before the final result.
    const PeiCommand *inFlight = m_queue.inFlight();
    if (!inFlight || ResponseScan::endsWithFinalResult(response) ||
        (m_handlingReadNumber && *m_handlingReadNumber <= m_readsBeforeWrite))
        return;
    const auto context = m_contexts.find(inFlight->id);
    if (context != m_contexts.end() && context->second.question == Question::OwnIdentity)
        m_identityText += response;
}

Moment RadioSession::responseMoment() const
{
    return m_handlingReadAtMs ? momentAt(*m_handlingReadAtMs) : momentNow();
}

void RadioSession::enterProbeAnswered()
{
    addMessage(": Connection to radio successful. Radio supports AT commands.");
    // A registration asked for meanwhile keeps its state.
    if (RadioState == rsProbing)
        RadioState = rsReady;
    m_probeAnswered = true;
    emit probeAnswered();
    askForMaxLength();
}

void RadioSession::DispatchResponse(const QByteArray &Chunk)
{
    if (!ResponseScan::endsWithFinalResult(Chunk))
        return;
    // Read before the command in flight was written: not its answer.
    const bool readBeforeTheWrite =
        m_handlingReadNumber && *m_handlingReadNumber <= m_readsBeforeWrite;
    // A radio that echoes says the command in flight before it answers it:
    // a final result in front of that echo answers a command that timed out.
    const bool beforeTheEcho = m_radioEchoes && !m_inFlightEchoed;
    if (m_queue.inFlight() && !readBeforeTheWrite &&
        !(beforeTheEcho && m_queue.lateAnswersOwed() > 0)) {
        answerInFlight(Chunk);
        pump();
        return;
    }
    if (m_queue.lateAnswersOwed() > 0) {
        m_queue.lateAnswerTaken();
        m_series.lateAnswer(responseMoment());
        addMessage(": Late answer from the radio, after its command timed out: " +
                   ResponseScan::answerLines(Chunk).join(' '));
    }
}

void RadioSession::answerInFlight(const QByteArray &response)
{
    // Answered before the writer noticed its write had ended.
    if (m_queue.writing())
        commandWritten(m_queue.inFlight()->bytes);
    const std::optional<PeiCommand> command = m_queue.answered();
    const CommandContext context = m_contexts[command->id];
    m_contexts.erase(command->id);
    const QByteArray finalLine = ResponseScan::answerLines(response).constLast();
    switch (command->kind) {
    case PeiCommand::Kind::Probe:
        // Only "OK" answers the probe; anything else leaves it probing.
        if (ResponseScan::isProbeAnswer(response))
            enterProbeAnswered();
        return;
    case PeiCommand::Kind::Registration:
        if (dialect().isRegistrationAnswer(response)) {
            addMessage(": Registration successful.");
            RadioState = rsRegistered;
            emit registrationAnswered();
        } else {
            // The state stays: the user registers again, or reconnects.
            addMessage(": Registration refused by the radio: " + finalLine);
        }
        return;
    case PeiCommand::Kind::ServiceSelection:
        if (finalLine != "OK")
            addMessage(": Short Data service selection refused by the radio: " + finalLine);
        return;
    case PeiCommand::Kind::LengthQuery:
        if (const std::optional<int> bits = dialect().maxLengthBits(response))
            setUserDataBitLimit(*bits);
        return;
    case PeiCommand::Kind::Message:
        answerMessage(context, response);
        return;
    case PeiCommand::Kind::Typed:
        if (context.question == Question::OwnIdentity)
            tellOwnIdentity(response);
        return;
    case PeiCommand::Kind::Report:
        // Only logged.
        return;
    }
}

void RadioSession::answerMessage(const CommandContext &context, const QByteArray &response)
{
    const Moment at = responseMoment();
    const ResponseScan::SendingAnswer answer = dialect().readSendingAnswer(response);
    switch (answer.kind) {
    case ResponseScan::SendingAnswer::Kind::Completed:
        addMessage(answer.line);
        if (context.ticket)
            m_series.completed(*context.ticket, at);
        returnToRegisteredIfDone();
        return;
    case ResponseScan::SendingAnswer::Kind::Refused:
        // A refusal leaves the link in the sending state.
        addMessage(answer.line);
        if (context.ticket)
            m_series.refused(*context.ticket, answer.refusal, at);
        return;
    case ResponseScan::SendingAnswer::Kind::None:
        addMessage(": Unexpected answer from MS: " + ResponseScan::answerLines(response).join(' '));
        if (context.ticket)
            m_series.refused(*context.ticket, "unexpected answer", at);
        return;
    }
}

void RadioSession::returnToRegisteredIfDone()
{
    if (RadioState == rsSending && messagesAwaitingAnswer() == 0)
        RadioState = rsRegistered;
}

void RadioSession::HandleReceivedChunk(const QByteArray &Chunk)
{
    const Indication::Reading reading = dialect().readIndication(Chunk);
    if (!reading.note.isEmpty())
        addMessage(reading.note);
    const QByteArray &caller = reading.message.callingIssi;
    switch (reading.kind) {
    case Indication::Kind::None:
        return;
    case Indication::Kind::Malformed:
        addMessage(Indication::malformedLine());
        return;
    case Indication::Kind::Report:
        addMessage(Indication::reportLine(reading));
        m_series.reportReceived(reading.reportReference, reading.deliveryStatus, responseMoment());
        if (const QByteArray ack = dialect().acknowledgementCommand(reading); !ack.isEmpty()) {
            selectServiceFor(caller);
            enqueue(PeiCommand::Kind::Report, ack);
        }
        return;
    case Indication::Kind::Message: {
        const quint64 number = ++m_receivedMessages;
        // Every part of a long message is answered; the message is shown once
        // whole, and told before its reports are written.
        const std::optional<ReceivedText::Content> whole =
            m_longMessages.add(caller, reading.text, monotonicNowMs());
        if (whole) {
            addMessage(Indication::messageLine(caller, *whole));
            emit textMessageReceived({number, caller, *whole,
                                      reportsRequestedBy(reading.message.reportKind),
                                      responseMoment()});
        }
        sendReports(caller, dialect().reportCommands(reading), number);
        showDroppedParts();
        return;
    }
    case Indication::Kind::Status:
        addMessage(Indication::statusLine(caller, reading.statusHex));
        return;
    case Indication::Kind::Acknowledgement:
        addMessage(Indication::acknowledgementLine());
        return;
    }
}

void RadioSession::showDroppedParts()
{
    for (const LongMessageAssembly::Dropped &dropped : m_longMessages.takeDropped())
        addMessage(LongMessageAssembly::droppedLine(dropped));
}

RadioSession::CommandContext RadioSession::followingReportContext(const CommandContext &first)
{
    // The second report answers the same message as the first.
    CommandContext context;
    context.answersMessage = first.answersMessage;
    return context;
}

void RadioSession::sendReports(const QByteArray &caller, const QList<QByteArray> &reports,
                               quint64 messageNumber)
{
    if (reports.isEmpty())
        return;
    selectServiceFor(caller);
    CommandContext context;
    context.answersMessage = messageNumber;
    // The radio expects a pause before the second report: it waits in the
    // queue, and nothing else waits for it.
    if (reports.size() > 1)
        context.followingReport = reports.at(1);
    enqueue(PeiCommand::Kind::Report, reports.first(), context);
}
