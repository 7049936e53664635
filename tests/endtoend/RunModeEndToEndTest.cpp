// corvane --run as a user starts it, against corvane-radiosim on a
// pseudo-terminal: its exit status, its summary and its files.
#include "tests/endtoend/CorvaneRun.h"
#include "tests/endtoend/PtyRadio.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

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

} // namespace
