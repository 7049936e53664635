// The main window against a radio that behaves like real hardware, in both
// profiles, on both roads: echo on, a radio that aborts a command when
// characters arrive while it executes, a slow radio, a lost answer and noise
// in front of every answer. Every message must be matched to its own answer.
#include "session/RadioSession.h"
#include "session/SeriesStatistics.h"
#include "tests/endtoend/EndToEndWindow.h"
#include "tests/endtoend/EventLoopWait.h"
#include "tests/endtoend/PtyRadio.h"
#include "tests/endtoend/SimRadio.h"
#include "window/SeriesPanel.h"

#include <QPushButton>
#include <memory>
#include <tuple>

using radiosim::RadioSim;

namespace {

enum class Road { Sim, Pty };
using Case = std::tuple<Road, RadioProfile>;

constexpr int protocolId = 130;
constexpr int destination = 4321;
constexpr int seriesWaitMs = 60000;

class HardPeerEndToEnd : public testing::TestWithParam<Case>
{
protected:
    Road road() const { return std::get<0>(GetParam()); }
    RadioProfile profile() const { return std::get<1>(GetParam()); }
    bool standard() const { return profile() == RadioProfile::Etsi; }

    void start(RadioSetup setup)
    {
        setup.dialect = standard() ? radiosim::SimDialect::Etsi : radiosim::SimDialect::Cmt;
        if (road() == Road::Sim)
            radio = std::make_unique<SimRadio>(setup);
        else
            radio = std::make_unique<PtyRadio>(setup);
        ASSERT_FALSE(radio->portName().isEmpty()) << "the radio did not start";
        window = std::make_unique<EndToEndWindow>();
        ASSERT_TRUE(window->chooseProfile(profile()));
    }

    void registered()
    {
        ASSERT_TRUE(window->connectTo(radio->portName()));
        ASSERT_TRUE(radio->portOpened());
        ASSERT_TRUE(window->registerAs(protocolId));
    }

    // Sends a series with both reports and waits until nothing is owed.
    void series(int count, int delayMs)
    {
        window->compose(destination, QStringLiteral("hard peer"), count, delayMs);
        ASSERT_TRUE(window->requestBothReports());
        ASSERT_TRUE(window->press(form().SendButton));
        ASSERT_TRUE(waitUntil(
            [&] {
                const SeriesStatistics::Counts counts = statistics().counts();
                return counts.scheduled == count && counts.stillWaiting == 0;
            },
            QStringLiteral("every answer of the series"), seriesWaitMs));
    }

    void expectEveryMessageCompletedWithBothReports(int count)
    {
        const SeriesStatistics::Counts counts = statistics().counts();
        EXPECT_EQ(counts.sent, count);
        EXPECT_EQ(counts.completed, count);
        EXPECT_EQ(counts.receivedReports, count);
        EXPECT_EQ(counts.consumedReports, count);
        EXPECT_EQ(counts.unmatchedReports, 0);
        EXPECT_EQ(counts.noAnswer, 0);
        EXPECT_EQ(form().RadioState, rsRegistered);
    }

    RadioSim::Counters closeAndCount()
    {
        const std::optional<RadioSim::Counters> counters = radio->closeAndCount(*window);
        EXPECT_TRUE(counters) << "the radio told no counters";
        return counters.value_or(RadioSim::Counters());
    }

    TForm1 &form() { return window->form(); }
    const SeriesStatistics &statistics() { return form().seriesStatistics(); }

