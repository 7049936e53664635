#include "session/SeriesRunOptions.h"
#include "session/SeriesRun.h"
#include "session/SeriesStatistics.h"

#include <QJsonObject>
#include <gtest/gtest.h>
#include <vector>

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

TEST(SeriesRunCommandLineTest, RunOptionsWithoutRunAreAUsageErrorAndOpenNoWindow)
{
    for (const QStringList &arguments :
         {QStringList{"--port", "SIM"}, QStringList{"--to", "4321"}, QStringList{"--count=3"},
          QStringList{"-style", "fusion", "--csv", "run.csv"}, QStringList{"--json"}}) {
        const SeriesRunCommandLine line = parse(arguments);
        EXPECT_EQ(line.action, Action::Fail) << arguments.join(' ').toStdString();
        EXPECT_TRUE(line.text.contains(QStringLiteral("only with --run")))
            << line.text.toStdString();
    }
    EXPECT_TRUE(parse({"--to", "4321"}).text.startsWith(QStringLiteral("--to ")));
    // The toolkit's own options, single-dash words whose letters include h
    // and v, still open the window.
    for (const QStringList &toolkit :
         {QStringList{"-style", "fusion"}, QStringList{"-reverse"},
          QStringList{"-graphicssystem", "raster"}, QStringList{"--platform", "offscreen"}}) {
        EXPECT_EQ(parse(toolkit).action, Action::Window) << toolkit.join(' ').toStdString();
    }

    const auto opens = [](QList<QByteArray> arguments) {
        std::vector<char *> argv;
        for (QByteArray &argument : arguments)
            argv.push_back(argument.data());
        return !opensNoWindow(int(argv.size()), argv.data());
    };
    EXPECT_TRUE(opens({"corvane"}));
    EXPECT_TRUE(opens({"corvane", "-style", "fusion"}));
    EXPECT_FALSE(opens({"corvane", "--port", "SIM"}));
    EXPECT_FALSE(opens({"corvane", "--version"}));
    EXPECT_FALSE(opens({"corvane", "--run", "--port", "SIM", "--to", "1"}));
}

TEST(SeriesRunCommandLineTest, VersionIsShownWithOrWithoutRun)
{
    EXPECT_EQ(parse({"--version"}).action, Action::ShowVersion);
    EXPECT_EQ(parse({"--run", "--port", "SIM", "--to", "1", "--version"}).action,
              Action::ShowVersion);
    EXPECT_TRUE(parse({"--help"}).text.contains(QLatin1String("--version")));
}

TEST(SeriesRunCommandLineTest, ATextLongerThanEveryRadioTakesIsRefusedWithTheLimit)
{
    const QStringList good{"--run", "--port", "SIM", "--to", "4321"};
    // 2047 bits: 255 octets, of which "130" takes 4 for its header, others 3.
    EXPECT_EQ(parse(good + QStringList{"--text", QString(251, 'x')}).action, Action::Run);
    const SeriesRunCommandLine tooLong = parse(good + QStringList{"--text", QString(252, 'x')});
    EXPECT_EQ(tooLong.action, Action::Fail);
    EXPECT_TRUE(tooLong.text.contains(QStringLiteral("at most 251"))) << tooLong.text.toStdString();
    EXPECT_EQ(parse(good + QStringList{"--pid", "200", "--text", QString(252, 'x')}).action,
              Action::Run);
    EXPECT_TRUE(parse(good + QStringList{"--pid", "200", "--text", QString(253, 'x')})
                    .text.contains(QStringLiteral("at most 252")));

    // A radio that takes less says so after the probe.
    EXPECT_TRUE(
        textLengthProblem(QString(100, 'x'), 130, 800).contains(QStringLiteral("at most 96")));
    EXPECT_TRUE(textLengthProblem(QString(96, 'x'), 130, 800).isEmpty());
}

TEST(SeriesRunCommandLineTest, CsvAndJsonMayNotBeOneFile)
{
    const SeriesRunCommandLine line =
        parse({"--run", "--port", "SIM", "--to", "1", "--csv", "run.out", "--json", "run.out"});
    EXPECT_EQ(line.action, Action::Fail);
    EXPECT_TRUE(line.text.contains(QStringLiteral("same file"))) << line.text.toStdString();
}

TEST(SeriesRunCommandLineTest, TheOptionsAsJsonNameEveryChoice)
{
    const SeriesRunCommandLine line = parse({"--run",
                                             "--port",
                                             "/dev/ttyUSB0",
                                             "--baud",
                                             "115200",
                                             "--data-bits",
                                             "7",
                                             "--parity",
                                             "even",
                                             "--stop-bits",
                                             "2",
                                             "--flow",
                                             "rtscts",
                                             "--profile",
                                             "etsi",
                                             "--pid",
                                             "200",
                                             "--to",
                                             "99",
                                             "--text",
                                             "hi",
                                             "--count",
                                             "3",
                                             "--delay",
                                             "40",
                                             "--reports",
                                             "consumed",
                                             "--wait",
                                             "7",
                                             "--answer-timeout",
                                             "5",
                                             "--report-timeout",
                                             "9",
                                             "--csv",
                                             "a.csv"});
    ASSERT_EQ(line.action, Action::Run) << line.text.toStdString();
    const QJsonObject json = toJson(line.options);
    EXPECT_EQ(json.value("port").toString(), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(json.value("baud").toInt(), 115200);
    EXPECT_EQ(json.value("dataBits").toInt(), 7);
    EXPECT_EQ(json.value("parity").toString(), QStringLiteral("even"));
    EXPECT_EQ(json.value("stopBits").toInt(), 2);
    EXPECT_EQ(json.value("flow").toString(), QStringLiteral("rtscts"));
    EXPECT_EQ(json.value("profile").toString(), QStringLiteral("etsi"));
    EXPECT_EQ(json.value("pid").toInt(), 200);
    EXPECT_EQ(json.value("to").toInt(), 99);
    EXPECT_EQ(json.value("text").toString(), QStringLiteral("hi"));
    EXPECT_EQ(json.value("count").toInt(), 3);
    EXPECT_EQ(json.value("delayMs").toInt(), 40);
    EXPECT_EQ(json.value("reports").toString(), QStringLiteral("consumed"));
    EXPECT_EQ(json.value("waitSeconds").toInt(), 7);
    EXPECT_EQ(json.value("answerTimeoutSeconds").toInt(), 5);
    EXPECT_EQ(json.value("reportTimeoutSeconds").toInt(), 9);
    EXPECT_EQ(json.value("csv").toString(), QStringLiteral("a.csv"));
    EXPECT_TRUE(json.value("json").isNull());

    const QJsonObject defaults = toJson(parse({"--run", "--port", "SIM", "--to", "1"}).options);
    EXPECT_EQ(defaults.value("dataBits").toInt(), 8);
    EXPECT_EQ(defaults.value("parity").toString(), QStringLiteral("none"));
    EXPECT_EQ(defaults.value("reports").toString(), QStringLiteral("none"));
    EXPECT_TRUE(defaults.value("answerTimeoutSeconds").isNull());
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
