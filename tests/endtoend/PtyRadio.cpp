#include "tests/endtoend/PtyRadio.h"

#include "radiosim/SdsText.h"

#include "tests/endtoend/EndToEndWindow.h"
#include "tests/endtoend/EventLoopWait.h"

#include <QFile>
#include <QRegularExpression>

using radiosim::RadioSim;

namespace {

QStringList argumentsFor(const RadioSetup &setup)
{
    QStringList arguments{QStringLiteral("--exit-after-seconds"),
                          QString::number(setup.lifetimeSeconds)};
    if (setup.peerIntervalMs > 0)
        arguments << QStringLiteral("--peer-interval-ms") << QString::number(setup.peerIntervalMs)
                  << QStringLiteral("--peer-report")
                  << QString::asprintf("%02X", setup.peerReportRequest);
    if (setup.refusedMessageCode)
        arguments << QStringLiteral("--cme-next") << QString::number(*setup.refusedMessageCode);
    if (setup.echoesProbe)
        arguments << QStringLiteral("--echo-probe");
    if (setup.echo)
        arguments << QStringLiteral("--echo");
    if (setup.answerDelayMs > 0)
        arguments << QStringLiteral("--answer-delay-ms") << QString::number(setup.answerDelayMs);
    if (setup.strict)
        arguments << QStringLiteral("--strict");
    if (setup.dropAnswer > 0)
        arguments << QStringLiteral("--drop-answer") << QString::number(setup.dropAnswer);
    if (setup.junkBeforeAnswer > 0)
        arguments << QStringLiteral("--junk-before-answer")
                  << QString::number(setup.junkBeforeAnswer);
    if (setup.dialect == radiosim::SimDialect::Etsi)
        arguments << QStringLiteral("--dialect") << QStringLiteral("etsi");
    arguments << QStringLiteral("--peer-issi")
              << (setup.peerIdentity.isEmpty() ? QString::number(setup.peerIssi)
                                               : QString::fromLatin1(setup.peerIdentity));
    arguments << QStringLiteral("--peer-pid") << QString::number(setup.peerProtocolId);
    if (setup.peerCoding.ucs2)
        arguments << QStringLiteral("--peer-ucs2");
    if (const std::optional<quint32> stamp = setup.peerCoding.timestamp)
        arguments << QStringLiteral("--peer-timestamp")
                  << QString::fromLatin1(radiosim::timestampDigits(*stamp));
    if (setup.peerParts > 1)
        arguments << QStringLiteral("--peer-parts") << QString::number(setup.peerParts);
    if (setup.shortReports)
        arguments << QStringLiteral("--short-reports");
    if (setup.shortReportType)
        arguments << QStringLiteral("--short-report-type")
                  << QString::number(*setup.shortReportType);
    if (setup.reportsAskAck)
        arguments << QStringLiteral("--report-ack");
    if (setup.ctsdsrForm == radiosim::CtsdsrForm::Seven)
        arguments << QStringLiteral("--ctsdsr-form") << QStringLiteral("seven");
    if (setup.ctsdsrForm == radiosim::CtsdsrForm::SevenSwapped)
        arguments << QStringLiteral("--ctsdsr-form") << QStringLiteral("swapped");
    if (setup.lenientIdentityType)
        arguments << QStringLiteral("--lenient-identity-type");
    if (setup.statusIntervalMs > 0)
        arguments << QStringLiteral("--status-interval-ms")
                  << QString::number(setup.statusIntervalMs);
    if (const std::optional<radiosim::NetworkOptions> network = setup.network) {
        arguments << QStringLiteral("--pair") << QStringLiteral("--net-delay-ms")
                  << QString::number(network->delayMs) << QStringLiteral("--net-jitter-ms")
                  << QString::number(network->jitterMs);
        for (const auto &[name, probability] : {std::pair{"--net-loss", network->loss},
                                                std::pair{"--net-duplicate", network->duplicate},
                                                std::pair{"--net-reorder", network->reorder},
                                                std::pair{"--net-corrupt", network->corrupt}})
            arguments << QLatin1String(name) << QString::number(probability);
        arguments << QStringLiteral("--seed") << QString::number(network->seed);
    }
    if (!setup.reportDelaysMs.isEmpty()) {
        QStringList delays;
        for (const qint64 delay : setup.reportDelaysMs)
            delays << QString::number(delay);
        arguments << QStringLiteral("--report-delays-ms") << delays.join(QLatin1Char(','));
    }
    return arguments;
}

} // namespace

