#include "session/SeriesRunOptions.h"

#include "files/LogFolder.h"
#include "pei/MessageTextLimit.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QJsonValue>
#include <optional>

namespace {

constexpr qint64 maxIssi = 16777215;
constexpr qint64 maxSeconds = 24 * 3600;
constexpr qint64 maxDelayMs = maxSeconds * 1000;

const char *const HelpText =
    "Tests the Short Data service of a TETRA radio on a serial line.\n"
    "Without options it opens its window. With --run it runs one series of\n"
    "text messages without a window and exits:\n"
    "  - it connects, registers the protocol identifier, sends --count\n"
    "    messages --delay ms apart and waits up to --wait seconds after the\n"
    "    last one for late answers;\n"
    "  - a progress line goes to stderr when it is a terminal, the summary\n"
    "    (counts; write to completion, received and consumed report as\n"
    "    min/median/p95/max ms) to stdout;\n"
    "  - --csv writes one row per message, --json the summary with the run's\n"
    "    options and times; times in ISO 8601 with milliseconds and the local\n"
    "    offset. Both files are checked before the series starts;\n"
    "  - SIGINT (Ctrl-C) or SIGTERM stops the series: answers already due are\n"
    "    awaited up to --wait seconds (a second signal ends the wait), then the\n"
    "    summary and the files tell what happened.\n"
    "Exit status: 0 when every message completed and every requested report\n"
    "arrived (received 00, consumed 02); 1 otherwise; 2 for a usage error, a\n"
    "port that cannot be opened or a file that cannot be written; 130 or 143\n"
    "when SIGINT or SIGTERM stopped the run.\n"
    "Example, against the simulated radio on a pseudo-terminal:\n"
    "  corvane-radiosim --report-delay-ms 150   # prints Device: /dev/pts/N\n"
    "  corvane --run --port /dev/pts/N --to 4321 --count 100 --delay 200 \\\n"
    "          --reports both --csv run.csv\n"
    "Link test: with --receiver, a second radio receives the messages (and\n"
    "with --both-ways sends every other one back). Each text begins with a tag\n"
    "(#<run>:<number>) by which arrivals are matched; the summary adds what\n"
    "arrived, and the exit status is 0 only when every message arrived intact\n"
    "and once (or --min-delivery of them arrived intact).";

std::optional<qint64> number(const QCommandLineParser &parser, const QString &name, qint64 low,
                             qint64 high, QString &problem)
{
    bool ok = false;
    const QString text = parser.value(name);
    const qint64 value = text.toLongLong(&ok);
    if (ok && value >= low && value <= high)
        return value;
    if (problem.isEmpty())
        problem = QStringLiteral("--%1 takes a whole number from %2 to %3, not '%4'")
                      .arg(name)
                      .arg(low)
                      .arg(high)
                      .arg(text);
    return std::nullopt;
}

// The words of the options that take one of a few, the default first.
const QStringList dataBitsChoices{"8", "7", "6", "5"};
const QStringList parityChoices{"none", "odd", "even", "mark", "space"};
const QStringList stopBitsChoices{"1", "2"};
const QStringList flowChoices{"none", "rtscts"};
const QStringList reportsChoices{"none", "received", "consumed", "both"};

// One of `choices` (the first is the default); its index.
std::optional<int> choice(const QCommandLineParser &parser, const QString &name,
                          const QStringList &choices, QString &problem)
{
    if (!parser.isSet(name))
        return 0;
    const int index = int(choices.indexOf(parser.value(name).toLower()));
    if (index >= 0)
        return index;
    if (problem.isEmpty())
        problem = QStringLiteral("--%1 takes %2, not '%3'")
                      .arg(name, choices.join(QStringLiteral(", ")), parser.value(name));
    return std::nullopt;
}

QString baudRateList()
{
    QStringList rates;
    for (const TBaudRate rate : offeredBaudRates())
        rates << QString::number(baudRateValue(rate));
    return rates.join(QStringLiteral(", "));
}

// The line options of the radio whose option names begin with `prefix`.
void readLine(const QCommandLineParser &parser, const QString &prefix, LineSettings &line,
              QString &problem)
{
    const QString baudName = prefix + QStringLiteral("baud");
    if (parser.isSet(baudName)) {
        bool found = false;
        const qint64 baud = parser.value(baudName).toLongLong();
        for (const TBaudRate rate : offeredBaudRates()) {
            if (qint64(baudRateValue(rate)) == baud) {
                line.baudRate = rate;
                found = true;
            }
        }
        if (!found && problem.isEmpty())
            problem = QStringLiteral("--%1 takes %2, not '%3'")
                          .arg(baudName, baudRateList(), parser.value(baudName));
    }
    if (const auto bits = choice(parser, prefix + "data-bits", dataBitsChoices, problem))
        line.dataBits = static_cast<TDataBits>(dbEight - *bits);
    if (const auto parity = choice(parser, prefix + "parity", parityChoices, problem))
        line.parity = static_cast<TParityBits>(prNone + *parity);
    if (const auto stop = choice(parser, prefix + "stop-bits", stopBitsChoices, problem))
        line.stopBits = *stop == 0 ? sbOneStopBit : sbTwoStopBits;
    if (const auto flow = choice(parser, prefix + "flow", flowChoices, problem))
        line.rtsCts = *flow == 1;
}

// The link test's options: the receiver, its line and profile, both ways,
// the least delivery ratio.
void readLinkTest(const QCommandLineParser &parser, SeriesRunOptions &options, QString &problem)
{
    const QString receiverOption = QStringLiteral("receiver");
    options.receiver = parser.value(receiverOption);
    if (options.receiver.isEmpty()) {
        for (const QString &name : parser.optionNames()) {
            if ((name.startsWith(QLatin1String("receiver-")) || name == "both-ways" ||
                 name == "min-delivery") &&
                problem.isEmpty())
                problem = QStringLiteral("--%1 needs --receiver").arg(name);
        }
        return;
    }
    if (options.receiver == options.port && problem.isEmpty())
        problem = QStringLiteral("--receiver must name another port than --port");
    readLine(parser, QStringLiteral("receiver-"), options.receiverLine, problem);
    options.receiverProfile = options.profile;
    if (parser.isSet("receiver-profile")) {
        options.receiverProfile = parser.value("receiver-profile").toLower();
        if (!SeriesRunCommandLine::profiles().contains(options.receiverProfile) &&
            problem.isEmpty())
            problem = QStringLiteral("--receiver-profile takes %1, not '%2'")
                          .arg(SeriesRunCommandLine::profiles().join(", "),
                               parser.value("receiver-profile"));
    }
    options.bothWays = parser.isSet("both-ways");
    if (parser.isSet("min-delivery")) {
        bool ok = false;
        const double ratio = parser.value("min-delivery").toDouble(&ok);
        if (ok && ratio >= 0 && ratio <= 1)
            options.minDelivery = ratio;
        else if (problem.isEmpty())
            problem = QStringLiteral("--min-delivery takes a share from 0 to 1, such as 0.99, "
                                     "not '%1'")
                          .arg(parser.value("min-delivery"));
    }
}

} // namespace

