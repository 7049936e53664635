#include "radiosim/RadioSim.h"

#include "radiosim/Printable.h"
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
      m_peer({options.peerIssi, options.peerProtocolId, options.peerReportRequest}),
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
            decimalFields(command.mid(registration.size()), 3, 3);
        if (!fields || fields->at(0) != 1 || fields->at(1) != 3 || fields->at(2) > 255)
            return false;
        ++m_counters.registrations;
        answer(okAnswer);
        return true;
    }
    if (command.startsWith(selection)) {
        const std::optional<QList<quint64>> fields =
            decimalFields(command.mid(selection.size()), 5, 3);
        if (!fields || fields->at(0) != serviceSdsTl)
            return false;
        m_serviceSelected = true;
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
    if (!standard() && fields->destination == 0) {
        ++m_counters.registrations;
        answer(completionAnswer);
        return;
    }
    if (standard() && !m_serviceSelected) {
        log(QStringLiteral("message before the SDS-TL service was selected"));
        ++m_counters.messagesRefused;
        answer(cmeErrorAnswer(cmeServiceNotSelected));
        return;
    }
    if (m_failNextCode) {
        ++m_counters.messagesRefused;
        answer(cmeErrorAnswer(*m_failNextCode));
        m_failNextCode.reset();
        return;
    }
    ++m_counters.messagesCompleted;
    const bool isReport = octets->size() >= 2 && octetAt(*octets, 1) == sdsReport;
    if (isReport)
        checkTerminalReport(fields->destination, *octets);
    answer(completionFor(*octets));
    if (!isReport)
        m_schedule.addAnswer(reportsFor(fields->destination, *octets), m_completionMs);
    if (fields->destination == m_options.issi) {
        ++m_counters.loopbacksSent;
        queueIndication(sdsIndication(m_options.issi, *octets), m_completionMs);
    }
}

// The standard's completion names the SDS instance, the status (4: sent)
// and the message reference.
QByteArray RadioSim::completionFor(const QByteArray &octets) const
{
    if (!standard())
        return completionAnswer;
    const int reference = octets.size() >= 3 ? octetAt(octets, 2) : 0;
    return "\r\n+CMGS: 0,4," + QByteArray::number(reference) + "\r\n\r\nOK\r\n";
}

QByteArray RadioSim::sdsIndication(quint64 from, const QByteArray &octets) const
{
    if (standard())
        return ctsdsrIndication(serviceSdsTl, from, m_options.issi, octets);
    return cmtIndication(from, octets);
}

// The reports that go out with the completion; delayed ones are queued.
QByteArray RadioSim::reportsFor(quint64 destination, const QByteArray &octets)
{
    if (octets.size() < 3 || (octetAt(octets, 1) & 0xF0) != sdsTransfer)
        return {};
    QByteArray immediate;
    const auto report = [&](quint8 status) {
        ++m_counters.reportsSent;
        const QByteArray indication = sdsIndication(
            destination, reportOctets(octetAt(octets, 0), status, octetAt(octets, 2)));
        const qint64 delayMs = nextReportDelayMs();
        if (!m_options.reportDelaysMs.isEmpty())
            log(QString::asprintf("report %02X status %02X delayed %lld ms",
                                  unsigned(octetAt(octets, 2)), unsigned(status),
                                  static_cast<long long>(delayMs)));
        if (delayMs > 0)
            queueIndication(indication, m_completionMs + delayMs);
        else
            immediate += indication;
    };
    if (octetAt(octets, 1) & receivedReportRequested)
        report(statusReceived);
    if (octetAt(octets, 1) & consumedReportRequested)
        report(statusConsumed);
    return immediate;
}

qint64 RadioSim::nextReportDelayMs()
{
    if (m_options.reportDelaysMs.isEmpty())
        return m_options.reportDelayMs;
    const qint64 delayMs = m_options.reportDelaysMs.at(m_nextReportDelay);
    m_nextReportDelay = (m_nextReportDelay + 1) % m_options.reportDelaysMs.size();
    return delayMs;
}

void RadioSim::checkTerminalReport(quint64 destination, const QByteArray &octets)
{
    const PeerTraffic::Verdict verdict = m_peer.checkReport(destination, octets);
    if (verdict.good) {
        ++m_counters.goodReports;
        log(QStringLiteral("peer: good report %1")
                .arg(QString::fromLatin1(octets.toHex().toUpper())));
    } else {
        ++m_counters.badReports;
        log(QStringLiteral("peer: bad report %1: %2")
                .arg(QString::fromLatin1(octets.toHex().toUpper()), verdict.reason));
    }
}

void RadioSim::sendPeerMessage()
{
    ++m_counters.peerMessagesSent;
    queueIndication(sdsIndication(m_options.peerIssi, m_peer.nextMessage()), m_nowMs);
}

void RadioSim::sendStatus(quint16 value)
{
    if (!standard())
        return;
    QByteArray octets;
    octets.append(char(value >> 8));
    octets.append(char(value & 0xFF));
    queueIndication(ctsdsrIndication(serviceStatus, m_options.peerIssi, m_options.issi, octets),
                    m_nowMs);
    releaseDue();
}

void RadioSim::queueIndication(const QByteArray &bytes, qint64 dueMs)
{
    if (m_schedule.addIndication(bytes, dueMs))
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
    emitOutput(m_schedule.release(m_nowMs));
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
