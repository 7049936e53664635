#include "session/SeriesRunOptions.h"
#include "session/SeriesRun.h"
#include "session/SeriesStatistics.h"

#include <gtest/gtest.h>

namespace {

using Action = SeriesRunCommandLine::Action;

SeriesRunCommandLine parse(const QStringList &arguments)
{
    return parseSeriesRunCommandLine(QStringList{"corvane"} + arguments);
}

TEST(SeriesRunCommandLineTest, WithoutRunOrHelpTheWindowOpensAndArgumentsAreTheToolkits)
{
    EXPECT_EQ(parse({}).action, Action::Window);
    EXPECT_EQ(parse({"-style", "fusion"}).action, Action::Window);
    EXPECT_EQ(parse({"--help"}).action, Action::ShowHelp);
    EXPECT_EQ(parse({"--run", "-h"}).action, Action::ShowHelp);
    for (const char *option : {"--run", "--port", "--to", "--count", "--reports", "--csv"})
        EXPECT_TRUE(parse({"--help"}).text.contains(QLatin1String(option))) << option;
}

TEST(SeriesRunCommandLineTest, DefaultsNeedOnlyPortAndDestination)
{
    const SeriesRunCommandLine line = parse({"--run", "--port", "SIM", "--to", "4321"});
    ASSERT_EQ(line.action, Action::Run) << line.text.toStdString();
    const SeriesRunOptions &o = line.options;
    EXPECT_EQ(o.port, QStringLiteral("SIM"));
    EXPECT_EQ(o.destination, 4321);
    EXPECT_EQ(o.profile, QStringLiteral("cmt"));
    EXPECT_EQ(o.protocolId, 130);
    EXPECT_EQ(o.count, 1);
    EXPECT_EQ(o.delayMs, 1000);
    EXPECT_FALSE(o.receivedReports);
    EXPECT_FALSE(o.consumedReports);
    EXPECT_EQ(o.waitSeconds, 10);
    EXPECT_EQ(o.line.baudRate, br9600);
    EXPECT_EQ(o.line.dataBits, dbEight);
    EXPECT_EQ(o.line.parity, prNone);
    EXPECT_EQ(o.line.stopBits, sbOneStopBit);
    EXPECT_FALSE(o.line.rtsCts);
    EXPECT_TRUE(o.csvFile.isEmpty());
}

TEST(SeriesRunCommandLineTest, ReadsEveryOption)
{
    const SeriesRunCommandLine line =
        parse({"--run",       "--port",    "/dev/ttyUSB0",
               "--baud",      "115200",    "--data-bits",
               "7",           "--parity",  "even",
               "--stop-bits", "2",         "--flow",
               "rtscts",      "--profile", "CMT",
               "--pid",       "200",       "--to",
               "16777215",    "--text",    QString::fromLatin1("Hallo \xe9"),
               "--count",     "300",       "--delay",
               "40",          "--reports", "consumed",
               "--wait",      "30",        "--csv",
               "out.csv",     "--json",    "out.json"});
    ASSERT_EQ(line.action, Action::Run) << line.text.toStdString();
    const SeriesRunOptions &o = line.options;
    EXPECT_EQ(o.line.baudRate, br115200);
    EXPECT_EQ(o.line.dataBits, dbSeven);
    EXPECT_EQ(o.line.parity, prEven);
    EXPECT_EQ(o.line.stopBits, sbTwoStopBits);
    EXPECT_TRUE(o.line.rtsCts);
    EXPECT_EQ(o.profile, QStringLiteral("cmt"));
    EXPECT_EQ(o.protocolId, 200);
    EXPECT_EQ(o.destination, 16777215);
    EXPECT_EQ(o.text, QString::fromLatin1("Hallo \xe9"));
    EXPECT_EQ(o.count, 300);
    EXPECT_EQ(o.delayMs, 40);
    EXPECT_FALSE(o.receivedReports);
    EXPECT_TRUE(o.consumedReports);
    EXPECT_EQ(o.waitSeconds, 30);
    EXPECT_EQ(o.csvFile, QStringLiteral("out.csv"));
    EXPECT_EQ(o.jsonFile, QStringLiteral("out.json"));
    EXPECT_TRUE(parse({"--run", "--port", "SIM", "--to", "1", "--reports", "both"})
                    .options.receivedReports);
}

TEST(SeriesRunCommandLineTest, UsageErrorsSayWhatIsWrong)
{
    const QStringList good{"--run", "--port", "SIM", "--to", "4321"};
    for (const QStringList &bad :
         {QStringList{"--run", "--to", "4321"}, QStringList{"--run", "--port", "SIM"},
          good + QStringList{"--to", "0"}, good + QStringList{"--to", "16777216"},
          good + QStringList{"--pid", "256"}, good + QStringList{"--count", "0"},
          good + QStringList{"--count", "2", "--delay", "0"}, good + QStringList{"--delay", "-1"},
          good + QStringList{"--reports", "all"}, good + QStringList{"--baud", "9601"},
          good + QStringList{"--parity", "odd-ish"}, good + QStringList{"--stop-bits", "1.5"},
          good + QStringList{"--flow", "xonxoff"}, good + QStringList{"--baud", "300"},
          good + QStringList{"--profile", "other"},
          good + QStringList{"--text", QString(QChar(0x20AC))}, good + QStringList{"--wait", "x"},
          good + QStringList{"--frobnicate"}, good + QStringList{"stray"}}) {
        const SeriesRunCommandLine line = parse(bad);
        EXPECT_EQ(line.action, Action::Fail) << bad.join(' ').toStdString();
        EXPECT_FALSE(line.text.isEmpty()) << bad.join(' ').toStdString();
    }
    EXPECT_EQ(parse(good + QStringList{"--profile", "etsi"}).options.profile,
              QStringLiteral("etsi"));
    // One message needs no delay.
    EXPECT_EQ(parse(good + QStringList{"--delay", "0"}).action, Action::Run);
}

TEST(SeriesRunExitStatusTest, GoodOnlyWhenEveryMessageAndRequestedReportCame)
{
    SeriesRunOptions options;
    options.count = 2;
    options.receivedReports = true;
    SeriesStatistics series;
    series.start();
    const auto written = [&series](quint8 reference) {
        const SeriesStatistics::Ticket ticket =
            series.messageScheduled(reference, "1", SeriesStatistics::ReceivedReportFlag, {});
        series.messageWritten(ticket, {});
        return ticket;
    };
    const SeriesStatistics::Ticket first = written(0);
    EXPECT_EQ(SeriesRun::exitStatusFor(options, series), SeriesRun::ExitIncomplete);
    const SeriesStatistics::Ticket second = written(1);
    series.completed(first, {1, 1});
    series.completed(second, {2, 2});
    series.reportReceived(0, "00", {3, 3});
    EXPECT_EQ(SeriesRun::exitStatusFor(options, series), SeriesRun::ExitIncomplete);
    // A report with another status is not the received report asked for.
    series.reportReceived(1, "41", {4, 4});
    EXPECT_EQ(SeriesRun::exitStatusFor(options, series), SeriesRun::ExitIncomplete);
    options.receivedReports = false;
    EXPECT_EQ(SeriesRun::exitStatusFor(options, series), SeriesRun::ExitGood);
}

} // namespace
