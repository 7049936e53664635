// The simulated radio as a hard peer: late final results, strict execution
// that input aborts, a final result never sent, junk before each answer.
#include "radiosim/AnswerFaults.h"
#include "radiosim/RadioSim.h"
#include "tests/radiosim/ByteArrayPrinter.h"
#include "tests/radiosim/RadioSimExchange.h"

#include <QStringList>
#include <algorithm>
#include <gtest/gtest.h>

using radiosim::AnswerFaults;
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

QByteArray report(const QByteArray &from, const QByteArray &hex)
{
    return "\r\n+CMT: " + from + ",0," + QByteArray::number(hex.size() * 4) + "\r\n" + hex + "\r\n";
}

bool hasLineEnd(const QByteArray &bytes)
{
    return bytes.contains('\r') || bytes.contains('\n');
}

} // namespace

TEST(RadioSimAnswerDelay, FinalResultGoesOutTheDelayAfterTheCommandArrived)
{
    RadioSim::Options options;
    options.answerDelayMs = 300;
    RadioSim sim(options, 100);
    EXPECT_EQ(exchange(sim, "AT", 100), QByteArray());
    EXPECT_EQ(exchange(sim, "\r", 150), QByteArray());
    EXPECT_EQ(sim.nextDueMs(), 450) << "counted from the end of the command";
    EXPECT_EQ(advanceTo(sim, 449), QByteArray());
    EXPECT_EQ(advanceTo(sim, 450), ok);
    EXPECT_EQ(sim.counters().probesAnswered, 1);
}

TEST(RadioSimAnswerDelay, CommandsInFlightAreEachAnsweredTheDelayAfterTheirOwnArrival)
{
    RadioSim::Options options;
    options.answerDelayMs = 200;
    RadioSim sim(options);
    EXPECT_EQ(exchange(sim, "AT\r", 0), QByteArray());
    EXPECT_EQ(exchange(sim, "ATX\r", 50), QByteArray());
    EXPECT_EQ(advanceTo(sim, 200), ok);
    EXPECT_EQ(advanceTo(sim, 249), QByteArray());
    EXPECT_EQ(advanceTo(sim, 250), error);
}

TEST(RadioSimAnswerDelay, ReportsAndLoopbackCountFromTheCompletion)
{
    RadioSim::Options options;
    options.answerDelayMs = 300;
    RadioSim sim(options);
    EXPECT_EQ(exchange(sim, message("1234", "82040301"), 0), QByteArray());
    EXPECT_EQ(advanceTo(sim, 299), QByteArray());
    EXPECT_EQ(advanceTo(sim, 300),
              completion + report("1234", "82100003") + "\r\n+CMT: 1234,0,32\r\n82040301\r\n");

    RadioSim::Options delayed = options;
    delayed.reportDelayMs = 100;
    RadioSim late(delayed);
    exchange(late, message("4321", "82080301"), 0);
    EXPECT_EQ(advanceTo(late, 300), completion);
    EXPECT_EQ(advanceTo(late, 399), QByteArray());
    EXPECT_EQ(advanceTo(late, 400), report("4321", "82100203"));
}

TEST(RadioSimAnswerDelay, IndicationsKeepTheirOwnTiming)
{
    RadioSim::Options options;
    options.answerDelayMs = 1500;
    options.peerIntervalMs = 1000;
    options.peerProtocolId = 0xC8;
    RadioSim sim(options);
    EXPECT_EQ(exchange(sim, "AT\r", 100), QByteArray());
    EXPECT_TRUE(advanceTo(sim, 1000).startsWith("\r\n+CMT: 5678,0,"))
        << "the peer's message does not wait for the answer";
    EXPECT_EQ(advanceTo(sim, 1600), ok);
}

TEST(RadioSimStrict, CommandExecutesAtLeastTheMinimumWithoutADelay)
{
    RadioSim::Options options;
    options.strict = true;
    RadioSim sim(options);
    EXPECT_EQ(exchange(sim, "AT\r", 0), QByteArray());
    EXPECT_EQ(sim.nextDueMs(), RadioSim::minStrictExecutionMs);
    EXPECT_EQ(advanceTo(sim, RadioSim::minStrictExecutionMs), ok);
    EXPECT_EQ(exchange(sim, "AT\r", 100), QByteArray()) << "input after the answer is taken";
    EXPECT_EQ(advanceTo(sim, 120), ok);
    EXPECT_EQ(sim.counters().commandsAborted, 0);
}

TEST(RadioSimStrict, InputDuringExecutionAbortsTheCommandAndIsDiscarded)
{
    RadioSim::Options options;
    options.strict = true;
    options.answerDelayMs = 100;
    RadioSim sim(options);
    QStringList log;
    sim.setLogger([&log](const QString &line) { log << line; });
    EXPECT_EQ(exchange(sim, "ATE1\rAT", 0), QByteArray());
    EXPECT_EQ(exchange(sim, "\r", 99), QByteArray());
    EXPECT_EQ(advanceTo(sim, 100), error) << "aborted: ERROR in place of OK";
    EXPECT_FALSE(sim.echo()) << "the aborted command did nothing";
    EXPECT_EQ(sim.counters().commandsAborted, 1);
    EXPECT_EQ(sim.counters().probesAnswered, 0) << "the input that aborted is discarded";
    EXPECT_EQ(log.filter("(aborted: received while executing)"),
              QStringList({"rx AT (aborted: received while executing)",
                           "rx \\r (aborted: received while executing)"}));
    EXPECT_EQ(exchange(sim, "AT\r", 150), QByteArray());
    EXPECT_EQ(advanceTo(sim, 250), ok) << "the line is clean again";
}

