// corvane --run as a user starts it, against corvane-radiosim on a
// pseudo-terminal: its exit status, its summary and its files.
#include "tests/endtoend/CorvaneRun.h"
#include "tests/endtoend/EventLoopWait.h"
#include "tests/endtoend/PtyRadio.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>
#include <sys/types.h>

namespace {

constexpr int runTimeoutMs = 60000;

// Waits until the radio's log shows this many messages to 4321.
testing::AssertionResult radioReceived(PtyRadio &radio, int messages)
{
    return waitUntil(
        [&] {
            int seen = 0;
            for (const SeenMessage &message : messagesSeenInLog(radio.logLines()))
                seen += message.destination == "4321" ? 1 : 0;
            return seen >= messages;
        },
        QStringLiteral("%1 messages at the radio").arg(messages), runTimeoutMs);
}

QJsonObject jsonIn(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QJsonObject();
    return QJsonDocument::fromJson(file.readAll()).object();
}

// "2026-12-08T09:05:07.042+01:00"
bool isLocalStamp(const QString &text)
{
    static const QRegularExpression stamp(
        QStringLiteral("^\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}\\.\\d{3}[+-]\\d{2}:\\d{2}$"));
    return stamp.match(text).hasMatch();
}

int countIn(const QString &text, const QString &pattern)
{
    const QRegularExpressionMatch match = QRegularExpression(pattern).match(text);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

QStringList seriesTo(const QString &port, int count)
{
    return {QStringLiteral("--run"),  QStringLiteral("--port"),  port,
            QStringLiteral("--to"),   QStringLiteral("4321"),    QStringLiteral("--count"),
            QString::number(count),   QStringLiteral("--delay"), QStringLiteral("30"),
            QStringLiteral("--wait"), QStringLiteral("5")};
}

TEST(RunModeEndToEnd, AGoodSeriesWithBothReportsExitsZeroAndWritesItsFiles)
{
    PtyRadio radio(RadioSetup{});
    ASSERT_FALSE(radio.portName().isEmpty()) << "the radio did not start";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString csvFile = dir.filePath(QStringLiteral("run.csv"));
    const QString jsonFile = dir.filePath(QStringLiteral("run.json"));
    const RunResult run =
        runCorvane(seriesTo(radio.portName(), 20) +
                   QStringList{"--reports", "both", "--csv", csvFile, "--json", jsonFile});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString() << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(
        QStringLiteral("Messages: 20 sent, 20 completed, 0 refused, 0 still waiting")))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("Reports: 20 received, 20 consumed")))
        << run.out.toStdString();
    // Not a terminal: no progress line.
    EXPECT_FALSE(run.err.contains(QStringLiteral(" sent, "))) << run.err.toStdString();

    QFile csv(csvFile);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(csv.readAll().count('\n'), 21) << "a header and a row per message";
    EXPECT_TRUE(QFile::exists(jsonFile));
}

TEST(RunModeEndToEnd, AMessageTheRadioRefusesExitsOne)
{
    RadioSetup setup;
    setup.refusedMessageCode = 35;
    PtyRadio radio(setup);
    ASSERT_FALSE(radio.portName().isEmpty()) << "the radio did not start";
    const RunResult run = runCorvane(seriesTo(radio.portName(), 5));
    EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("5 sent, 4 completed, 1 refused")))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("Refused with CME ERROR 35: 1")))
        << run.out.toStdString();
}

TEST(RunModeEndToEnd, AReportThatNeverComesExitsOneAfterTheWait)
{
    // The radio holds its reports far longer than the run waits for them.
    RadioSetup delayed;
    delayed.reportDelaysMs = {30000};
    PtyRadio slowRadio(delayed);
    ASSERT_FALSE(slowRadio.portName().isEmpty()) << "the radio did not start";
    QStringList arguments = seriesTo(slowRadio.portName(), 2);
    arguments.replace(arguments.indexOf(QStringLiteral("5")), QStringLiteral("1"));
    const RunResult run = runCorvane(arguments + QStringList{"--reports", "received"});
    EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("2 sent, 2 completed, 0 refused, 2 still waiting")))
        << run.out.toStdString();
}

TEST(RunModeEndToEnd, AMissingPortOrABadOptionExitsTwoWithTheReason)
{
    const RunResult missing = runCorvane(seriesTo(QStringLiteral("/dev/no-such-radio"), 1));
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("cannot open /dev/no-such-radio")))
        << missing.err.toStdString();
    EXPECT_TRUE(missing.out.isEmpty()) << missing.out.toStdString();

    const RunResult usage =
        runCorvane({QStringLiteral("--run"), QStringLiteral("--port"), QStringLiteral("SIM"),
                    QStringLiteral("--to"), QStringLiteral("4321"), QStringLiteral("--count"),
                    QStringLiteral("many")});
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_TRUE(usage.err.contains(QStringLiteral("--count takes a whole number")))
        << usage.err.toStdString();
}