const QStringList &SeriesRunCommandLine::profiles()
{
    // In the order of RadioProfile, as the window's selector lists them.
    static const QStringList known{QStringLiteral("cmt"), QStringLiteral("etsi")};
    return known;
}

bool opensNoWindow(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return parseSeriesRunCommandLine(arguments).action != SeriesRunCommandLine::Action::Window;
}

SeriesRunCommandLine parseSeriesRunCommandLine(const QStringList &arguments)
{
    SeriesRunCommandLine result;
    const bool run = arguments.contains(QStringLiteral("--run"));
    const bool help =
        arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h"));
    const bool version = arguments.contains(QStringLiteral("--version"));

    QCommandLineParser parser;
    // The toolkit's own options are single-dash words (-style, -reverse):
    // never letters of short options.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QString::fromLatin1(HelpText));
    const QCommandLineOption helpOption({"h", "help"}, "Show this help and exit.");
    parser.addOption(helpOption);
    const QCommandLineOption versionOption("version", "Show the version and exit.");
    parser.addOption(versionOption);
    parser.addOptions({
        {"run", "Run one series without a window, then exit."},
        {"port", "The radio's port: SIM (the simulated radio), COM1..COM4 or a device path.",
         "port"},
        {"baud", "Line speed in bits per second, " + baudRateList() + " (default 9600).", "n"},
        {"data-bits", "5, 6, 7 or 8 (default 8).", "n"},
        {"parity", "none, odd, even, mark or space (default none).", "p"},
        {"stop-bits", "1 or 2 (default 1).", "n"},
        {"flow", "none or rtscts (default none).", "f"},
        {"profile",
         "The radio's PEI dialect: " + SeriesRunCommandLine::profiles().join(", ") +
             " (default cmt).",
         "name"},
        {"pid", "Protocol identifier to register and send with, 0..255 (default 130).", "n"},
        {"to", "Destination ISSI, 1..16777215.", "issi"},
        {"text", "The message text, Latin-1 (default \"Corvane test\").", "text"},
        {"count", "Messages in the series (default 1).", "n"},
        {"delay", "Milliseconds between messages (default 1000).", "ms"},
        {"reports", "Reports to ask for: none, received, consumed or both (default none).",
         "which"},
        {"wait", "Seconds to wait for late answers after the last message (default 10).", "s"},
        {"answer-timeout",
         "Seconds the radio may take to answer any command (default: 10 for commands, 30 for "
         "messages and reports).",
         "s"},
        {"report-timeout",
         "Seconds a requested report may take before it counts as missing (default 60).", "s"},
        {"csv", "Write one row per message to this file.", "file"},
        {"json", "Write the summary as JSON to this file.", "file"},
        {"log-dir",
         "Write the message and PEI logs to daily files in this folder (default: "
         "$XDG_STATE_HOME/corvane or ~/.local/state/corvane).",
         "folder"},
        {"no-log", "Write no log files."},
        {"receiver",
         "A link test: the port of the radio that receives the messages: SIM2 (the second "
         "simulated radio, on one network with SIM), COM1..COM4 or a device path.",
         "port"},
        {"receiver-profile", "The receiver's PEI dialect (default: that of --profile).", "name"},
        {"receiver-baud", "The receiver's line speed, as --baud.", "n"},
        {"receiver-data-bits", "The receiver's data bits, as --data-bits.", "n"},
        {"receiver-parity", "The receiver's parity, as --parity.", "p"},
        {"receiver-stop-bits", "The receiver's stop bits, as --stop-bits.", "n"},
        {"receiver-flow", "The receiver's flow control, as --flow.", "f"},
        {"both-ways",
         "With --receiver: the radios send in turn, the receiver to the sender's own identity "
         "(asked with AT+CNUMF?)."},
        {"min-delivery",
         "With --receiver: the run is good when at least this share of the messages arrives "
         "intact, from 0 to 1 (default: all of them, each once, with every report).",
         "ratio"},
    });
    const bool parsed = parser.parse(arguments);
    if (!run && !help && !version) {
        // Whatever the parser knows belongs to --run; the rest is the toolkit's.
        const QStringList given = parser.optionNames();
        if (!given.isEmpty()) {
            result.action = SeriesRunCommandLine::Action::Fail;
            result.text = QStringLiteral("--%1 works only with --run").arg(given.constFirst());
        }
        return result;
    }
    if (!parsed) {
        result.action = SeriesRunCommandLine::Action::Fail;
        result.text = parser.errorText();
        return result;
    }
    if (parser.isSet(helpOption)) {
        result.action = SeriesRunCommandLine::Action::ShowHelp;
        result.text = parser.helpText();
        return result;
    }
    if (parser.isSet(versionOption)) {
        result.action = SeriesRunCommandLine::Action::ShowVersion;
        return result;
    }
    result.action = SeriesRunCommandLine::Action::Fail;
    if (!parser.positionalArguments().isEmpty()) {
        result.text = "Unexpected argument: " + parser.positionalArguments().constFirst();
        return result;
    }
    for (const char *required : {"port", "to"}) {
        if (!parser.isSet(required)) {
            result.text = QStringLiteral("--run needs --%1").arg(QLatin1String(required));
            return result;
        }
    }

    QString problem;
    SeriesRunOptions &options = result.options;
    options.port = parser.value("port");
    readLine(parser, QString(), options.line, problem);
    if (parser.isSet("profile")) {
        options.profile = parser.value("profile").toLower();
        if (!SeriesRunCommandLine::profiles().contains(options.profile) && problem.isEmpty())
            problem =
                QStringLiteral("--profile takes %1, not '%2'")
                    .arg(SeriesRunCommandLine::profiles().join(", "), parser.value("profile"));
    }
    const auto value = [&](const char *name, qint64 low, qint64 high, int fallback) {
        if (!parser.isSet(name))
            return fallback;
        return int(number(parser, name, low, high, problem).value_or(fallback));
    };
    options.protocolId = value("pid", 0, 255, options.protocolId);
    options.destination = value("to", 1, maxIssi, 0);
    options.count = value("count", 1, 999999999, options.count);
    options.delayMs = value("delay", 0, maxDelayMs, options.delayMs);
    options.waitSeconds = value("wait", 0, maxSeconds, options.waitSeconds);
    if (parser.isSet("answer-timeout"))
        options.answerTimeoutSeconds = value("answer-timeout", 1, maxSeconds, 0);
    options.reportTimeoutSeconds =
        value("report-timeout", 1, maxSeconds, options.reportTimeoutSeconds);
    if (parser.isSet("text"))
        options.text = parser.value("text");
    // One character is one octet on the line.
    for (const QChar c : options.text) {
        if (c.unicode() > 0xFF && problem.isEmpty())
            problem = QStringLiteral("--text holds '%1', which is not a Latin-1 character").arg(c);
    }
    if (problem.isEmpty())
        problem = textLengthProblem(options.text, options.protocolId,
                                    MessageTextLimit::DefaultUserDataBits);
    if (const auto reports = choice(parser, "reports", reportsChoices, problem)) {
        options.receivedReports = *reports == 1 || *reports == 3;
        options.consumedReports = *reports == 2 || *reports == 3;
    }
    options.csvFile = parser.value("csv");
    options.jsonFile = parser.value("json");
    if (!options.csvFile.isEmpty() && options.csvFile == options.jsonFile && problem.isEmpty())
        problem = QStringLiteral("--csv and --json name the same file");
    options.logFolder = parser.value("log-dir");
    options.writeLogs = !parser.isSet("no-log");
    if (parser.isSet("log-dir") && !options.writeLogs && problem.isEmpty())
        problem = QStringLiteral("--log-dir and --no-log cannot go together");
    readLinkTest(parser, options, problem);
    // The series timer does not tick with an interval of 0.
    if (options.count > 1 && options.delayMs == 0 && problem.isEmpty())
        problem = QStringLiteral("--delay must be at least 1 ms for more than one message");
    if (!problem.isEmpty()) {
        result.text = problem;
        return result;
    }
    result.action = SeriesRunCommandLine::Action::Run;
    return result;
}