TEST(RadioSimStrict, AbortedMessageIsNotDelivered)
{
    RadioSim::Options options;
    options.strict = true;
    RadioSim sim(options);
    EXPECT_EQ(exchange(sim, message("1234", "820C0101") + "AT+CMGS=0,1,0,8\r82\x1A", 0),
              QByteArray());
    EXPECT_EQ(advanceTo(sim, 1000), error);
    const RadioSim::Counters &counters = sim.counters();
    EXPECT_EQ(counters.commandsAborted, 1);
    EXPECT_EQ(counters.messagesCompleted, 0);
    EXPECT_EQ(counters.reportsSent, 0);
    EXPECT_EQ(counters.loopbacksSent, 0);
    EXPECT_EQ(counters.registrations, 0);
}

TEST(RadioSimStrict, HexEntryIsNotExecutionAndALineFeedAfterTheCommandIsNoInput)
{
    RadioSim::Options options;
    options.strict = true;
    RadioSim sim(options);
    EXPECT_EQ(exchange(sim, "AT+CMGS=4321,1,0,32\r", 0), QByteArray());
    EXPECT_EQ(exchange(sim, "8204", 10), QByteArray());
    EXPECT_EQ(exchange(sim, "0101\x1A", 30), QByteArray());
    EXPECT_EQ(exchange(sim, "\n", 40), QByteArray());
    EXPECT_EQ(advanceTo(sim, 50), completion + report("4321", "82100001"));
    EXPECT_EQ(sim.counters().commandsAborted, 0);
}

TEST(RadioSimStrict, EchoGoesOutAtOnceAndTheAnswerAfterTheExecution)
{
    RadioSim::Options options;
    options.strict = true;
    options.echo = true;
    options.answerDelayMs = 50;
    RadioSim sim(options);
    EXPECT_EQ(exchange(sim, "AT", 0), "AT");
    EXPECT_EQ(exchange(sim, "\r", 10), "\r");
    EXPECT_EQ(exchange(sim, "AT\r", 20), QByteArray()) << "discarded input is not echoed";
    EXPECT_EQ(advanceTo(sim, 60), error);
}

TEST(RadioSimDropAnswer, TheKthFinalResultIsNeverSentButTheCommandTakesEffect)
{
    RadioSim::Options options;
    options.dropAnswer = 2;
    RadioSim sim(options);
    QStringList log;
    sim.setLogger([&log](const QString &line) { log << line; });
    EXPECT_EQ(exchange(sim, "AT\r", 0), ok);
    EXPECT_EQ(exchange(sim, message("1234", "82040301"), 10),
              report("1234", "82100003") + "\r\n+CMT: 1234,0,32\r\n82040301\r\n")
        << "no completion, but the report and the loopback come";
    EXPECT_EQ(exchange(sim, "AT\r", 20), ok);
    EXPECT_EQ(sim.counters().messagesCompleted, 1);
    EXPECT_EQ(sim.counters().answersDropped, 1);
    EXPECT_EQ(log.filter("dropped"), QStringList({"answer 2 dropped: \\r\\n+CMGS: 0\\r\\n\\r\\nOK"
                                                  "\\r\\n"}));
}

TEST(RadioSimDropAnswer, ErrorsCountAmongTheFinalResults)
{
    RadioSim::Options options;
    options.dropAnswer = 1;
    RadioSim sim(options);
    EXPECT_EQ(exchange(sim, "ATX\r", 0), QByteArray());
    EXPECT_EQ(exchange(sim, "ATX\r", 0), error);
    EXPECT_EQ(sim.counters().errorsAnswered, 2);
}

TEST(RadioSimJunk, JunkWithoutLineEndsPrecedesEveryFinalResultOnly)
{
    RadioSim::Options options;
    options.junkBeforeAnswer = 50;
    RadioSim sim(options);
    const QByteArray first = exchange(sim, "AT\r", 0);
    ASSERT_EQ(first.size(), 50 + ok.size());
    EXPECT_TRUE(first.endsWith(ok));
    const QByteArray junk = first.left(50);
    EXPECT_FALSE(hasLineEnd(junk));
    EXPECT_TRUE(std::any_of(junk.begin(), junk.end(), [](char c) { return quint8(c) >= 0x80; }));

    const QByteArray second = exchange(sim, message("4321", "82040301"), 10);
    const QByteArray tail = completion + report("4321", "82100003");
    ASSERT_EQ(second.size(), 50 + tail.size()) << "no junk before the report";
    EXPECT_TRUE(second.endsWith(tail));
    EXPECT_FALSE(hasLineEnd(second.left(50)));
    EXPECT_NE(second.left(50), junk) << "the junk varies";
}

TEST(AnswerFaults, DropsOneAndVariesTheJunk)
{
    AnswerFaults faults(3, 300);
    const std::optional<QByteArray> first = faults.shape("A");
    const std::optional<QByteArray> second = faults.shape("B");
    ASSERT_TRUE(first && second);
    EXPECT_FALSE(faults.shape("C"));
    EXPECT_TRUE(faults.shape("D"));
    EXPECT_EQ(faults.finalResults(), 4);
    EXPECT_TRUE(first->endsWith('A'));
    EXPECT_FALSE(hasLineEnd(first->left(300)));
    EXPECT_NE(first->left(300), second->left(300));
    EXPECT_EQ(AnswerFaults(0, 0).shape("plain"), QByteArray("plain"));
}
