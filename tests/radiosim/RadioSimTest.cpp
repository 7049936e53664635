#include "radiosim/RadioSim.h"
#include "tests/radiosim/ByteArrayPrinter.h"
#include "tests/radiosim/RadioSimExchange.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <limits>
#include <random>

using radiosim::RadioSim;

namespace {

const QByteArray ok = "\r\nOK\r\n";
const QByteArray error = "\r\nERROR\r\n";
const QByteArray completion = "\r\n+CMGS: 0\r\n\r\nOK\r\n";

QByteArray message(const QByteArray &destination, const QByteArray &hex)
{
    return "AT+CMGS=" + destination + ",1,0," + QByteArray::number(hex.size() * 4) + "\r" + hex +
           "\x1A";
}

} // namespace

TEST(RadioSimCommands, AnswersTheProbeAndRejectsUnknownCommands)
{
    RadioSim sim;
    EXPECT_EQ(exchange(sim, "AT\r"), ok);
    EXPECT_EQ(exchange(sim, "at\r"), ok);
    EXPECT_EQ(exchange(sim, "ATI\r"), error);
    EXPECT_EQ(exchange(sim, "AT+CMGF=1\r"), error);
    EXPECT_EQ(sim.counters().probesAnswered, 2);
    EXPECT_EQ(sim.counters().errorsAnswered, 2);
}

TEST(RadioSimCommands, ParsesInputArrivingOneByteAtATime)
{
    RadioSim sim;
    const QByteArray input = "AT\r" + message("4321", "820000414243");
    QByteArray output;
    for (const char byte : input)
        output += exchange(sim, QByteArray(1, byte));
    EXPECT_EQ(output, ok + completion);
    EXPECT_EQ(sim.counters().commandsSeen, 2);
}

TEST(RadioSimCommands, AnswersCommandsSentBeforeThePreviousAnswerWasRead)
{
    RadioSim sim;
    EXPECT_EQ(exchange(sim, "AT\rAT\rATX\r"), ok + ok + error);
}

TEST(RadioSimCommands, IgnoresEmptyLinesAndLineFeeds)
{
    RadioSim sim;
    EXPECT_EQ(exchange(sim, "\r\r\n"), QByteArray());
    EXPECT_EQ(exchange(sim, "AT\r\n"), ok);
    EXPECT_EQ(sim.counters().commandsSeen, 1);
}

TEST(RadioSimCommands, EchoIsOffByDefaultAndSwitchedByAte)
{
    RadioSim sim;
    EXPECT_FALSE(sim.echo());
    EXPECT_EQ(exchange(sim, "ATE1\r"), ok);
    EXPECT_TRUE(sim.echo());
    EXPECT_EQ(exchange(sim, "AT\r"), "AT\r" + ok);
    // The command that switches echo off is still echoed while it arrives.
    EXPECT_EQ(exchange(sim, "ATE0\r"), "ATE0\r" + ok);
    EXPECT_EQ(exchange(sim, "AT\r"), ok);
}

TEST(RadioSimCommands, EchoOptionStartsWithEchoOn)
{
    RadioSim::Options options;
    options.echo = true;
    RadioSim sim(options);
    EXPECT_EQ(exchange(sim, "A"), "A");
    EXPECT_EQ(exchange(sim, "T\r"), "T\r" + ok);
}

TEST(RadioSimCommands, OverlongLineIsAnsweredWithErrorAndSkipped)
{
    RadioSim sim;
    const QByteArray garbage(5000, 'x');
    EXPECT_EQ(exchange(sim, garbage), error);
    EXPECT_EQ(exchange(sim, "AT\r"), QByteArray()) << "the overlong line ends only at its \\r";
    EXPECT_EQ(exchange(sim, "AT\r"), ok);
    EXPECT_EQ(sim.counters().errorsAnswered, 1);
}

