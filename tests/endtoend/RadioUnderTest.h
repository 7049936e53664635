#pragma once

#include "radiosim/RadioSim.h"
#include "radiosim/SimNetwork.h"

#include <QList>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <optional>

class EndToEndWindow;

// What the radio does besides answering.
struct RadioSetup
{
    radiosim::SimDialect dialect = radiosim::SimDialect::Cmt;
    // In process only: asked at every open in place of `dialect`, as the
    // program's SIM port asks the window's profile.
    std::function<radiosim::SimDialect()> followDialect;
    quint64 peerIssi = 5678;
    // Standard dialect: every so many milliseconds the peer sends a status
    // message (0: none).
    int statusIntervalMs = 0;
    // Every so many milliseconds a peer sends a text message (0: no peer).
    int peerIntervalMs = 0;
    quint8 peerReportRequest = 0x06;
    // The first text message is refused with this "+CME ERROR" code.
    std::optional<int> refusedMessageCode;
    // The probe comes back in front of its answer, as from a radio with echo on.
    bool echoesProbe = false;
    // Reports are delayed by these in turn (empty: reports come at once).
    QList<qint64> reportDelaysMs;
    // The radio as a hard peer: each final result this late; input while a
    // command executes aborts it; the final result with this number (from
    // 1, 0: none) never sent; junk bytes before every final result.
    qint64 answerDelayMs = 0;
    bool strict = false;
    int dropAnswer = 0;
    int junkBeforeAnswer = 0;
    // Command echo on from the start (the radio's "--echo").
    bool echo = false;
    // The standard both ways: the peer's identity as digits (leading zeros
    // kept; when set it stands in for peerIssi), protocol identifier, text
    // coding and parts; short reports (of one type when set), reports that
    // ask for an acknowledgement, the "+CTSDSR" form; destinations of either
    // form whatever identity type was selected.
    QByteArray peerIdentity;
    // The program only: a second radio (ISSI 1235) on a simulated network
    // with this one, on a pseudo-terminal of its own (--pair).
    std::optional<radiosim::NetworkOptions> network;
    quint8 peerProtocolId = 130;
    radiosim::TextCoding peerCoding;
    int peerParts = 1;
    bool shortReports = false;
    std::optional<quint8> shortReportType;
    bool reportsAskAck = false;
    radiosim::CtsdsrForm ctsdsrForm = radiosim::CtsdsrForm::Six;
    bool lenientIdentityType = false;
    // The radio program's safety net: it ends after this long even if the
    // test process died. Long runs raise it.
    int lifetimeSeconds = 120;
};

// The radio's peer judging one report that the terminal sent it.
struct PeerVerdict
{
    qint64 atMs = 0; // on the radio's clock
    bool good = false;
    QString report; // the report's octets in hex
};

// The radio's clock in milliseconds at a line of its log, which begins with
// it in seconds ("[    3.412] "); -1 for a line without it.
qint64 logTimeMs(const QString &line);

// Reads a verdict from a line of the radio's log; nullopt for other lines.
std::optional<PeerVerdict> peerVerdictFromLog(const QString &line, qint64 atMs);

// A text message as the radio received it.
struct SeenMessage
{
    QByteArray destination;
    int reference = 0;
};
// The messages the radio's log shows it received, in order (reports and
// registrations included: the caller picks by destination).
QList<SeenMessage> messagesSeenInLog(const QStringList &log);

// A report the radio generated, with the delay it applied.
struct AppliedReportDelay
{
    int reference = 0;
    int status = 0;
    qint64 delayMs = 0;
};
QList<AppliedReportDelay> reportDelaysInLog(const QStringList &log);

// The far end of the window's port: the simulated radio in process, or the
// corvane-radiosim program on a pseudo-terminal.
class RadioUnderTest
{
public:
    virtual ~RadioUnderTest() = default;

    // The text to type into the window's port selector.
    virtual QString portName() const = 0;
    // Called once the window has opened the port and the probe was
    // answered; false when the radio cannot be reached.
    virtual bool portOpened() = 0;
    virtual QList<PeerVerdict> peerVerdicts() = 0;
    // Every line the radio has logged in this session so far.
    virtual QStringList logLines() = 0;
    // Closes the window, so that the radio's session ends, and returns what
    // the radio counted in it; nullopt when it could not be learnt.
    virtual std::optional<radiosim::RadioSim::Counters> closeAndCount(EndToEndWindow &window) = 0;
};
