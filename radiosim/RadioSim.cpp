#include "radiosim/RadioSim.h"

#include "radiosim/Printable.h"
#include "radiosim/RadioInfo.h"
#include "radiosim/SdsWire.h"

#include <algorithm>
#include <limits>

namespace radiosim {

namespace {

const QByteArray okAnswer = "\r\nOK\r\n";
const QByteArray errorAnswer = "\r\nERROR\r\n";
const QByteArray completionAnswer = "\r\n+CMGS: 0\r\n\r\nOK\r\n";
// The ranges of "AT+CMGS", as one radio of the standard dialect answers them.
const QByteArray rangesAnswer = "\r\n+CMGS: (0-16777214,00000001-10231638316777214,1-255,"
                                "0-999999999999999999999999),(8-" +
                                QByteArray::number(RadioSim::maxUserDataBits) + ")\r\n\r\nOK\r\n";

QByteArray cmeErrorAnswer(int code)
{
    return "\r\n+CME ERROR: " + QByteArray::number(code) + "\r\n";
}

// The due time after one that has come: the next on the grid, or one period
// from now when the clock jumped past it, so a jump gives one event, not a
// burst.
qint64 nextPeriod(qint64 dueMs, qint64 periodMs, qint64 nowMs)
{
    const qint64 next = dueMs + periodMs;
    return next > nowMs ? next : nowMs + periodMs;
}

quint8 octetAt(const QByteArray &octets, int index)
{
    return quint8(octets.at(index));
}

} // namespace

RadioSim::RadioSim(const Options &options, qint64 startMs)
    : m_options(options), m_schedule(options.quietGapMs),
      m_peer({options.peerIdentity, options.peerProtocolId, options.peerReportRequest,
              options.peerCoding, options.peerParts}),
      m_answerFaults(options.dropAnswer, options.junkBeforeAnswer), m_nowMs(startMs),
      m_nextPeerMs(startMs + options.peerIntervalMs),
      m_nextGarbageMs(startMs + options.garbageIntervalMs),
      m_nextStatusMs(startMs + options.statusIntervalMs),
      m_ctsDownUntilMs(std::numeric_limits<qint64>::min()), m_echo(options.echo)
{}

void RadioSim::receive(const QByteArray &bytes, qint64 nowMs)
{
    runTimers(nowMs);
    QByteArray echoed;
    for (qsizetype at = 0; at < bytes.size(); ++at) {
        if (executingStrictly()) {
            discardWhileExecuting(bytes.mid(at));
            break;
        }
        const char byte = bytes.at(at);
        if (m_echo)
            echoed.append(byte);
        const std::optional<PeiFrame> frame = m_framer.push(byte);
        if (!frame)
            continue;
        sendEcho(echoed);
        echoed.clear();
        startExecution(*frame);
    }
    sendEcho(echoed);
    releaseDue();
}

void RadioSim::advance(qint64 nowMs)
{
    runTimers(nowMs);
    releaseDue();
}

QByteArray RadioSim::takeOutput()
{
    QByteArray output;
    output.swap(m_output);
    return output;
}

std::optional<qint64> RadioSim::nextDueMs() const
{
    std::optional<qint64> next = m_schedule.nextDueMs();
    const auto consider = [&next](qint64 due) { next = next ? std::min(*next, due) : due; };
    if (!m_executions.empty())
        consider(m_executions.front().doneMs);
    if (const std::optional<qint64> deadline = m_awaitedAcks.nextDeadlineMs())
        consider(*deadline);
    if (m_options.peerIntervalMs > 0)
        consider(m_nextPeerMs);
    if (m_options.garbageIntervalMs > 0)
        consider(m_nextGarbageMs);
    if (standard() && m_options.statusIntervalMs > 0)
        consider(m_nextStatusMs);
    return next;
}

void RadioSim::holdCtsDown(qint64 durationMs)
{
    const qint64 until = durationMs >= std::numeric_limits<qint64>::max() - m_nowMs
                             ? std::numeric_limits<qint64>::max()
                             : m_nowMs + durationMs;
    m_ctsDownUntilMs = std::max(m_ctsDownUntilMs, until);
    log(QStringLiteral("CTS down for %1 ms").arg(durationMs));
}

void RadioSim::injectGarbage(const QByteArray &bytes)
{
    m_schedule.addAnswer(bytes, m_nowMs);
    releaseDue();
}

void RadioSim::runTimers(qint64 nowMs)
{
    m_nowMs = std::max(m_nowMs, nowMs);
    finishDueExecutions();
    expireAcks();
    if (m_options.peerIntervalMs > 0 && m_nowMs >= m_nextPeerMs) {
        m_nextPeerMs = nextPeriod(m_nextPeerMs, m_options.peerIntervalMs, m_nowMs);
        // The peer waits while unsolicited output is still queued.
        if (m_schedule.pendingIndications() == 0)
            sendPeerMessage();
    }
    if (standard() && m_options.statusIntervalMs > 0 && m_nowMs >= m_nextStatusMs) {
        m_nextStatusMs = nextPeriod(m_nextStatusMs, m_options.statusIntervalMs, m_nowMs);
        if (m_schedule.pendingIndications() == 0)
            sendStatus(m_options.statusValue);
    }
    if (m_options.garbageIntervalMs > 0 && m_nowMs >= m_nextGarbageMs) {
        m_nextGarbageMs = nextPeriod(m_nextGarbageMs, m_options.garbageIntervalMs, m_nowMs);
        m_schedule.addAnswer(m_options.garbage, m_nowMs);
    }
}

// A command executes from its arrival until its final result is due. An
// overlong line is answered while its rest is still arriving, so input
// cannot abort it.
void RadioSim::startExecution(const PeiFrame &frame)
{
    ++m_counters.commandsSeen;
    switch (frame.kind) {
    case PeiFrame::Kind::Command:
        log("rx " + printable(frame.text));
        break;
    case PeiFrame::Kind::Message:
        log("rx " + printable(frame.text + '\r' + frame.userData + '\x1A'));
        break;
    case PeiFrame::Kind::Overlong:
        log(QStringLiteral("rx overlong input, skipped to its end"));
        break;
    }
    const qint64 executionMs = m_options.strict
                                   ? std::max(m_options.answerDelayMs, minStrictExecutionMs)
                                   : m_options.answerDelayMs;
    m_executions.push_back(
        {frame, m_nowMs + executionMs, frame.kind != PeiFrame::Kind::Overlong, false});
    finishDueExecutions();
    expireAcks();
}

void RadioSim::finishDueExecutions()
{
    while (!m_executions.empty() && m_executions.front().doneMs <= m_nowMs) {
        const Execution execution = m_executions.front();
        m_executions.pop_front();
        m_completionMs = execution.doneMs;
        if (execution.aborted) {
            ++m_counters.commandsAborted;
            log("aborted " + printable(execution.frame.text) +
                QStringLiteral(": input arrived while it executed"));
            answer(errorAnswer);
        } else {
            handleFrame(execution.frame);
        }
    }
}

bool RadioSim::executingStrictly() const
{
    return m_options.strict && std::any_of(m_executions.begin(), m_executions.end(),
                                           [](const Execution &e) { return e.abortable; });
}

// Line feeds are left out: V.250 lets a terminal end a command with one
// after the carriage return.
void RadioSim::discardWhileExecuting(const QByteArray &bytes)
{
    QByteArray input = bytes;
    input.replace('\n', QByteArray());
    if (input.isEmpty())
        return;
    for (Execution &execution : m_executions)
        execution.aborted = execution.aborted || execution.abortable;
    log("rx " + printable(input) + QStringLiteral(" (aborted: received while executing)"));
}

// The echo goes out as the input arrives, after answers already due and
// before any still to come.
void RadioSim::sendEcho(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    releaseDue();
    emitOutput(bytes);
    m_schedule.noteOutput(m_nowMs);
}

void RadioSim::handleFrame(const PeiFrame &frame)
{
    switch (frame.kind) {
    case PeiFrame::Kind::Command:
        handleCommand(frame.text);
        break;
    case PeiFrame::Kind::Message:
        handleMessage(frame.text, frame.userData);
        break;
    case PeiFrame::Kind::Overlong:
        ++m_counters.errorsAnswered;
        answer(errorAnswer);
        break;
    }
}

void RadioSim::handleCommand(const QByteArray &line)
{
    const QByteArray command = line.toUpper();
    if (command == "AT") {
        ++m_counters.probesAnswered;
        if (m_echoNextProbe && !m_echo)
            m_schedule.addAnswer(line + '\r', m_completionMs);
        m_echoNextProbe = false;
        answer(okAnswer);
    } else if (command == "ATE0" || command == "ATE1") {
        m_echo = command == "ATE1";
        answer(okAnswer);
    } else if (const std::optional<QByteArray> information =
                   radioInfoAnswer(command, ownIdentity())) {
        answer(*information);
    } else if (!(standard() && handleStandardCommand(command))) {
        ++m_counters.errorsAnswered;
        answer(errorAnswer);
    }
}

// The standard dialect's own commands; false for any other.
bool RadioSim::handleStandardCommand(const QByteArray &command)
{
    if (command == "AT+CMGS=?") {
        answer(rangesAnswer);
        return true;
    }
    const QByteArray registration = "AT+CTSP=";
    const QByteArray selection = "AT+CTSDS=";
    if (command.startsWith(registration)) {
        // Register (1), SDS type 4 with TL (3), a protocol identifier.
        const std::optional<QList<quint64>> fields =
            decimalFields(command.mid(registration.size()), 3, 3, 3);
        if (!fields || fields->at(0) != 1 || fields->at(1) != 3 || fields->at(2) > 255)
            return false;
        ++m_counters.registrations;
        answer(okAnswer);
        return true;
    }
    if (command.startsWith(selection)) {
        // The AI service, the identity type of the destinations, and the
        // optional area, access priority and end-to-end encryption.
        const std::optional<QList<quint64>> fields =
            decimalFields(command.mid(selection.size()), 2, 5, 3);
        if (!fields || (fields->at(0) != serviceSdsTl && fields->at(0) != serviceStatus) ||
            fields->at(1) > 1)
            return false;
        m_service = int(fields->at(0));
        m_identityType = int(fields->at(1));
        answer(okAnswer);
        return true;
    }
    return false;
}

void RadioSim::handleMessage(const QByteArray &header, const QByteArray &rawUserData)
{
    const std::optional<CmgsHeader> fields =
        standard() ? parseTwoFieldCmgsHeader(header) : parseCmgsHeader(header);
    // The standard puts the hex on a line of its own.
    if (!fields || (standard() && !rawUserData.startsWith('\n'))) {
        ++m_counters.errorsAnswered;
        answer(errorAnswer);
        return;
    }
    const QByteArray userData = standard() ? rawUserData.mid(1) : rawUserData;
    const std::optional<QByteArray> octets = octetsFromHex(userData);
    if (!octets || octets->isEmpty() || fields->lengthBits != quint64(userData.size()) * 4) {
        log(QStringLiteral("length %1 bits does not match %2 hex digits")
                .arg(fields->lengthBits)
                .arg(userData.size()));
        ++m_counters.messagesRefused;
        answer(cmeErrorAnswer(cmeLengthMismatch));
        return;
    }
    if (!standard() && fields->destination.count('0') == fields->destination.size()) {
        ++m_counters.registrations;
        answer(completionAnswer);
        return;
    }
    if (const std::optional<int> code = refusal(fields->destination)) {
        ++m_counters.messagesRefused;
        answer(cmeErrorAnswer(*code));
        return;
    }
    ++m_counters.messagesCompleted;
    answer(completionFor(*octets));
    deliver(fields->destination, *octets);
}

std::optional<int> RadioSim::refusal(const Identity &destination)
{
    if (standard() && m_service == 0) {
        log(QStringLiteral("message before the SDS-TL service was selected"));
        return cmeServiceNotSelected;
    }
    if (standard() && !m_options.lenientIdentityType &&
        identityType(destination) != m_identityType) {
        log(QStringLiteral("destination %1 is not of identity type %2 that AT+CTSDS selected")
                .arg(QString::fromLatin1(destination))
                .arg(m_identityType));
        return cmeIdentityTypeMismatch;
    }
    if (m_failNextCode) {
        const int code = *m_failNextCode;
        m_failNextCode.reset();
        return code;
    }
    return std::nullopt;
}

// What a completed message does beyond its completion: a report or an
// acknowledgement is checked, a transfer draws the reports it asks for, and
// a message to the radio's own identity comes back.
void RadioSim::deliver(const Identity &destination, const QByteArray &octets)
{
    const bool status = standard() && m_service == serviceStatus;
    if (destination != ownIdentity() && m_network &&
        m_network(destination, octets, status ? serviceStatus : serviceSdsTl, m_completionMs)) {
        ++m_counters.sentToNetwork;
        return;
    }
    const bool sdsTl = !status && octets.size() >= 3 && octetAt(octets, 0) >= firstSdsTlProtocolId;
    const quint8 type = sdsTl ? octetAt(octets, 1) & messageTypeMask : 0;
    if (sdsTl && type == sdsReport)
        checkTerminalReport(destination, octets);
    else if (sdsTl && type == sdsAck)
        checkTerminalAck(destination, octets);
    else if (sdsTl && type == sdsTransfer)
        m_schedule.addAnswer(reportsFor(destination, octets), m_completionMs);
    if (destination != ownIdentity())
        return;
    ++m_counters.loopbacksSent;
    if (sdsTl && type == sdsTransfer)
        m_loopbackReports.await(octetAt(octets, 0), octetAt(octets, 2), octetAt(octets, 1));
    queueIndication(sdsIndication(ownIdentity(), octets, status ? serviceStatus : serviceSdsTl),
                    m_completionMs);
}

// The standard's completion names the SDS instance, the status (4: sent)
// and, for SDS-TL, the message reference.
QByteArray RadioSim::completionFor(const QByteArray &octets) const
{
    if (!standard())
        return completionAnswer;
    const bool sdsTl = m_service == serviceSdsTl && octets.size() >= 3 &&
                       octetAt(octets, 0) >= firstSdsTlProtocolId;
    const QByteArray reference = sdsTl ? "," + QByteArray::number(octetAt(octets, 2)) : "";
    return "\r\n+CMGS: 0,4" + reference + "\r\n\r\nOK\r\n";
}

QByteArray RadioSim::sdsIndication(const Identity &from, const QByteArray &octets,
                                   int service) const
{
    if (standard())
        return ctsdsrIndication(service, from, ownIdentity(), octets, m_options.ctsdsrForm);
    return cmtIndication(from, octets);
}

// The reports that go out with the completion; delayed ones are queued.
QByteArray RadioSim::reportsFor(const Identity &destination, const QByteArray &octets)
{
    const quint8 protocolId = octetAt(octets, 0);
    const quint8 request = octetAt(octets, 1);
    const quint8 reference = octetAt(octets, 2);
    QByteArray immediate;
    const auto report = [&](quint8 status) {
        ++m_counters.reportsSent;
        const QByteArray indication = reportIndication(destination, protocolId, status, reference);
        const qint64 delayMs = nextReportDelayMs();
        if (!m_options.reportDelaysMs.isEmpty())
            log(QString::asprintf("report %02X status %02X delayed %lld ms", unsigned(reference),
                                  unsigned(status), static_cast<long long>(delayMs)));
        if (delayMs > 0)
            queueIndication(indication, m_completionMs + delayMs);
        else
            immediate += indication;
    };
    if (request & receivedReportRequested)
        report(statusReceived);
    if (request & consumedReportRequested)
        report(statusConsumed);
    return immediate;
}

// A full SDS-REPORT, which may ask for an SDS-ACK, or a short report on the
// status service.
QByteArray RadioSim::reportIndication(const Identity &from, quint8 protocolId, quint8 status,
                                      quint8 reference)
{
    if (m_options.shortReports) {
        const quint8 named = status == statusReceived ? shortReportReceived : shortReportConsumed;
        return sdsIndication(
            from, shortReportOctets(m_options.shortReportType.value_or(named), reference),
            serviceStatus);
    }
    if (m_options.reportsAskAck)
        m_awaitedAcks.await(from, reference, m_completionMs + ackWaitMs);
    return sdsIndication(from,
                         reportOctets(protocolId, status, reference, m_options.reportsAskAck));
}

qint64 RadioSim::nextReportDelayMs()
{
    if (m_options.reportDelaysMs.isEmpty())
        return m_options.reportDelayMs;
    const qint64 delayMs = m_options.reportDelaysMs.at(m_nextReportDelay);
    m_nextReportDelay = (m_nextReportDelay + 1) % m_options.reportDelaysMs.size();
    return delayMs;
}

// A report to the radio's own identity answers a looped-back message; any
// other is the peer's.
void RadioSim::checkTerminalReport(const Identity &destination, const QByteArray &octets)
{
    const bool loopback = destination == ownIdentity();
    const Verdict verdict =
        loopback ? m_loopbackReports.settle(octets) : m_peer.checkReport(destination, octets);
    const QString who = loopback ? QStringLiteral("loopback") : QStringLiteral("peer");
    const QString hex = QString::fromLatin1(octets.toHex().toUpper());
    if (verdict.good) {
        ++m_counters.goodReports;
        log(QStringLiteral("%1: good report %2").arg(who, hex));
    } else {
        ++m_counters.badReports;
        log(QStringLiteral("%1: bad report %2: %3").arg(who, hex, verdict.reason));
    }
}

void RadioSim::checkTerminalAck(const Identity &destination, const QByteArray &octets)
{
    const Verdict verdict = m_awaitedAcks.settle(destination, octets);
    const QString hex = QString::fromLatin1(octets.toHex().toUpper());
    if (verdict.good) {
        ++m_counters.goodAcks;
        log(QStringLiteral("ack: good %1 to %2").arg(hex, QString::fromLatin1(destination)));
    } else {
        ++m_counters.badAcks;
        log(QStringLiteral("ack: bad %1: %2").arg(hex, verdict.reason));
    }
}

void RadioSim::expireAcks()
{
    for (const auto &[from, reference] : m_awaitedAcks.takeOverdue(m_nowMs)) {
        ++m_counters.acksMissing;
        log(QString::asprintf("ack: none within %lld ms for the report %02X from ",
                              static_cast<long long>(ackWaitMs), unsigned(reference)) +
            QString::fromLatin1(from));
    }
}

void RadioSim::sendPeerMessage()
{
    ++m_counters.peerMessagesSent;
    for (const QByteArray &part : m_peer.nextMessage())
        queueIndication(sdsIndication(m_options.peerIdentity, part), m_nowMs);
}

void RadioSim::sendStatus(quint16 value)
{
    if (!standard())
        return;
    QByteArray octets;
    octets.append(char(value >> 8));
    octets.append(char(value & 0xFF));
    queueIndication(sdsIndication(m_options.peerIdentity, octets, serviceStatus), m_nowMs);
    releaseDue();
}

void RadioSim::receiveFromNetwork(const Identity &from, const QByteArray &octets, int service,
                                  qint64 nowMs)
{
    runTimers(nowMs);
    ++m_counters.receivedFromNetwork;
    queueIndication(sdsIndication(from, octets, service), m_nowMs,
                    QStringLiteral("%1 > %2 %3")
                        .arg(QString::fromLatin1(from), QString::fromLatin1(ownIdentity()),
                             QString::fromLatin1(octets.toHex().toUpper())));
    releaseDue();
}

void RadioSim::queueIndication(const QByteArray &bytes, qint64 dueMs, const QString &note)
{
    if (m_schedule.addIndication(bytes, dueMs, note))
        return;
    ++m_counters.indicationsDropped;
    log("dropped, too much unsolicited output waiting: " + printable(bytes));
}

void RadioSim::answer(const QByteArray &finalResult)
{
    const bool split = m_splitNext || m_options.splitAnswers;
    m_splitNext = false;
    const std::optional<QByteArray> bytes = m_answerFaults.shape(finalResult);
    if (!bytes) {
        ++m_counters.answersDropped;
        log(QStringLiteral("answer %1 dropped: ").arg(m_answerFaults.finalResults()) +
            printable(finalResult));
        return;
    }
    if (split && bytes->size() >= 2) {
        const int half = int(bytes->size() / 2);
        m_schedule.addAnswer(bytes->left(half), m_completionMs);
        m_schedule.addAnswer(bytes->mid(half), m_completionMs + m_options.splitDelayMs);
    } else {
        m_schedule.addAnswer(*bytes, m_completionMs);
    }
}

void RadioSim::releaseDue()
{
    QStringList delivered;
    emitOutput(m_schedule.release(m_nowMs, &delivered));
    for (const QString &note : delivered)
        log(QStringLiteral("delivered %1 ms: ").arg(m_nowMs) + note);
}

void RadioSim::emitOutput(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    log("tx " + printable(bytes));
    m_output += bytes;
}

void RadioSim::log(const QString &line) const
{
    if (m_logger)
        m_logger(line);
}

} // namespace radiosim
