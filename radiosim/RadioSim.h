#pragma once

#include "radiosim/AnswerFaults.h"
#include "radiosim/OutputSchedule.h"
#include "radiosim/PeerTraffic.h"
#include "radiosim/PeiFramer.h"
#include "radiosim/SdsText.h"
#include "radiosim/SdsWire.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>
#include <deque>
#include <functional>
#include <optional>

namespace radiosim {

// The PEI dialect the radio speaks: "+CMT" indications and four-argument
// "AT+CMGS", or the standard's "+CTSDSR" indications, "AT+CTSP"
// registration, "AT+CTSDS" service selection and two-argument "AT+CMGS".
enum class SimDialect { Cmt, Etsi };

// How a RadioSim behaves; the defaults are a quiet, well-behaved radio.
struct RadioSimOptions
{
    SimDialect dialect = SimDialect::Cmt;
    quint64 issi = 1234;
    bool echo = false;
    // 0: reports go out with the completion, in the same write.
    qint64 reportDelayMs = 0;
    // When not empty, each report generated takes the next of these delays
    // in turn (a message's received report before its consumed one),
    // starting over at the end; reportDelayMs is then unused.
    QList<qint64> reportDelaysMs;
    // 0: no peer traffic.
    qint64 peerIntervalMs = 0;
    // An SSI, or with the standard dialect a full identity of up to 17
    // digits (leading zeros kept), which then has identity type 1.
    Identity peerIdentity = "5678";
    // Octet 2 of the peer's SDS-TL messages: the report request bits.
    quint8 peerReportRequest = 0x06;
    quint8 peerProtocolId = 130;
    // The peer's text: UCS-2 or Latin-1, with or without a timestamp.
    TextCoding peerCoding;
    // From 2: the peer's messages are long ones in this many parts.
    int peerParts = 1;
    // Reports to the terminal's messages as SDS-SHORT REPORTs (on the
    // status service in the standard dialect), of the type that names the
    // status, or of shortReportType for every one when it is set.
    bool shortReports = false;
    std::optional<quint8> shortReportType;
    // Full reports to the terminal's messages ask for an SDS-ACK.
    bool reportsAskAck = false;
    // The field order of "+CTSDSR" headers.
    CtsdsrForm ctsdsrForm = CtsdsrForm::Six;
    // Standard dialect: take a destination of either form whatever
    // identity type the service selection named.
    bool lenientIdentityType = false;
    // Every answer in two halves, the second splitDelayMs later.
    bool splitAnswers = false;
    qint64 splitDelayMs = 500;
    // 0: no periodic garbage.
    qint64 garbageIntervalMs = 0;
    QByteArray garbage = QByteArray("\x00\xA5\xFFnoise\x7F", 9);
    // Standard dialect only: every so many milliseconds the peer sends a
    // status message with this value (0: none).
    qint64 statusIntervalMs = 0;
    quint16 statusValue = 0x8004;
    // Silence before and between unsolicited indications (0: none; a
    // radio does not wait for the line to be quiet).
    qint64 quietGapMs = 0;
    // Each final result ("OK", "ERROR", "+CME ERROR: <n>", with a "+CMGS:"
    // line in front) goes out this long after its command arrived complete.
    qint64 answerDelayMs = 0;
    // A command executes from its arrival until its final result, and for
    // at least RadioSim::minStrictExecutionMs; input that arrives meanwhile
    // aborts it (as V.250 allows) and is discarded.
    bool strict = false;
    // The final result with this number, from 1, is never sent (0: none).
    int dropAnswer = 0;
    // Bytes of junk, without a line end, before every final result.
    int junkBeforeAnswer = 0;
};

// A TETRA radio as seen from its PEI: bytes in, bytes out. It answers the
// probe, echo switching, registration and SDS-TL text messages, generates
// the reports a message asks for, loops back messages sent to its own ISSI,
// plays a peer that sends messages and checks the terminal's reports about
// them, and injects faults on request. It has no thread, no device and no
// clock of its own: every call says what time it is (milliseconds from any
// fixed origin, never decreasing), and output that is due later is released
// by advance(). Output accumulates until takeOutput().
class RadioSim
{
public:
    using Options = RadioSimOptions;

    struct Counters
    {
        int commandsSeen = 0;      // command lines and messages, well formed or not
        int probesAnswered = 0;    // "AT"
        int registrations = 0;     // messages to ISSI 0, or "AT+CTSP" in the standard dialect
        int messagesCompleted = 0; // "+CMGS: 0" for a message other than a registration
        int messagesRefused = 0;   // "+CME ERROR: <n>" for a message or registration
        int errorsAnswered = 0;    // "ERROR": unknown, malformed or overlong input
        int reportsSent = 0;       // SDS-REPORT indications generated for the terminal
        int loopbacksSent = 0;
        int peerMessagesSent = 0; // text messages; status messages are not counted
        int goodReports = 0;      // terminal's reports to the peer that matched
        int badReports = 0;       // terminal's reports that did not
        int indicationsDropped = 0;
        int commandsAborted = 0; // by input during their execution (strict)
        int answersDropped = 0;  // final results never sent
        int goodAcks = 0;        // SDS-ACKs to reports that asked for one
        int badAcks = 0;         // SDS-ACKs to no such report
        int acksMissing = 0;     // reports whose SDS-ACK did not come in time
        int sentToNetwork = 0;
        int receivedFromNetwork = 0;
    };

    using Logger = std::function<void(const QString &line)>;
    // The simulated network between radios: takes an SDS to an identity it
    // serves, sent at atMs on the service, and says so.
    using NetworkSend =
        std::function<bool(const Identity &to, const QByteArray &octets, int service, qint64 atMs)>;