QString textLengthProblem(const QString &text, int protocolId, int userDataBits)
{
    const int most = MessageTextLimit::maxCharacters(userDataBits, QByteArray::number(protocolId));
    if (text.size() <= most)
        return QString();
    return QStringLiteral("--text has %1 characters; with protocol identifier %2 the radio takes "
                          "at most %3 (%4 bits of user data)")
        .arg(text.size())
        .arg(protocolId)
        .arg(most)
        .arg(userDataBits);
}

namespace {

// A line's settings in the run record, under names that begin with `prefix`
// ("baud", or "receiverBaud").
void addLineJson(QJsonObject &json, const LineSettings &line, const QString &prefix)
{
    const auto name = [&prefix](const char *key) {
        QString text = QString::fromLatin1(key);
        if (!prefix.isEmpty())
            text = prefix + text.left(1).toUpper() + text.mid(1);
        return text;
    };
    json.insert(name("baud"), qint64(baudRateValue(line.baudRate)));
    json.insert(name("dataBits"), dataBitsChoices.at(dbEight - line.dataBits).toInt());
    json.insert(name("parity"), parityChoices.at(line.parity - prNone));
    json.insert(name("stopBits"), line.stopBits == sbOneStopBit ? 1 : 2);
    json.insert(name("flow"), flowChoices.at(line.rtsCts ? 1 : 0));
}

} // namespace