PtyRadio::PtyRadio(const RadioSetup &setup)
    : m_outputPath(m_outputDir.filePath(QStringLiteral("radiosim.log"))),
      m_program(argumentsFor(setup), m_outputPath)
{
    // An empty path tells the test that the program did not start.
    const int devices = setup.network ? 2 : 1;
    runEventLoopUntil([this, devices] {
        readLines();
        return m_devicePaths.size() == devices || !m_program.running();
    });
    if (m_devicePaths.size() < devices)
        m_devicePaths.clear();
}

PtyRadio::~PtyRadio() = default;

void PtyRadio::readLines()
{
    QFile output(m_outputPath);
    if (!output.open(QIODevice::ReadOnly) || !output.seek(m_outputRead))
        return;
    const QByteArray fresh = output.readAll();
    m_outputRead += fresh.size();
    m_partialLine += fresh;
    const qsizetype lastEnd = m_partialLine.lastIndexOf('\n');
    if (lastEnd < 0)
        return;
    const QList<QByteArray> lines = m_partialLine.left(lastEnd).split('\n');
    m_partialLine.remove(0, lastEnd + 1);
    for (const QByteArray &bytes : lines) {
        const QString line = QString::fromLocal8Bit(bytes);
        if (line.startsWith(QLatin1String("Device: ")))
            m_devicePaths.append(line.mid(8).section(QLatin1Char(' '), 0, 0));
        else
            m_log.append(line);
    }
}

QString PtyRadio::portName() const
{
    return m_devicePaths.value(0);
}

QString PtyRadio::secondPortName() const
{
    return m_devicePaths.value(1);
}

bool PtyRadio::portOpened()
{
    return waitUntil(
        [this] { return !findLog(QStringLiteral("client opened the device")).isEmpty(); },
        QStringLiteral("client session in the radio's log"));
}

QList<PeerVerdict> PtyRadio::peerVerdicts()
{
    readLines();
    QList<PeerVerdict> verdicts;
    for (const QString &line : m_log) {
        if (const std::optional<PeerVerdict> verdict = peerVerdictFromLog(line, logTimeMs(line)))
            verdicts.append(*verdict);
    }
    return verdicts;
}

QStringList PtyRadio::logLines()
{
    readLines();
    return m_log;
}

std::optional<RadioSim::Counters> PtyRadio::closeAndCount(EndToEndWindow &window)
{
    window.close();
    const QString radioOff = QStringLiteral("client closed the device: radio off after");
    if (!waitUntil([&] { return !findLog(radioOff).isEmpty(); },
                   QStringLiteral("end of the session in the radio's log")))
        return std::nullopt;
    return countersFromRadioOffLine(findLog(radioOff));
}

QString PtyRadio::findLog(const QString &text)
{
    readLines();
    for (const QString &line : m_log) {
        if (line.contains(text))
            return line;
    }
    return QString();
}

std::optional<RadioSim::Counters> countersFromRadioOffLine(const QString &line)
{
    static const QRegularExpression summary(QStringLiteral(
        "radio off after ([0-9]+) commands, ([0-9]+) probes, ([0-9]+) registrations, "
        "([0-9]+) messages completed, ([0-9]+) refused, ([0-9]+) errors, ([0-9]+) reports sent, "
        "([0-9]+) loopbacks, ([0-9]+) peer messages, ([0-9]+) good and ([0-9]+) bad reports"
        "(?: from the client, ([0-9]+) aborted, ([0-9]+) answers dropped, ([0-9]+) good and "
        "([0-9]+) bad acks, ([0-9]+) acks missing)?"));
    const QRegularExpressionMatch match = summary.match(line);
    if (!match.hasMatch())
        return std::nullopt;
    const auto field = [&match](int index) { return match.captured(index).toInt(); };
    RadioSim::Counters counters;
    counters.commandsSeen = field(1);
    counters.probesAnswered = field(2);
    counters.registrations = field(3);
    counters.messagesCompleted = field(4);
    counters.messagesRefused = field(5);
    counters.errorsAnswered = field(6);
    counters.reportsSent = field(7);
    counters.loopbacksSent = field(8);
    counters.peerMessagesSent = field(9);
    counters.goodReports = field(10);
    counters.badReports = field(11);
    counters.commandsAborted = field(12);
    counters.answersDropped = field(13);
    counters.goodAcks = field(14);
    counters.badAcks = field(15);
    counters.acksMissing = field(16);
    return counters;
}
