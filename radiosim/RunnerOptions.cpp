#include "radiosim/RunnerOptions.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <random>

namespace radiosim {

namespace {

constexpr qint64 maxIssi = 16777215;
constexpr qint64 maxParts = 255;
constexpr qint64 maxSeconds = 24 * 3600;
constexpr qint64 maxDelayMs = maxSeconds * 1000;
constexpr qint64 maxCount = 1000000000;
constexpr qint64 maxJunkBytes = 4096;

// Reads the option's value as a whole number within bounds, or explains.
std::optional<qint64> number(const QCommandLineParser &parser, const QString &name, qint64 low,
                             qint64 high, QString &problem)
{
    bool ok = false;
    const QString text = parser.value(name);
    const qint64 value = text.toLongLong(&ok);
    if (ok && value >= low && value <= high)
        return value;
    problem = QStringLiteral("--%1 takes a whole number from %2 to %3, not '%4'")
                  .arg(name)
                  .arg(low)
                  .arg(high)
                  .arg(text);
    return std::nullopt;
}

// "40,120,300": delays in milliseconds, at least one.
std::optional<QList<qint64>> delayList(const QString &text, QString &problem)
{
    QList<qint64> delays;
    for (const QString &part : text.split(QLatin1Char(','))) {
        bool ok = false;
        const qint64 value = part.trimmed().toLongLong(&ok);
        if (!ok || value < 0 || value > maxDelayMs) {
            problem = QStringLiteral("--report-delays-ms takes whole numbers from 0 to %1 "
                                     "separated by commas, not '%2'")
                          .arg(maxDelayMs)
                          .arg(text);
            return std::nullopt;
        }
        delays.append(value);
    }
    return delays;
}

// Octet 2 of an SDS-TRANSFER: "00" to "0F".
std::optional<quint8> reportRequest(const QString &text, QString &problem)
{
    bool ok = false;
    const uint value = text.toUInt(&ok, 16);
    if (ok && text.size() == 2 && value <= 0x0F)
        return quint8(value);
    problem = QStringLiteral("--peer-report takes octet 2 of an SDS-TRANSFER, 00 to 0F, not '%1'")
                  .arg(text);
    return std::nullopt;
}

// An SSI, or in the standard dialect a full identity of up to 17 digits.
std::optional<Identity> peerIdentity(const QString &text, bool standard, QString &problem)
{
    const Identity digits = text.toLatin1();
    if (isIdentity(digits) && (standard || identityType(digits) == 0))
        return digits;
    problem =
        QStringLiteral("--peer-issi takes an ISSI from 1 to %1%2, not '%3'")
            .arg(maxIssi)
            .arg(standard ? QStringLiteral(" or a full identity of 9 to 17 digits") : QString())
            .arg(text);
    return std::nullopt;
}

std::optional<quint32> timestamp(const QString &text, QString &problem)
{
    if (const std::optional<quint32> value = timestampFromDigits(text.toLatin1()))
        return value;
    problem = QStringLiteral("--peer-timestamp takes MMDDhhmm, not '%1'").arg(text);
    return std::nullopt;
}

// A probability, 0 to 1.
std::optional<double> probability(const QCommandLineParser &parser, const QString &name,
                                  QString &problem)
{
    bool ok = false;
    const QString text = parser.value(name);
    const double value = text.toDouble(&ok);
    if (ok && value >= 0 && value <= 1)
        return value;
    problem = QStringLiteral("--%1 takes a probability from 0 to 1, not '%2'").arg(name, text);
    return std::nullopt;
}

std::optional<CtsdsrForm> ctsdsrForm(const QString &text, QString &problem)
{
    if (text == QLatin1String("six"))
        return CtsdsrForm::Six;
    if (text == QLatin1String("seven"))
        return CtsdsrForm::Seven;
    if (text == QLatin1String("swapped"))
        return CtsdsrForm::SevenSwapped;
    problem = QStringLiteral("--ctsdsr-form takes six, seven or swapped, not '%1'").arg(text);
    return std::nullopt;
}

std::optional<SimDialect> dialect(const QString &text, QString &problem)
{
    if (text == QLatin1String("cmt"))
        return SimDialect::Cmt;
    if (text == QLatin1String("etsi"))
        return SimDialect::Etsi;
    problem = QStringLiteral("--dialect takes cmt or etsi, not '%1'").arg(text);
    return std::nullopt;
}

} // namespace

RunnerCommandLine parseRunnerCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Plays a TETRA radio's PEI on a pseudo-terminal. Prints \"Device: <path>\" first;\n"
        "open that path as the serial port. Then logs what it receives and answers.\n"
        "Each client that opens the device meets a freshly started radio.");
    const QCommandLineOption help({"h", "help"}, "Show this help and exit.");
    parser.addOption(help);
    parser.addOptions({
        {"dialect",
         "The PEI dialect: cmt (\"+CMT\" indications, the default) or etsi (the\n"
         "standard's \"+CTSDSR\" indications, AT+CTSP, AT+CTSDS, two-argument AT+CMGS).",
         "name", "cmt"},
        {"issi", "The radio's own ISSI (default 1234).", "n", "1234"},
        {"echo", "Start with command echo on (ATE0 and ATE1 switch it)."},
        {"answer-delay-ms",
         "Send each final result (OK, ERROR, +CME ERROR, with its +CMGS line)\n"
         "this long after the command arrived complete.",
         "ms", "0"},
        {"strict", "Abort a command with ERROR when input arrives while it executes (from\n"
                   "its arrival until its final result, at least 20 ms); that input is\n"
                   "discarded and an aborted message is not delivered."},
        {"drop-answer",
         "Never send the n-th final result of each client (from 1, the probe's\n"
         "included); what the command does still happens (0: none).",
         "n", "0"},
        {"junk-before-answer",
         "Send n junk bytes, no line end among them, before every final result.", "n", "0"},
        {"report-delay-ms", "Send reports this long after the completion instead of with it.", "ms",
         "0"},
        {"report-delays-ms",
         "Delay the reports by these delays in turn, e.g. 40,120,300 (overrides "
         "--report-delay-ms); each is logged.",
         "list"},
        {"peer-interval-s", "Every n seconds a peer sends a text message (0: no peer).", "n", "0"},
        {"peer-interval-ms", "As --peer-interval-s, in milliseconds; it wins when both are given.",
         "ms", "0"},
        {"peer-issi",
         "The peer's ISSI (default 5678); with etsi also a full identity of 9 to\n"
         "17 digits (leading zeros kept), sent with identity type 1.",
         "n", "5678"},
        {"status-interval-ms", "With etsi: every n ms the peer sends a status message (0: none).",
         "ms", "0"},
        {"status", "The peer's status value, 0 to 65535 (default 32772, hex 8004).", "n", "32772"},
        {"peer-report",
         "Octet 2 of the peer's SDS-TL messages, 00 to 0F: bit 04 asks for the\n"
         "received report, 08 for the consumed one (06, 0A, 0E set the short form\n"
         "bit too; 01 is the storage bit).",
         "hex", "06"},
        {"peer-pid",
         "Protocol identifier of the peer's messages (default 130). 130, 137 and\n"
         "138 carry the text header, 2 and 9 a text coding octet only.",
         "n", "130"},
        {"peer-ucs2", "The peer's text in UCS-2 (coding scheme 26) instead of ISO 8859-1."},
        {"peer-timestamp", "The peer's text header carries this timestamp.", "MMDDhhmm"},
        {"peer-parts",
         "The peer's messages are long ones in n parts (PID 138 with the\n"
         "concatenation header), each part with its own reference (1: plain).",
         "n", "1"},
        {"short-reports", "Answer the client's report requests with short reports (status\n"
                          "service in etsi) in place of full reports."},
        {"short-report-type",
         "Every short report of this type: 0 not supported, 1 memory full, 2\n"
         "received, 3 consumed (implies --short-reports).",
         "n"},
        {"report-ack", "Full reports ask for an acknowledgement; the radio logs whether the\n"
                       "client's SDS-ACK came."},
        {"ctsdsr-form",
         "With etsi, the +CTSDSR header: six fields (default), seven (length,\n"
         "then end-to-end encryption), or swapped (encryption before length).",
         "form", "six"},
        {"lenient-identity-type",
         "With etsi, take a destination of either form whatever identity type\n"
         "AT+CTSDS selected (by default a mismatch is +CME ERROR: 50)."},
        {"cme-next", "Refuse the first message with \"+CME ERROR: <n>\".", "n"},
        {"split-answers", "Send every answer in two halves, 500 ms apart."},
        {"garbage-every-s", "Send garbage bytes every n seconds (0: never).", "n", "0"},
        {"echo-probe", "Echo the first probe, as a radio with echo on would."},
        {"pair", "Two radios on two pseudo-terminals (a line \"Device: <path> (ISSI n)\"\n"
                 "for each, then \"Seed: n\"), on a simulated network: Short Data\n"
                 "between them crosses it, and the far client answers report requests."},
        {"second-issi", "With --pair, the second radio's ISSI (default: --issi plus 1).", "n"},
        {"net-delay-ms", "With --pair, the network's delay.", "ms", "0"},
        {"net-jitter-ms", "With --pair, a uniform jitter of the delay, up to ms either way.", "ms",
         "0"},
        {"net-loss", "With --pair, the probability that an SDS is lost.", "p", "0"},
        {"net-duplicate", "With --pair, the probability that an SDS arrives twice.", "p", "0"},
        {"net-reorder",
         "With --pair, the probability that an SDS is held back until the next\n"
         "one has arrived.",
         "p", "0"},
        {"net-corrupt",
         "With --pair, the probability that the last octet of an SDS is changed\n"
         "(never its SDS-TL header).",
         "p", "0"},
        {"seed", "With --pair, the seed of the network's random numbers (default: chosen).", "n"},
        {"exit-after-seconds", "Exit after n seconds (0: run until SIGINT or SIGTERM).", "n", "0"},
        {"quiet", "Print the device line only, no log."},
    });

    RunnerCommandLine result;
    if (!parser.parse(arguments)) {
        result.action = RunnerCommandLine::Action::Fail;
        result.text = parser.errorText();
        return result;
    }
    if (parser.isSet(help)) {
        result.action = RunnerCommandLine::Action::ShowHelp;
        result.text = parser.helpText();
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.action = RunnerCommandLine::Action::Fail;
        result.text = "Unexpected argument: " + parser.positionalArguments().constFirst();
        return result;
    }

    QString problem;
    RunnerOptions &options = result.options;
    RadioSimOptions &radio = options.radio;
    radio.echo = parser.isSet("echo");
    radio.splitAnswers = parser.isSet("split-answers");
    options.echoProbe = parser.isSet("echo-probe");
    options.quiet = parser.isSet("quiet");
    const auto issi = number(parser, "issi", 1, maxIssi, problem);
    const auto reportDelay = number(parser, "report-delay-ms", 0, maxDelayMs, problem);
    const auto peerInterval = number(parser, "peer-interval-s", 0, maxSeconds, problem);
    const auto peerIntervalMs = number(parser, "peer-interval-ms", 0, maxDelayMs, problem);
    const auto chosenDialect = dialect(parser.value("dialect"), problem);
    const bool standard = chosenDialect == SimDialect::Etsi;
    const auto peer = peerIdentity(parser.value("peer-issi"), standard, problem);
    const auto parts = number(parser, "peer-parts", 1, maxParts, problem);
    const auto form = ctsdsrForm(parser.value("ctsdsr-form"), problem);
    if (parser.isSet("peer-timestamp")) {
        if (const auto stamp = timestamp(parser.value("peer-timestamp"), problem))
            radio.peerCoding.timestamp = *stamp;
    }
    if (parser.isSet("short-report-type")) {
        if (const auto type = number(parser, "short-report-type", 0, 3, problem))
            radio.shortReportType = quint8(*type);
    }
    const auto statusInterval = number(parser, "status-interval-ms", 0, maxDelayMs, problem);
    const auto status = number(parser, "status", 0, 65535, problem);
    const auto peerReport = reportRequest(parser.value("peer-report"), problem);
    const auto peerPid = number(parser, "peer-pid", 0, 255, problem);
    const auto garbage = number(parser, "garbage-every-s", 0, maxSeconds, problem);
    const auto exitAfter = number(parser, "exit-after-seconds", 0, maxSeconds, problem);
    const auto answerDelay = number(parser, "answer-delay-ms", 0, maxDelayMs, problem);
    NetworkOptions &network = options.network;
    options.pair = parser.isSet("pair");
    const auto netDelay = number(parser, "net-delay-ms", 0, maxDelayMs, problem);
    const auto netJitter = number(parser, "net-jitter-ms", 0, maxDelayMs, problem);
    const auto loss = probability(parser, "net-loss", problem);
    const auto duplicate = probability(parser, "net-duplicate", problem);
    const auto reorder = probability(parser, "net-reorder", problem);
    const auto corrupt = probability(parser, "net-corrupt", problem);
    if (loss && duplicate && reorder && corrupt && *loss + *duplicate + *reorder + *corrupt > 1)
        problem = QStringLiteral("the --net-loss, --net-duplicate, --net-reorder and --net-corrupt "
                                 "probabilities add up to more than 1");
    network.seed = std::random_device()();
    if (parser.isSet("seed")) {
        bool ok = false;
        network.seed = parser.value("seed").toULongLong(&ok);
        if (!ok)
            problem = QStringLiteral("--seed takes a whole number from 0, not '%1'")
                          .arg(parser.value("seed"));
    }
    std::optional<qint64> secondIssi;
    if (parser.isSet("second-issi"))
        secondIssi = number(parser, "second-issi", 1, maxIssi, problem);
    const auto dropAnswer = number(parser, "drop-answer", 0, maxCount, problem);
    const auto junk = number(parser, "junk-before-answer", 0, maxJunkBytes, problem);
    std::optional<QList<qint64>> reportDelays;
    if (parser.isSet("report-delays-ms"))
        reportDelays = delayList(parser.value("report-delays-ms"), problem);
    if (parser.isSet("cme-next")) {
        if (const auto code = number(parser, "cme-next", 0, 999, problem))
            options.cmeNext = int(*code);
    }
    if (!problem.isEmpty()) {
        result.action = RunnerCommandLine::Action::Fail;
        result.text = problem;
        return result;
    }
    radio.dialect = *chosenDialect;
    radio.statusIntervalMs = *statusInterval;
    radio.statusValue = quint16(*status);
    radio.issi = quint64(*issi);
    radio.reportDelayMs = *reportDelay;
    if (reportDelays)
        radio.reportDelaysMs = *reportDelays;
    radio.peerIntervalMs = *peerIntervalMs > 0 ? *peerIntervalMs : *peerInterval * 1000;
    radio.peerIdentity = *peer;
    radio.peerParts = int(*parts);
    radio.peerCoding.ucs2 = parser.isSet("peer-ucs2");
    radio.shortReports = parser.isSet("short-reports") || radio.shortReportType.has_value();
    radio.reportsAskAck = parser.isSet("report-ack");
    radio.ctsdsrForm = *form;
    radio.lenientIdentityType = parser.isSet("lenient-identity-type");
    radio.peerReportRequest = *peerReport;
    radio.peerProtocolId = quint8(*peerPid);
    radio.garbageIntervalMs = *garbage * 1000;
    radio.answerDelayMs = *answerDelay;
    network.delayMs = *netDelay;
    network.jitterMs = *netJitter;
    network.loss = *loss;
    network.duplicate = *duplicate;
    network.reorder = *reorder;
    network.corrupt = *corrupt;
    options.secondIssi = secondIssi ? quint64(*secondIssi) : radio.issi % maxIssi + 1;
    if (options.pair && options.secondIssi == radio.issi) {
        result.action = RunnerCommandLine::Action::Fail;
        result.text = QStringLiteral("--second-issi must differ from --issi");
    }
    radio.strict = parser.isSet("strict");
    radio.dropAnswer = int(*dropAnswer);
    radio.junkBeforeAnswer = int(*junk);
    options.exitAfterMs = *exitAfter * 1000;
    return result;
}

} // namespace radiosim