TEST(RadioSimCommands, RandomInputLeavesTheRadioAnswering)
{
    RadioSim sim;
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> octet(0, 255);
    for (int round = 0; round < 200; ++round) {
        QByteArray noise;
        for (int i = 0; i < 500; ++i)
            noise.append(char(octet(random)));
        exchange(sim, noise, round);
    }
    // 0x1A ends whatever the noise left open: a line, user data, a skip.
    EXPECT_TRUE(exchange(sim,
                         QByteArray("\x1A"
                                    "AT\r"),
                         1000)
                    .endsWith(ok));
}

TEST(RadioSimMessages, CompletesTheRegistration)
{
    RadioSim sim;
    EXPECT_EQ(exchange(sim, QByteArray("AT+CMGS=0,1,0,8\r82\x1A")), completion);
    EXPECT_EQ(sim.counters().registrations, 1);
    EXPECT_EQ(sim.counters().messagesCompleted, 0);
}

TEST(RadioSimMessages, CompletesAMessageWhoseLengthMatches)
{
    RadioSim sim;
    EXPECT_EQ(exchange(sim, QByteArray("AT+CMGS=4321,1,0,40\rC800054869\x1A")), completion);
    EXPECT_EQ(exchange(sim, QByteArray("AT+CMGS=4321,1,0,48\r820001014869\x1A")), completion);
    EXPECT_EQ(exchange(sim, QByteArray("at+cmgs=4321,1,0,24\rc80005\x1A")), completion);
    EXPECT_EQ(sim.counters().messagesCompleted, 3);
}

TEST(RadioSimMessages, RefusesUserDataThatDoesNotMatchItsLength)
{
    const QByteArray cme35 = "\r\n+CME ERROR: 35\r\n";
    RadioSim sim;
    EXPECT_EQ(exchange(sim, QByteArray("AT+CMGS=4321,1,0,48\rC800054869\x1A")), cme35);
    EXPECT_EQ(exchange(sim, QByteArray("AT+CMGS=4321,1,0,32\rC800054869\x1A")), cme35);
    EXPECT_EQ(exchange(sim, QByteArray("AT+CMGS=4321,1,0,40\rC80005486\x1A")), cme35) << "odd";
    EXPECT_EQ(exchange(sim, QByteArray("AT+CMGS=4321,1,0,40\rC8000548G9\x1A")), cme35) << "not hex";
    EXPECT_EQ(exchange(sim, QByteArray("AT+CMGS=4321,1,0,0\r\x1A")), cme35) << "no octets";
    EXPECT_EQ(exchange(sim, QByteArray("AT+CMGS=0,1,0,16\r82\x1A")), cme35) << "registration";
    EXPECT_EQ(sim.counters().messagesRefused, 6);
    EXPECT_EQ(sim.counters().messagesCompleted + sim.counters().registrations, 0);
}

TEST(RadioSimMessages, AnswersAMalformedHeaderWithError)
{
    RadioSim sim;
    for (const QByteArray header :
         {"AT+CMGS=4321,1,40", "AT+CMGS=4321,1,0,40,7", "AT+CMGS=43a1,1,0,40", "AT+CMGS=,1,0,40",
          "AT+CMGS=4321,1,0,12345678901", "AT+CMGS=4321,1,0, 40"}) {
        EXPECT_EQ(exchange(sim, header + "\rC800054869\x1A"), error) << header.constData();
    }
    EXPECT_EQ(exchange(sim, "AT\r"), ok) << "the radio is back in command mode";
}

TEST(RadioSimMessages, OverlongUserDataIsAnsweredOnceAndSkippedToItsEnd)
{
    RadioSim sim;
    const QByteArray hex(4000, 'A');
    EXPECT_EQ(exchange(sim, "AT+CMGS=4321,1,0,16000\r" + hex), error);
    EXPECT_EQ(exchange(sim, "AT\r"), QByteArray()) << "still inside the user data";
    EXPECT_EQ(exchange(sim, QByteArray("\x1A"
                                       "AT\r")),
              ok);
}