    // Declared first: the window lets go of the port before the radio goes.
    std::unique_ptr<RadioUnderTest> radio;
    std::unique_ptr<EndToEndWindow> window;
};

TEST_P(HardPeerEndToEnd, EchoOnRegistersAndCompletesASeriesWithBothReports)
{
    RadioSetup setup;
    setup.echo = true;
    ASSERT_NO_FATAL_FAILURE(start(setup));
    ASSERT_NO_FATAL_FAILURE(registered());
    ASSERT_NO_FATAL_FAILURE(series(50, 20));
    expectEveryMessageCompletedWithBothReports(50);
    // The echoes are logged, each a response of its own.
    EXPECT_GE(window->loggerEntriesStartingWith(QStringLiteral(" ms:AT+CMGS=")), 50);
    const RadioSim::Counters counters = closeAndCount();
    EXPECT_EQ(counters.messagesCompleted, 50);
}

TEST_P(HardPeerEndToEnd, AStrictRadioAbortsNothingWhenMessagesComeFasterThanItAnswers)
{
    RadioSetup setup;
    setup.strict = true;
    ASSERT_NO_FATAL_FAILURE(start(setup));
    ASSERT_NO_FATAL_FAILURE(registered());
    // Scheduled every millisecond: they wait in the queue, never overlap.
    ASSERT_NO_FATAL_FAILURE(series(50, 1));
    expectEveryMessageCompletedWithBothReports(50);
    const RadioSim::Counters counters = closeAndCount();
    EXPECT_EQ(counters.commandsAborted, 0);
    EXPECT_EQ(counters.errorsAnswered, 0);
    EXPECT_EQ(counters.messagesCompleted, 50);
}

TEST_P(HardPeerEndToEnd, ASlowRadioPacesTheSeriesAndTheRestWaitsInTheQueue)
{
    RadioSetup setup;
    setup.answerDelayMs = 500;
    ASSERT_NO_FATAL_FAILURE(start(setup));
    ASSERT_NO_FATAL_FAILURE(registered());
    constexpr int count = 6;
    window->compose(destination, QStringLiteral("slow"), count, 100);
    ASSERT_TRUE(window->requestBothReports());
    ASSERT_TRUE(window->press(form().SendButton));
    // The series schedules faster than the radio answers: messages queue.
    ASSERT_TRUE(waitUntil([&] { return statistics().counts().queued >= 2; },
                          QStringLiteral("messages waiting in the queue")));
    EXPECT_TRUE(form().SeriesPanel1->countsText().contains(QStringLiteral("Queued")));
    ASSERT_TRUE(waitUntil(
        [&] {
            const SeriesStatistics::Counts counts = statistics().counts();
            return counts.scheduled == count && counts.stillWaiting == 0;
        },
        QStringLiteral("every answer of the series"), seriesWaitMs));
    expectEveryMessageCompletedWithBothReports(count);
    // Each message written once the radio answered the one before.
    const std::deque<SeriesMessage> &messages = statistics().messages();
    for (std::size_t i = 1; i < messages.size(); ++i) {
        const qint64 gap =
            messages[i].writtenAt->monotonicMs - messages[i - 1].writtenAt->monotonicMs;
        EXPECT_GE(gap, 490) << "message " << i + 1;
        const qint64 queued =
            messages[i].writtenAt->monotonicMs - messages[i].scheduledAt.monotonicMs;
        EXPECT_GE(queued, 0) << "message " << i + 1;
    }
    const std::optional<SeriesStatistics::Figures> completion =
        statistics().figures(SeriesStatistics::Span::Completion);
    ASSERT_TRUE(completion);
    EXPECT_GE(completion->minMs, 490) << "times count from the write, not the schedule";
}

TEST_P(HardPeerEndToEnd, ALostAnswerIsOneNoAnswerAndEveryLaterMessageTakesItsOwn)
{
    // The answers before the first message: the probe and the registration,
    // and in the standard profile the length query and the service selection.
    RadioSetup setup;
    setup.dropAnswer = standard() ? 5 : 3;
    ASSERT_NO_FATAL_FAILURE(start(setup));
    form().session().setAnswerTimeouts({2000, 2000});
    ASSERT_NO_FATAL_FAILURE(registered());
    ASSERT_NO_FATAL_FAILURE(series(10, 20));
    const SeriesStatistics::Counts counts = statistics().counts();
    EXPECT_EQ(counts.sent, 10);
    EXPECT_EQ(counts.noAnswer, 1);
    EXPECT_EQ(counts.completed, 9);
    EXPECT_EQ(statistics().messages().front().answer, SeriesMessage::Answer::NoAnswer);
    // The radio delivered the first message all the same: its reports count.
    EXPECT_EQ(counts.receivedReports, 10);
    EXPECT_EQ(counts.consumedReports, 10);
    EXPECT_EQ(counts.unmatchedReports, 0);
    EXPECT_EQ(window->messageEntriesStartingWith(QStringLiteral(": No answer from the radio to ")),
              1);
    EXPECT_EQ(form().RadioState, rsRegistered);
    EXPECT_TRUE(form().commandLineAllowed()) << "a lost answer leaves nothing stuck";
}

TEST_P(HardPeerEndToEnd, NoiseBeforeEveryAnswerTakesNothingFromIt)
{
    RadioSetup setup;
    setup.junkBeforeAnswer = 50;
    ASSERT_NO_FATAL_FAILURE(start(setup));
    ASSERT_NO_FATAL_FAILURE(registered());
    ASSERT_NO_FATAL_FAILURE(series(20, 20));
    expectEveryMessageCompletedWithBothReports(20);
    const std::optional<SeriesStatistics::Figures> completion =
        statistics().figures(SeriesStatistics::Span::Completion);
    ASSERT_TRUE(completion);
    EXPECT_LT(completion->medianMs, 200) << "answered when the radio answered, not later";
}

std::string caseName(const testing::TestParamInfo<Case> &info)
{
    const char *road = std::get<0>(info.param) == Road::Sim ? "Sim" : "Pty";
    const char *profile = std::get<1>(info.param) == RadioProfile::Etsi ? "Etsi" : "Cmt";
    return std::string(road) + profile;
}

INSTANTIATE_TEST_SUITE_P(BothRoadsBothProfiles, HardPeerEndToEnd,
                         testing::Combine(testing::Values(Road::Sim, Road::Pty),
                                          testing::Values(RadioProfile::Cmt, RadioProfile::Etsi)),
                         caseName);

} // namespace