QJsonObject toJson(const SeriesRunOptions &options)
{
    const int reports = (options.receivedReports ? 1 : 0) + (options.consumedReports ? 2 : 0);
    const auto fileName = [](const QString &name) {
        return name.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(name);
    };
    QJsonObject json{
        {"port", options.port},
        {"profile", options.profile},
        {"pid", options.protocolId},
        {"to", options.destination},
        {"text", options.text},
        {"count", options.count},
        {"delayMs", options.delayMs},
        {"reports", reportsChoices.at(reports)},
        {"waitSeconds", options.waitSeconds},
        {"answerTimeoutSeconds", options.answerTimeoutSeconds
                                     ? QJsonValue(*options.answerTimeoutSeconds)
                                     : QJsonValue(QJsonValue::Null)},
        {"reportTimeoutSeconds", options.reportTimeoutSeconds},
        {"csv", fileName(options.csvFile)},
        {"json", fileName(options.jsonFile)},
        {"logDir", !options.writeLogs            ? QJsonValue(QJsonValue::Null)
                   : options.logFolder.isEmpty() ? QJsonValue(files::defaultLogFolder())
                                                 : QJsonValue(options.logFolder)},
    };
    addLineJson(json, options.line, QString());
    if (!options.receiver.isEmpty()) {
        json.insert("receiver", options.receiver);
        json.insert("receiverProfile",
                    options.receiverProfile.isEmpty() ? options.profile : options.receiverProfile);
        addLineJson(json, options.receiverLine, QStringLiteral("receiver"));
        json.insert("bothWays", options.bothWays);
        json.insert("minDelivery", options.minDelivery ? QJsonValue(*options.minDelivery)
                                                       : QJsonValue(QJsonValue::Null));
    }
    return json;
}