TEST(RadioSimMessages, StrayEndOfDataOutsideAMessageEndsTheLine)
{
    RadioSim sim;
    // A header that lost its "\r": the line ends at the 0x1A and the next
    // command is understood again.
    EXPECT_EQ(exchange(sim, QByteArray("AT+CMGS=4321,1,0,24C80005\x1A"
                                       "AT\r")),
              error + ok);
}

TEST(RadioSimReports, SendsTheRequestedReportsWithTheCompletion)
{
    RadioSim sim;
    EXPECT_EQ(exchange(sim, message("4321", "820400014869")),
              completion + "\r\n+CMT: 4321,0,32\r\n82100000\r\n");
    EXPECT_EQ(exchange(sim, message("4321", "C80807")),
              completion + "\r\n+CMT: 4321,0,32\r\nC8100207\r\n");
    EXPECT_EQ(exchange(sim, message("4321", "820CFF41")),
              completion + "\r\n+CMT: 4321,0,32\r\n821000FF\r\n" +
                  "\r\n+CMT: 4321,0,32\r\n821002FF\r\n");
    EXPECT_EQ(sim.counters().reportsSent, 4);
}

TEST(RadioSimReports, NoReportWithoutARequestOrForAShortMessage)
{
    RadioSim sim;
    EXPECT_EQ(exchange(sim, message("4321", "8200014869")), completion);
    EXPECT_EQ(exchange(sim, message("4321", "820C")), completion) << "no reference octet";
    EXPECT_EQ(exchange(sim, message("4321", "82240001")), completion) << "not an SDS-TRANSFER";
    EXPECT_EQ(sim.counters().reportsSent, 0);
}

TEST(RadioSimReports, DelayedReportsComeOnTheirOwnAfterTheDelay)
{
    RadioSim::Options options;
    options.reportDelayMs = 1000;
    options.quietGapMs = 300;
    RadioSim sim(options, 5000);
    EXPECT_EQ(exchange(sim, message("4321", "820C0A41"), 5000), completion);
    EXPECT_EQ(advanceTo(sim, 5999), QByteArray());
    EXPECT_EQ(advanceTo(sim, 6000), "\r\n+CMT: 4321,0,32\r\n8210000A\r\n");
    EXPECT_EQ(advanceTo(sim, 6299), QByteArray()) << "the second report waits for a quiet gap";
    EXPECT_EQ(advanceTo(sim, 6300), "\r\n+CMT: 4321,0,32\r\n8210020A\r\n");
    EXPECT_EQ(sim.nextDueMs(), std::nullopt);
}

TEST(RadioSimReports, ReportsTakeTheListedDelaysInTurnAndSayWhich)
{
    RadioSim::Options options;
    options.reportDelaysMs = {30, 200, 90};
    RadioSim sim(options, 1000);
    QStringList log;
    sim.setLogger([&log](const QString &line) { log << line; });
    EXPECT_EQ(exchange(sim, message("4321", "820C0A41"), 1000), completion);
    EXPECT_EQ(exchange(sim, message("4321", "82040B41"), 1010), completion);
    // The second message's received report takes the third delay; the list
    // then starts over.
    EXPECT_EQ(advanceTo(sim, 1029), QByteArray());
    EXPECT_EQ(advanceTo(sim, 1030), "\r\n+CMT: 4321,0,32\r\n8210000A\r\n");
    EXPECT_EQ(advanceTo(sim, 1100), "\r\n+CMT: 4321,0,32\r\n8210000B\r\n");
    EXPECT_EQ(advanceTo(sim, 1199), QByteArray());
    EXPECT_EQ(advanceTo(sim, 1200), "\r\n+CMT: 4321,0,32\r\n8210020A\r\n");
    EXPECT_EQ(exchange(sim, message("4321", "82040C41"), 1300), completion);
    EXPECT_EQ(sim.nextDueMs(), 1330);
    EXPECT_EQ(
        log.filter(QStringLiteral("delayed")),
        QStringList({"report 0A status 00 delayed 30 ms", "report 0A status 02 delayed 200 ms",
                     "report 0B status 00 delayed 90 ms", "report 0C status 00 delayed 30 ms"}));
}

