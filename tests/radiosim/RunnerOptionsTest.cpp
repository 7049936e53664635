#include "radiosim/RunnerOptions.h"

#include <gtest/gtest.h>

using radiosim::parseRunnerCommandLine;
using radiosim::RunnerCommandLine;

namespace {

RunnerCommandLine parse(const QStringList &arguments)
{
    return parseRunnerCommandLine(QStringList{"corvane-radiosim"} + arguments);
}

} // namespace

TEST(RunnerOptions, DefaultsAreAPlainRadio)
{
    const RunnerCommandLine line = parse({});
    ASSERT_EQ(line.action, RunnerCommandLine::Action::Run) << line.text.toStdString();
    EXPECT_EQ(line.options.radio.issi, 1234u);
    EXPECT_FALSE(line.options.radio.echo);
    EXPECT_EQ(line.options.radio.peerIntervalMs, 0);
    EXPECT_FALSE(line.options.cmeNext);
    EXPECT_EQ(line.options.exitAfterMs, 0);
    EXPECT_EQ(line.options.radio.answerDelayMs, 0);
    EXPECT_FALSE(line.options.radio.strict);
    EXPECT_EQ(line.options.radio.dropAnswer, 0);
    EXPECT_EQ(line.options.radio.junkBeforeAnswer, 0);
}

TEST(RunnerOptions, ReadsTheHardPeerOptions)
{
    const RunnerCommandLine line = parse({"--answer-delay-ms", "500", "--strict", "--drop-answer",
                                          "3", "--junk-before-answer", "50"});
    ASSERT_EQ(line.action, RunnerCommandLine::Action::Run) << line.text.toStdString();
    EXPECT_EQ(line.options.radio.answerDelayMs, 500);
    EXPECT_TRUE(line.options.radio.strict);
    EXPECT_EQ(line.options.radio.dropAnswer, 3);
    EXPECT_EQ(line.options.radio.junkBeforeAnswer, 50);
}

TEST(RunnerOptions, ReadsEveryOption)
{
    const RunnerCommandLine line = parse({"--issi",
                                          "99",
                                          "--echo",
                                          "--report-delay-ms",
                                          "250",
                                          "--peer-interval-s",
                                          "3",
                                          "--peer-issi=77",
                                          "--peer-report",
                                          "0e",
                                          "--peer-pid",
                                          "200",
                                          "--cme-next",
                                          "4",
                                          "--split-answers",
                                          "--garbage-every-s",
                                          "7",
                                          "--echo-probe",
                                          "--exit-after-seconds",
                                          "5",
                                          "--quiet"});
    ASSERT_EQ(line.action, RunnerCommandLine::Action::Run) << line.text.toStdString();
    const radiosim::RunnerOptions &o = line.options;
    EXPECT_EQ(o.radio.issi, 99u);
    EXPECT_TRUE(o.radio.echo);
    EXPECT_EQ(o.radio.reportDelayMs, 250);
    EXPECT_EQ(o.radio.peerIntervalMs, 3000);
    EXPECT_EQ(o.radio.peerIdentity, QByteArray("77"));
    EXPECT_EQ(o.radio.peerReportRequest, 0x0E);
    EXPECT_EQ(o.radio.peerProtocolId, 200);
    EXPECT_EQ(o.cmeNext, 4);
    EXPECT_TRUE(o.radio.splitAnswers);
    EXPECT_EQ(o.radio.garbageIntervalMs, 7000);
    EXPECT_TRUE(o.echoProbe);
    EXPECT_EQ(o.exitAfterMs, 5000);
    EXPECT_TRUE(o.quiet);
}

TEST(RunnerOptions, RejectsValuesOutOfRangeAndUnknownOptions)
{
    for (const QStringList &arguments : {QStringList{"--issi", "0"},
                                         {"--issi", "16777216"},
                                         {"--issi", "12ab"},
                                         {"--peer-pid", "256"},
                                         {"--peer-report", "1C"},
                                         {"--peer-report", "C"},
                                         {"--peer-issi", "262100012345678"},
                                         {"--dialect", "etsi", "--peer-issi", "123456789012345678"},
                                         {"--peer-timestamp", "13011015"},
                                         {"--short-report-type", "4"},
                                         {"--ctsdsr-form", "eight"},
                                         {"--peer-parts", "0"},
                                         {"--report-delay-ms", "-1"},
                                         {"--report-delays-ms", "40,,90"},
                                         {"--report-delays-ms", "40,-1"},
                                         {"--report-delays-ms", ""},
                                         {"--cme-next", "x"},
                                         {"--answer-delay-ms", "-5"},
                                         {"--drop-answer", "-1"},
                                         {"--junk-before-answer", "100000"},
                                         {"--frobnicate"},
                                         {"extra"},
                                         {"--issi"}}) {
        const RunnerCommandLine line = parse(arguments);
        EXPECT_EQ(line.action, RunnerCommandLine::Action::Fail)
            << arguments.join(' ').toStdString();
        EXPECT_FALSE(line.text.isEmpty());
    }
}