TEST(RunModeEndToEnd, SigintMidSeriesAwaitsTheReportsDueThenWritesEverythingAndExits130)
{
    // Reports come late, so some are always due when the signal comes.
    RadioSetup setup;
    setup.reportDelaysMs = {300};
    PtyRadio radio(setup);
    ASSERT_FALSE(radio.portName().isEmpty()) << "the radio did not start";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString csvFile = dir.filePath(QStringLiteral("run.csv"));
    const QString jsonFile = dir.filePath(QStringLiteral("run.json"));
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    RunningCorvane corvane(
        seriesTo(radio.portName(), 1000) +
        QStringList{"--reports", "both", "--wait", "30", "--csv", csvFile, "--json", jsonFile});
    ASSERT_TRUE(radioReceived(radio, 5));
    ASSERT_TRUE(corvane.signal(SIGINT));
    const RunResult run = corvane.finish();

    EXPECT_EQ(run.exitCode, 130) << run.err.toStdString() << run.out.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("SIGINT: series stopped")))
        << run.err.toStdString();
    const int sent = countIn(run.out, QStringLiteral("Messages: ([0-9]+) sent"));
    EXPECT_GE(sent, 5) << run.out.toStdString();
    EXPECT_LT(sent, 1000) << run.out.toStdString();
    // Every report due came in the wait.
    EXPECT_TRUE(
        run.out.contains(QStringLiteral("%1 completed, 0 refused, 0 still waiting").arg(sent)))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("Reports: %1 received, %1 consumed").arg(sent)))
        << run.out.toStdString();

    QFile csv(csvFile);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = csv.readAll().trimmed().split('\n');
    // A header, a row per message sent, and one for each composed but never written.
    const auto notSent = std::count_if(
        rows.begin(), rows.end(), [](const QByteArray &row) { return row.contains(",not sent,"); });
    EXPECT_EQ(rows.size(), 1 + sent + notSent);

    const QJsonObject summary = jsonIn(jsonFile);
    EXPECT_EQ(summary.value("messages").toObject().value("sent").toInt(), sent);
    const QJsonObject runRecord = summary.value("run").toObject();
    EXPECT_EQ(runRecord.value("stopSignal").toString(), QStringLiteral("SIGINT"));
    EXPECT_EQ(runRecord.value("exitStatus").toInt(), 130);
    EXPECT_FALSE(runRecord.value("connectionLost").toBool(true));
    const QJsonObject options = runRecord.value("options").toObject();
    EXPECT_EQ(options.value("port").toString(), radio.portName());
    EXPECT_EQ(options.value("profile").toString(), QStringLiteral("cmt"));
    EXPECT_EQ(options.value("count").toInt(), 1000);
    EXPECT_EQ(options.value("reports").toString(), QStringLiteral("both"));
    const QString started = runRecord.value("started").toString();
    const QString ended = runRecord.value("ended").toString();
    EXPECT_TRUE(isLocalStamp(started)) << started.toStdString();
    EXPECT_TRUE(isLocalStamp(ended)) << ended.toStdString();
    const QDateTime startedAt = QDateTime::fromString(started, Qt::ISODateWithMs);
    const QDateTime endedAt = QDateTime::fromString(ended, Qt::ISODateWithMs);
    EXPECT_GE(startedAt.toMSecsSinceEpoch(), before - 1000);
    EXPECT_LE(startedAt, endedAt);
}