TEST(RadioSimLoopback, MessageToTheOwnIssiComesBackAfterAQuietGap)
{
    RadioSim::Options options;
    options.issi = 2001;
    options.quietGapMs = 600;
    RadioSim sim(options);
    EXPECT_EQ(exchange(sim, message("2001", "C800054869"), 100), completion);
    EXPECT_EQ(sim.nextDueMs(), 700);
    EXPECT_EQ(advanceTo(sim, 699), QByteArray());
    EXPECT_EQ(advanceTo(sim, 700), "\r\n+CMT: 2001,0,40\r\nC800054869\r\n");
    EXPECT_EQ(sim.counters().loopbacksSent, 1);
    EXPECT_EQ(exchange(sim, message("4321", "C800054869"), 800), completion);
    EXPECT_EQ(advanceTo(sim, 5000), QByteArray()) << "only the own ISSI loops back";
}

TEST(RadioSimLoopback, LoopbackKeepsTheHeaderAndFollowsTheReports)
{
    // With no quiet gap (the default) the loopback follows at once.
    RadioSim sim;
    EXPECT_EQ(exchange(sim, message("1234", "82040301486921"), 0),
              completion + "\r\n+CMT: 1234,0,32\r\n82100003\r\n" +
                  "\r\n+CMT: 1234,0,56\r\n82040301486921\r\n");
    EXPECT_EQ(advanceTo(sim, 10000), QByteArray());
}

TEST(RadioSimLoopback, QuietGapCountsFromTheLastOutput)
{
    RadioSim::Options options;
    options.quietGapMs = 500;
    RadioSim sim(options);
    exchange(sim, message("1234", "C80005"), 0);
    EXPECT_EQ(exchange(sim, "AT\r", 400), ok);
    EXPECT_EQ(advanceTo(sim, 899), QByteArray());
    EXPECT_EQ(advanceTo(sim, 900), "\r\n+CMT: 1234,0,24\r\nC80005\r\n");
}

TEST(RadioSimFaults, CtsCanBeHeldDown)
{
    RadioSim sim(RadioSim::Options(), 1000);
    EXPECT_TRUE(sim.ctsUp(1000));
    sim.holdCtsDown(2000);
    EXPECT_FALSE(sim.ctsUp(1000));
    EXPECT_FALSE(sim.ctsUp(2999));
    EXPECT_TRUE(sim.ctsUp(3000));
    EXPECT_EQ(exchange(sim, "AT\r", 1500), ok) << "input is still taken while CTS is down";
    sim.holdCtsDown(std::numeric_limits<qint64>::max());
    EXPECT_FALSE(sim.ctsUp(std::numeric_limits<qint64>::max() - 1)) << "no overflow";
}

TEST(RadioSimFaults, NextMessageCanBeRefusedWithAChosenCode)
{
    RadioSim sim;
    sim.failNextMessage(42);
    EXPECT_EQ(exchange(sim, QByteArray("AT+CMGS=0,1,0,8\r82\x1A")), completion)
        << "a registration does not use up the fault";
    EXPECT_EQ(exchange(sim, message("4321", "820400014869")), "\r\n+CME ERROR: 42\r\n")
        << "and a refused message draws no report";
    EXPECT_EQ(exchange(sim, message("4321", "820000014869")), completion);
    EXPECT_EQ(sim.counters().messagesRefused, 1);
    EXPECT_EQ(sim.counters().messagesCompleted, 1);
}