TEST(RunnerOptions, ReadsTheStandardFormsOptions)
{
    const RunnerCommandLine line =
        parse({"--dialect", "etsi", "--peer-issi", "09011638300023404", "--peer-report", "0d",
               "--peer-pid", "137", "--peer-ucs2", "--peer-timestamp", "04111015", "--peer-parts",
               "3", "--short-report-type", "1", "--report-ack", "--ctsdsr-form", "swapped",
               "--lenient-identity-type"});
    ASSERT_EQ(line.action, RunnerCommandLine::Action::Run) << line.text.toStdString();
    const radiosim::RadioSimOptions &radio = line.options.radio;
    EXPECT_EQ(radio.peerIdentity, QByteArray("09011638300023404"));
    EXPECT_EQ(radio.peerReportRequest, 0x0D);
    EXPECT_EQ(radio.peerProtocolId, 137);
    EXPECT_TRUE(radio.peerCoding.ucs2);
    EXPECT_EQ(radio.peerCoding.timestamp, 0x045A8Fu);
    EXPECT_EQ(radio.peerParts, 3);
    EXPECT_TRUE(radio.shortReports);
    EXPECT_EQ(radio.shortReportType, 1);
    EXPECT_TRUE(radio.reportsAskAck);
    EXPECT_EQ(radio.ctsdsrForm, radiosim::CtsdsrForm::SevenSwapped);
    EXPECT_TRUE(radio.lenientIdentityType);

    const RunnerCommandLine plain = parse({"--short-reports"});
    EXPECT_TRUE(plain.options.radio.shortReports);
    EXPECT_FALSE(plain.options.radio.shortReportType);
    EXPECT_FALSE(plain.options.radio.peerCoding.timestamp);
    EXPECT_EQ(plain.options.radio.ctsdsrForm, radiosim::CtsdsrForm::Six);
}

TEST(RunnerOptions, ReadsThePairAndItsNetwork)
{
    const RunnerCommandLine line =
        parse({"--pair", "--issi", "500", "--net-delay-ms", "80", "--net-jitter-ms", "20",
               "--net-loss", "0.05", "--net-duplicate", "0.02", "--net-reorder", "0.05",
               "--net-corrupt", "0.01", "--seed", "99"});
    ASSERT_EQ(line.action, RunnerCommandLine::Action::Run) << line.text.toStdString();
    const radiosim::RunnerOptions &o = line.options;
    EXPECT_TRUE(o.pair);
    EXPECT_EQ(o.secondIssi, 501u);
    EXPECT_EQ(o.network.delayMs, 80);
    EXPECT_EQ(o.network.jitterMs, 20);
    EXPECT_DOUBLE_EQ(o.network.loss, 0.05);
    EXPECT_DOUBLE_EQ(o.network.duplicate, 0.02);
    EXPECT_DOUBLE_EQ(o.network.reorder, 0.05);
    EXPECT_DOUBLE_EQ(o.network.corrupt, 0.01);
    EXPECT_EQ(o.network.seed, 99u);
    EXPECT_EQ(parse({"--pair", "--second-issi", "7"}).options.secondIssi, 7u);
    for (const QStringList &bad : {QStringList{"--pair", "--second-issi", "1234"},
                                   {"--net-loss", "1.5"},
                                   {"--net-loss", "0.6", "--net-corrupt", "0.6"},
                                   {"--seed", "x"}})
        EXPECT_EQ(parse(bad).action, RunnerCommandLine::Action::Fail)
            << bad.join(' ').toStdString();
}

TEST(RunnerOptions, ReportDelaysAreAListInTheirOrder)
{
    const RunnerCommandLine line = parse({"--report-delays-ms", "40, 120,0,300"});
    ASSERT_EQ(line.action, RunnerCommandLine::Action::Run) << line.text.toStdString();
    EXPECT_EQ(line.options.radio.reportDelaysMs, QList<qint64>({40, 120, 0, 300}));
    EXPECT_TRUE(parse({}).options.radio.reportDelaysMs.isEmpty());
}

TEST(RunnerOptions, HelpIsAskedFor)
{
    const RunnerCommandLine line = parse({"--help"});
    EXPECT_EQ(line.action, RunnerCommandLine::Action::ShowHelp);
    EXPECT_TRUE(line.text.contains("--peer-interval-s"));
}