TEST(RunModeEndToEnd, SigtermWaitsForAnswersDueUntilASecondSignalThenExits143)
{
    // Reports that come long after the test: the wait would outlast it.
    RadioSetup setup;
    setup.reportDelaysMs = {600000};
    PtyRadio radio(setup);
    ASSERT_FALSE(radio.portName().isEmpty()) << "the radio did not start";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString jsonFile = dir.filePath(QStringLiteral("run.json"));
    RunningCorvane corvane(seriesTo(radio.portName(), 1000) + QStringList{"--reports", "received",
                                                                          "--wait", "600", "--json",
                                                                          jsonFile});
    ASSERT_TRUE(radioReceived(radio, 3));
    ASSERT_TRUE(corvane.signal(SIGTERM));
    ASSERT_TRUE(waitUntil([&] { return corvane.errorSays(QStringLiteral("waiting up to 600 s")); },
                          QStringLiteral("word of the wait"), runTimeoutMs))
        << corvane.errorSoFar().toStdString();
    EXPECT_FALSE(QFile::exists(jsonFile)) << "written before the wait ended";
    ASSERT_TRUE(corvane.signal(SIGTERM));
    const RunResult run = corvane.finish();

    EXPECT_EQ(run.exitCode, 143) << run.err.toStdString() << run.out.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("SIGTERM again: not waiting any longer")))
        << run.err.toStdString();
    const int sent = countIn(run.out, QStringLiteral("Messages: ([0-9]+) sent"));
    EXPECT_GE(sent, 3) << run.out.toStdString();
    EXPECT_EQ(countIn(run.out, QStringLiteral("([0-9]+) still waiting")), sent)
        << run.out.toStdString();
    const QJsonObject runRecord = jsonIn(jsonFile).value("run").toObject();
    EXPECT_EQ(runRecord.value("stopSignal").toString(), QStringLiteral("SIGTERM"));
    EXPECT_EQ(runRecord.value("exitStatus").toInt(), 143);
}

TEST(RunModeEndToEnd, AFileThatCannotBeWrittenStopsTheRunBeforeItTouchesTheRadio)
{
    PtyRadio radio(RadioSetup{});
    ASSERT_FALSE(radio.portName().isEmpty()) << "the radio did not start";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString csvFile = dir.filePath(QStringLiteral("no-such-folder/run.csv"));
    const QString jsonFile = dir.filePath(QStringLiteral("run.json"));
    const RunResult run = runCorvane(seriesTo(radio.portName(), 3) +
                                     QStringList{"--csv", csvFile, "--json", jsonFile});
    EXPECT_EQ(run.exitCode, 2) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(
        QStringLiteral("Cannot write file \"%1\": No such file or directory").arg(csvFile)))
        << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
    EXPECT_FALSE(QFile::exists(jsonFile));
    EXPECT_TRUE(QDir(dir.path())
                    .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                    .isEmpty());
    // corvane has ended: the radio would have logged an open by now.
    for (const QString &line : radio.logLines())
        EXPECT_FALSE(line.contains(QStringLiteral("client opened the device")))
            << line.toStdString();
}

TEST(RunModeEndToEnd, AConnectionLostMidSeriesIsRecordedInTheJson)
{
    auto radio = std::make_unique<PtyRadio>(RadioSetup{});
    ASSERT_FALSE(radio->portName().isEmpty()) << "the radio did not start";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString jsonFile = dir.filePath(QStringLiteral("run.json"));
    RunningCorvane corvane(seriesTo(radio->portName(), 1000) +
                           QStringList{"--wait", "1", "--json", jsonFile});
    ASSERT_TRUE(radioReceived(*radio, 3));
    radio.reset();
    const RunResult run = corvane.finish();
    EXPECT_EQ(run.exitCode, 1) << run.err.toStdString() << run.out.toStdString();
    const QJsonObject runRecord = jsonIn(jsonFile).value("run").toObject();
    EXPECT_TRUE(runRecord.value("connectionLost").toBool()) << run.err.toStdString();
    EXPECT_TRUE(runRecord.value("stopSignal").isNull());
    EXPECT_EQ(runRecord.value("exitStatus").toInt(), 1);
}

TEST(RunModeEndToEnd, VersionRunOptionsWithoutRunAndAnOverlongTextAnswerAtOnce)
{
    const RunResult version = runCorvane({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^corvane [0-9]+\\.[0-9]+(\\.[0-9]+)*\n$"))
                    .match(version.out)
                    .hasMatch())
        << version.out.toStdString();

    // Without a display: a window would not even start.
    const RunResult withoutRun = runCorvane({QStringLiteral("--port"), QStringLiteral("SIM"),
                                             QStringLiteral("--count"), QStringLiteral("3")});
    EXPECT_EQ(withoutRun.exitCode, 2);
    EXPECT_TRUE(withoutRun.err.contains(QStringLiteral("--port works only with --run")))
        << withoutRun.err.toStdString();

    PtyRadio radio(RadioSetup{});
    ASSERT_FALSE(radio.portName().isEmpty()) << "the radio did not start";
    const RunResult tooLong = runCorvane(seriesTo(radio.portName(), 1) +
                                         QStringList{"--text", QString(300, QLatin1Char('x'))});
    EXPECT_EQ(tooLong.exitCode, 2);
    EXPECT_TRUE(tooLong.err.contains(QStringLiteral("at most 251"))) << tooLong.err.toStdString();
    for (const QString &line : radio.logLines())
        EXPECT_FALSE(line.contains(QStringLiteral("client opened the device")))
            << line.toStdString();
}

} // namespace