TEST(RadioSimFaults, NextAnswerCanBeSplitAndHoldsBackLaterAnswers)
{
    RadioSim::Options options;
    options.splitDelayMs = 500;
    RadioSim sim(options);
    sim.splitNextAnswer();
    EXPECT_EQ(exchange(sim, "AT\r", 0), "\r\nO");
    EXPECT_EQ(exchange(sim, "AT\r", 100), QByteArray());
    EXPECT_EQ(sim.nextDueMs(), 500);
    EXPECT_EQ(advanceTo(sim, 500), "K\r\n" + ok);
    EXPECT_EQ(exchange(sim, "AT\r", 600), ok) << "only one answer is split";
}

TEST(RadioSimFaults, SplitAnswersOptionSplitsEveryAnswer)
{
    RadioSim::Options options;
    options.splitAnswers = true;
    options.splitDelayMs = 300;
    RadioSim sim(options);
    QByteArray first = exchange(sim, QByteArray("AT+CMGS=0,1,0,8\r82\x1A"), 0);
    EXPECT_EQ(first + advanceTo(sim, 300), completion);
    EXPECT_LT(first.size(), completion.size());
    EXPECT_GT(first.size(), 0);
    first = exchange(sim, "AT\r", 1000);
    EXPECT_EQ(first + advanceTo(sim, 1300), ok);
    EXPECT_LT(first.size(), ok.size());
}

TEST(RadioSimFaults, GarbageCanBeInjectedAtOnceOrPeriodically)
{
    RadioSim::Options options;
    options.garbageIntervalMs = 1000;
    options.garbage = "#noise#";
    RadioSim sim(options);
    sim.injectGarbage(QByteArray("\x00\xFF", 2));
    EXPECT_EQ(sim.takeOutput(), QByteArray("\x00\xFF", 2));
    EXPECT_EQ(advanceTo(sim, 999), QByteArray());
    EXPECT_EQ(advanceTo(sim, 1000), "#noise#");
    EXPECT_EQ(advanceTo(sim, 1999), QByteArray());
    EXPECT_EQ(advanceTo(sim, 2000), "#noise#");
    EXPECT_EQ(exchange(sim, "AT\r", 2100), ok) << "garbage leaves the parser alone";
}

TEST(RadioSimFaults, NextProbeCanBeEchoed)
{
    RadioSim sim;
    sim.echoNextProbe();
    EXPECT_EQ(exchange(sim, "ATE0\r"), ok) << "only a probe is echoed";
    EXPECT_EQ(exchange(sim, "AT\r"), "AT\r" + ok);
    EXPECT_EQ(exchange(sim, "AT\r"), ok);
}

TEST(RadioSimPeer, PeerSendsATextMessageEveryInterval)
{
    RadioSim::Options options;
    options.peerIntervalMs = 5000;
    options.peerIdentity = "777";
    options.peerProtocolId = 130;
    options.peerReportRequest = 0x0E;
    RadioSim sim(options);
    EXPECT_EQ(sim.nextDueMs(), 5000);
    EXPECT_EQ(advanceTo(sim, 4999), QByteArray());
    const QByteArray first = advanceTo(sim, 5000);
    EXPECT_EQ(first, "\r\n+CMT: 777,0," + QByteArray::number((4 + 14) * 8) + "\r\n820E0001" +
                         QByteArray("Peer message 1").toHex().toUpper() + "\r\n");
    const QByteArray second = advanceTo(sim, 10000);
    EXPECT_TRUE(second.startsWith("\r\n+CMT: 777,0,144\r\n820E0101")) << second.constData();
    EXPECT_EQ(sim.counters().peerMessagesSent, 2);
}

TEST(RadioSimPeer, PeerMessageWithoutTextCodingForOtherProtocols)
{
    RadioSim::Options options;
    options.peerIntervalMs = 1000;
    options.peerProtocolId = 0xC8;
    options.peerReportRequest = 0x06;
    RadioSim sim(options);
    EXPECT_EQ(advanceTo(sim, 1000), "\r\n+CMT: 5678,0,136\r\nC80600" +
                                        QByteArray("Peer message 1").toHex().toUpper() + "\r\n");
}