    // The "+CME ERROR" code for user data whose length does not match.
    static constexpr int cmeLengthMismatch = 35;
    // The code for a message in the standard dialect before "AT+CTSDS".
    static constexpr int cmeServiceNotSelected = 3;
    // The code for a destination whose form the selected identity type
    // does not take.
    static constexpr int cmeIdentityTypeMismatch = 50;
    // How long a report that asked for an SDS-ACK waits for it.
    static constexpr qint64 ackWaitMs = 30000;
    // The longest user data in bits that the standard dialect announces.
    static constexpr int maxUserDataBits = 1184;
    // How long a strict radio executes a command at the least.
    static constexpr qint64 minStrictExecutionMs = 20;

    explicit RadioSim(const Options &options = {}, qint64 startMs = 0);

    // Receives one line per event: "rx AT" for a command, "tx \r\nOK\r\n"
    // for output (escaped as by printable()), the peer's verdicts on reports,
    // "rx <input> (aborted: received while executing)" for input that a
    // strict radio discarded, and "answer <n> dropped: <bytes>".
    void setLogger(Logger logger) { m_logger = std::move(logger); }

    void receive(const QByteArray &bytes, qint64 nowMs);
    // On a simulated network, a message to a radio the network serves goes
    // to it: this radio neither reports on it nor loops it back (the far
    // terminal answers report requests itself).
    void setNetwork(NetworkSend send) { m_network = std::move(send); }
    // An SDS the network delivers from another radio: an indication to the
    // terminal, logged "delivered <t> ms: <src> > <dst> <HEX>" (t on the
    // radio's clock) when it goes out.
    void receiveFromNetwork(const Identity &from, const QByteArray &octets, int service,
                            qint64 nowMs);
    void advance(qint64 nowMs);
    QByteArray takeOutput();
    // When advance() has something to do next, if anything is scheduled.
    std::optional<qint64> nextDueMs() const;

    bool ctsUp(qint64 nowMs) const { return nowMs >= m_ctsDownUntilMs; }
    bool echo() const { return m_echo; }
    const Counters &counters() const { return m_counters; }

    // Faults. They act at the latest time given to receive() or advance().
    void holdCtsDown(qint64 durationMs);
    // The next message other than a registration is refused with the code.
    void failNextMessage(int cmeCode) { m_failNextCode = cmeCode; }
    void splitNextAnswer() { m_splitNext = true; }
    void injectGarbage(const QByteArray &bytes);
    // The next probe's answer begins with the probe itself, as from a
    // radio with echo on.
    void echoNextProbe() { m_echoNextProbe = true; }
    // The peer sends a status message now (standard dialect only).
    void sendStatus(quint16 value);

private:
    // A command between its arrival and its final result.
    struct Execution
    {
        PeiFrame frame;
        qint64 doneMs = 0;
        bool abortable = true; // input may abort it (strict)
        bool aborted = false;
    };

    void runTimers(qint64 nowMs);
    void startExecution(const PeiFrame &frame);
    void finishDueExecutions();
    bool executingStrictly() const;
    void discardWhileExecuting(const QByteArray &bytes);
    void sendEcho(const QByteArray &bytes);
    void handleFrame(const PeiFrame &frame);
    void handleCommand(const QByteArray &line);
    void handleMessage(const QByteArray &header, const QByteArray &userData);
    // Why a well-formed message is refused, as a "+CME ERROR" code.
    std::optional<int> refusal(const Identity &destination);
    void deliver(const Identity &destination, const QByteArray &octets);
    QByteArray reportsFor(const Identity &destination, const QByteArray &octets);
    QByteArray reportIndication(const Identity &from, quint8 protocolId, quint8 status,
                                quint8 reference);
    qint64 nextReportDelayMs();
    void checkTerminalReport(const Identity &destination, const QByteArray &octets);
    void checkTerminalAck(const Identity &destination, const QByteArray &octets);
    void expireAcks();
    void sendPeerMessage();
    bool handleStandardCommand(const QByteArray &command);
    QByteArray completionFor(const QByteArray &octets) const;
    Identity ownIdentity() const { return QByteArray::number(m_options.issi); }
    // Short Data from `from` to this radio on the service, in the dialect
    // spoken.
    QByteArray sdsIndication(const Identity &from, const QByteArray &octets,
                             int service = serviceSdsTl) const;
    bool standard() const { return m_options.dialect == SimDialect::Etsi; }
    void queueIndication(const QByteArray &bytes, qint64 dueMs, const QString &note = {});
    // A final result, at the completion time of the command being finished.
    void answer(const QByteArray &bytes);
    void releaseDue();
    void emitOutput(const QByteArray &bytes);
    void log(const QString &line) const;

    Options m_options;
    PeiFramer m_framer;
    OutputSchedule m_schedule;
    PeerTraffic m_peer;
    AnswerFaults m_answerFaults;
    std::deque<Execution> m_executions;
    // When the command being finished completes: its final result, reports
    // and loopback count from then.
    qint64 m_completionMs = 0;
    Counters m_counters;
    Logger m_logger;
    NetworkSend m_network;
    QByteArray m_output;
    qint64 m_nowMs = 0;
    qint64 m_nextPeerMs = 0;
    qint64 m_nextGarbageMs = 0;
    qint64 m_nextStatusMs = 0;
    // The standard dialect takes messages only once a service is selected
    // (0: none yet), and destinations of the selected identity type.
    int m_service = 0;
    int m_identityType = 0;
    AwaitedReports m_loopbackReports;
    AwaitedAcks m_awaitedAcks;
    qint64 m_ctsDownUntilMs = 0;
    bool m_echo = false;
    std::optional<int> m_failNextCode;
    bool m_splitNext = false;
    bool m_echoNextProbe = false;
    qsizetype m_nextReportDelay = 0;
};

} // namespace radiosim