TEST(RadioSimPeer, ClockJumpGivesOnePeerMessageNotABurst)
{
    RadioSim::Options options;
    options.peerIntervalMs = 1000;
    RadioSim sim(options);
    advanceTo(sim, 3600 * 1000);
    EXPECT_EQ(sim.counters().peerMessagesSent, 1);
    EXPECT_EQ(sim.nextDueMs(), 3601 * 1000);
}

TEST(RadioSimPeer, PeerWaitsWhileUnsolicitedOutputIsQueued)
{
    RadioSim::Options options;
    options.peerIntervalMs = 100;
    options.quietGapMs = 600;
    RadioSim sim(options);
    QByteArray output;
    for (qint64 now = 0; now <= 6000; now += 10)
        output += advanceTo(sim, now);
    const int sent = sim.counters().peerMessagesSent;
    // Every message went out but perhaps the last, still waiting for its gap.
    EXPECT_GE(output.count("+CMT: 5678"), sent - 1);
    EXPECT_GE(sent, 5);
    EXPECT_LE(sent, 11);
    EXPECT_EQ(sim.counters().indicationsDropped, 0);
}

TEST(RadioSimPeer, ChecksTheTerminalsReports)
{
    RadioSim::Options options;
    options.peerIntervalMs = 1000;
    options.peerReportRequest = 0x06;
    RadioSim sim(options);
    advanceTo(sim, 1000); // reference 00
    advanceTo(sim, 2000); // reference 01
    EXPECT_EQ(exchange(sim, message("5678", "82100001"), 2100), completion);
    EXPECT_EQ(sim.counters().goodReports, 1);
    EXPECT_EQ(sim.counters().badReports, 0);

    exchange(sim, message("5678", "82100001"), 2200);   // twice
    exchange(sim, message("5678", "82100200"), 2300);   // consumed was not asked for
    exchange(sim, message("5679", "82100000"), 2400);   // not the peer
    exchange(sim, message("5678", "83100000"), 2500);   // other protocol identifier
    exchange(sim, message("5678", "82100005"), 2600);   // never sent
    exchange(sim, message("5678", "82100700"), 2700);   // unknown status
    exchange(sim, message("5678", "8210000000"), 2800); // too long
    EXPECT_EQ(sim.counters().badReports, 7);
    EXPECT_EQ(exchange(sim, message("5678", "82100000"), 2900), completion);
    EXPECT_EQ(sim.counters().goodReports, 2);
    EXPECT_EQ(sim.counters().messagesCompleted, 9) << "every report is completed";
    EXPECT_EQ(sim.counters().reportsSent, 0) << "a report draws no report";
}

TEST(RadioSimPeer, BothReportsAreAwaitedForARequestOfBoth)
{
    RadioSim::Options options;
    options.peerIntervalMs = 1000;
    options.peerReportRequest = 0x0E;
    RadioSim sim(options);
    advanceTo(sim, 1000);
    exchange(sim, message("5678", "82100000"), 1100);
    exchange(sim, message("5678", "82100200"), 3100);
    EXPECT_EQ(sim.counters().goodReports, 2);
    EXPECT_EQ(sim.counters().badReports, 0);
}

TEST(RadioSimLog, LogsWhatItReceivesAndAnswers)
{
    RadioSim sim;
    QStringList lines;
    sim.setLogger([&lines](const QString &line) { lines << line; });
    exchange(sim, "AT\r");
    exchange(sim, message("4321", "820000"));
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines.at(0), "rx AT");
    EXPECT_EQ(lines.at(1), "tx \\r\\nOK\\r\\n");
    EXPECT_EQ(lines.at(2), "rx AT+CMGS=4321,1,0,24\\r820000\\x1A");
    EXPECT_EQ(lines.at(3), "tx \\r\\n+CMGS: 0\\r\\n\\r\\nOK\\r\\n");
}
