#include "session/SeriesStatistics.h"

#include <gtest/gtest.h>

namespace {

using Ticket = SeriesStatistics::Ticket;
using Answer = SeriesMessage::Answer;
using Span = SeriesStatistics::Span;

constexpr quint8 bothReports =
    SeriesStatistics::ReceivedReportFlag | SeriesStatistics::ConsumedReportFlag;
const QByteArray destination = QByteArrayLiteral("4321");
// The wall clock runs far from the monotonic one, as it does on any machine.
constexpr qint64 wallOffsetMs = 1'800'000'000'000;

Moment at(qint64 ms)
{
    return {ms, ms + wallOffsetMs};
}

// A series of `count` messages scheduled and written 10 ms apart from
// t = 1000, the references counting from `firstReference` and wrapping as
// the session's do.
struct Series
{
    SeriesStatistics statistics;
    std::vector<Ticket> tickets;

    Series(int count, quint8 flags, int firstReference = 0)
    {
        statistics.start();
        for (int i = 0; i < count; ++i) {
            tickets.push_back(statistics.messageScheduled(quint8(firstReference + i), destination,
                                                          flags, at(1000 + 10 * i)));
            statistics.messageWritten(tickets.back(), at(1000 + 10 * i));
        }
    }
    Ticket ticket(int index) const { return tickets.at(std::size_t(index - 1)); }
    const SeriesMessage &message(int index) const
    {
        return statistics.messages().at(std::size_t(index - 1));
    }
};

// --- Answers -----------------------------------------------------------------

TEST(SeriesAnswerTest, EachAnswerGoesToTheMessageItAnswers)
{
    Series series(3, 0);
    // The radio answers out of order: each answer names its message.
    series.statistics.completed(series.ticket(3), at(1070));
    series.statistics.refused(series.ticket(2), "CME ERROR 35", at(1060));
    series.statistics.completed(series.ticket(1), at(1050));

    EXPECT_EQ(series.message(1).answer, Answer::Completed);
    EXPECT_EQ(series.message(1).answeredAt->monotonicMs, 1050);
    EXPECT_EQ(series.message(2).answer, Answer::Refused);
    EXPECT_EQ(series.message(2).refusal, QByteArray("CME ERROR 35"));
    EXPECT_EQ(SeriesStatistics::spanMs(series.message(3), Span::Completion), 1070 - 1020);
    // A refusal is not a completion time.
    EXPECT_FALSE(SeriesStatistics::spanMs(series.message(2), Span::Completion));

    const SeriesStatistics::Counts counts = series.statistics.counts();
    EXPECT_EQ(counts.sent, 3);
    EXPECT_EQ(counts.completed, 2);
    EXPECT_EQ(counts.refused, 1);
    EXPECT_EQ(counts.refusals.value("CME ERROR 35"), 1);
    EXPECT_EQ(counts.stillWaiting, 0);
}

TEST(SeriesAnswerTest, AMessageWithoutAnswerIsCountedAndTheOthersKeepTheirOwn)
{
    Series series(3, 0);
    series.statistics.noAnswer(series.ticket(1));
    series.statistics.completed(series.ticket(2), at(1100));
    series.statistics.completed(series.ticket(3), at(1200));
    series.statistics.lateAnswer(at(1300));

    EXPECT_EQ(series.message(1).answer, Answer::NoAnswer);
    EXPECT_FALSE(series.message(1).answeredAt);
    EXPECT_EQ(series.message(2).answeredAt->monotonicMs, 1100);
    const SeriesStatistics::Counts counts = series.statistics.counts();
    EXPECT_EQ(counts.completed, 2);
    EXPECT_EQ(counts.noAnswer, 1);
    EXPECT_EQ(counts.lateAnswers, 1);
    EXPECT_EQ(counts.stillWaiting, 0);
    // A message answers once: a second answer for it changes nothing.
    series.statistics.refused(series.ticket(2), "ERROR", at(1400));
    EXPECT_EQ(series.message(2).answer, Answer::Completed);
}

TEST(SeriesAnswerTest, TicketsOfAnEarlierSeriesCountNoMore)
{
    Series series(2, 0);
    const Ticket earlier = series.ticket(2);
    series.statistics.start();
    const Ticket fresh = series.statistics.messageScheduled(9, destination, 0, at(2000));
    series.statistics.messageWritten(fresh, at(2000));
    series.statistics.completed(earlier, at(2010));
    EXPECT_TRUE(series.statistics.messages().at(0).isWaiting());
    series.statistics.completed(fresh, at(2030));
    EXPECT_EQ(series.statistics.messages().at(0).answeredAt->monotonicMs, 2030);
    EXPECT_EQ(series.statistics.counts().sent, 1);
}

// --- Queued, written, not sent ----------------------------------------------------

TEST(SeriesWriteTest, SentMeansWrittenAndQueuedMessagesAreCountedApart)
{
    SeriesStatistics series;
    series.start();
    std::vector<Ticket> tickets;
    for (int i = 0; i < 4; ++i)
        tickets.push_back(series.messageScheduled(quint8(i), destination, 0, at(100 * i)));
    // The radio is slow: the first two are written later than scheduled.
    series.messageWritten(tickets[0], at(40));
    series.messageWritten(tickets[1], at(540));
    series.messageNotSent(tickets[3]);

    SeriesStatistics::Counts counts = series.counts();
    EXPECT_EQ(counts.scheduled, 4);
    EXPECT_EQ(counts.sent, 2);
    EXPECT_EQ(counts.queued, 1);
    EXPECT_EQ(counts.notSent, 1);
    EXPECT_EQ(series.messages().at(1).scheduledAt.monotonicMs, 100);
    EXPECT_EQ(series.messages().at(1).writtenAt->monotonicMs, 540);

    // Times count from the end of the write, not from the schedule.
    series.completed(tickets[1], at(560));
    EXPECT_EQ(SeriesStatistics::spanMs(series.messages().at(1), Span::Completion), 20);
    // Not written: it can be neither written nor answered any more.
    series.messageWritten(tickets[3], at(600));
    series.completed(tickets[3], at(610));
    counts = series.counts();
    EXPECT_EQ(counts.sent, 2);
    EXPECT_EQ(counts.notSent, 1);
    EXPECT_FALSE(series.messages().at(3).isWaiting());
}

TEST(SeriesWriteTest, DurationsFollowTheMonotonicClockWhateverTheWallClockDoes)
{
    SeriesStatistics series;
    series.start();
    const Ticket ticket = series.messageScheduled(0, destination, bothReports, {1000, 50'000});
    series.messageWritten(ticket, {1000, 50'000});
    // The wall clock is stepped back 30 s between the write and its answers.
    series.completed(ticket, {1005, 20'005});
    series.reportReceived(0, "00", {1156, 20'156});
    EXPECT_EQ(SeriesStatistics::spanMs(series.messages().at(0), Span::Completion), 5);
    EXPECT_EQ(SeriesStatistics::spanMs(series.messages().at(0), Span::ReceivedReport), 156);
}

// --- Reports -----------------------------------------------------------------

TEST(SeriesReportTest, OutOfOrderReportsFindTheirMessagesByReference)
{
    Series series(3, bothReports, 10);
    for (int i = 1; i <= 3; ++i)
        series.statistics.completed(series.ticket(i), at(1100 + i));
    // Consumed before received, and the messages in no particular order.
    series.statistics.reportReceived(12, "02", at(1300));
    series.statistics.reportReceived(10, "00", at(1310));
    series.statistics.reportReceived(12, "00", at(1320));
    series.statistics.reportReceived(11, "02", at(1330));
    series.statistics.reportReceived(10, "02", at(1340));
    series.statistics.reportReceived(11, "00", at(1350));

    EXPECT_EQ(series.message(1).receivedReport.at->monotonicMs, 1310);
    EXPECT_EQ(series.message(1).consumedReport.at->monotonicMs, 1340);
    EXPECT_EQ(series.message(2).receivedReport.at->monotonicMs, 1350);
    EXPECT_EQ(series.message(3).consumedReport.at->monotonicMs, 1300);
    EXPECT_EQ(SeriesStatistics::spanMs(series.message(3), Span::ConsumedReport), 1300 - 1020);

    const SeriesStatistics::Counts counts = series.statistics.counts();
    EXPECT_EQ(counts.receivedReports, 3);
    EXPECT_EQ(counts.consumedReports, 3);
    EXPECT_EQ(counts.unmatchedReports, 0);
    EXPECT_EQ(counts.stillWaiting, 0);
}

TEST(SeriesReportTest, AReportForAReferenceNeverSentIsUnmatched)
{
    Series series(2, SeriesStatistics::ReceivedReportFlag, 0);
    series.statistics.completed(series.ticket(1), at(1100));
    series.statistics.completed(series.ticket(2), at(1110));
    series.statistics.reportReceived(0x7F, "00", at(1200));
    series.statistics.reportReceived(std::nullopt, "00", at(1210));
    // A second received report for one message, and a consumed report
    // nobody asked for.
    series.statistics.reportReceived(0, "00", at(1220));
    series.statistics.reportReceived(0, "00", at(1230));
    series.statistics.reportReceived(1, "02", at(1240));

    const SeriesStatistics::Counts counts = series.statistics.counts();
    EXPECT_EQ(counts.receivedReports, 1);
    EXPECT_EQ(counts.unmatchedReports, 4);
    EXPECT_EQ(counts.stillWaiting, 1);
}

TEST(SeriesReportTest, OtherStatusesFillTheFirstMissingReport)
{
    Series series(2, bothReports, 0);
    series.statistics.completed(series.ticket(1), at(1100));
    series.statistics.completed(series.ticket(2), at(1110));
    series.statistics.reportReceived(0, "41", at(1200)); // e.g. not reachable
    series.statistics.reportReceived(1, "00", at(1210));
    series.statistics.reportReceived(1, "short report: destination memory full", at(1220));

    EXPECT_EQ(series.message(1).receivedReport.status, QByteArray("41"));
    EXPECT_TRUE(series.message(1).waitsForReports());
    const SeriesStatistics::Counts counts = series.statistics.counts();
    EXPECT_EQ(counts.otherStatuses, 2);
    EXPECT_EQ(counts.receivedReports, 1);
    EXPECT_EQ(counts.consumedReports, 0);
    EXPECT_EQ(counts.stillWaiting, 1);
}

TEST(SeriesReportTest, RefusedAndUnwrittenMessagesWaitForNoReport)
{
    SeriesStatistics series;
    series.start();
    const Ticket refused = series.messageScheduled(5, destination, bothReports, at(1000));
    const Ticket unwritten = series.messageScheduled(6, destination, bothReports, at(1010));
    series.messageWritten(refused, at(1000));
    series.refused(refused, "ERROR", at(1100));
    series.messageNotSent(unwritten);
    series.reportReceived(5, "00", at(1200));
    series.reportReceived(6, "00", at(1210));
    EXPECT_EQ(series.counts().unmatchedReports, 2);
    EXPECT_EQ(series.counts().stillWaiting, 0);
}

TEST(SeriesReportTest, AMessageWithoutAnswerStillTakesItsReports)
{
    // The completion was lost on the line, but the message reached the network.
    Series series(1, SeriesStatistics::ReceivedReportFlag, 3);
    series.statistics.noAnswer(series.ticket(1));
    series.statistics.reportReceived(3, "00", at(1500));
    EXPECT_EQ(series.statistics.counts().receivedReports, 1);
}

TEST(SeriesReportTest, ReferencesWrapAfter256MessagesAndOnlyWaitingOnesMatch)
{
    // 300 messages, references 0..255 then 0..43 again. Each message's
    // received report comes 60 messages later, its consumed report 100
    // messages later: when message 257 (reference 0) is written, message 1
    // is done, so reference 0's later reports can only be message 257's.
    constexpr int count = 300;
    SeriesStatistics series;
    series.start();
    const auto reportsDueAt = [&series](int written) {
        if (written - 60 >= 1 && written - 60 <= count)
            series.reportReceived(quint8(written - 61), "00", at(10 * written + 1));
        if (written - 100 >= 1 && written - 100 <= count)
            series.reportReceived(quint8(written - 101), "02", at(10 * written + 2));
    };
    for (int index = 1; index <= count; ++index) {
        const Ticket ticket =
            series.messageScheduled(quint8(index - 1), destination, bothReports, at(10 * index));
        series.messageWritten(ticket, at(10 * index));
        series.completed(ticket, at(10 * index + 5));
        reportsDueAt(index);
    }
    for (int late = count + 1; late <= count + 100; ++late)
        reportsDueAt(late);

    for (const int index : {1, 44, 256, 257, 300}) {
        const SeriesMessage &m = series.messages().at(std::size_t(index - 1));
        EXPECT_EQ(m.receivedReport.at->monotonicMs, 10 * (index + 60) + 1) << index;
        EXPECT_EQ(m.consumedReport.at->monotonicMs, 10 * (index + 100) + 2) << index;
    }
    const SeriesStatistics::Counts counts = series.counts();
    EXPECT_EQ(counts.receivedReports, count);
    EXPECT_EQ(counts.consumedReports, count);
    EXPECT_EQ(counts.unmatchedReports, 0);
    EXPECT_EQ(counts.stillWaiting, 0);
}

TEST(SeriesReportTest, ALostReportGoesMissingAndIsNeverMatchedToTheMessage256Later)
{
    // 600 messages 100 ms apart, each received report 10 ms after its write.
    // Message 1's report is lost. Before the reference wraps to message 257,
    // the report time-out has long passed: message 1 is missing its report
    // and message 257 gets its own, 10 ms after its write.
    constexpr int count = 600;
    constexpr qint64 reportTimeoutMs = 5000;
    SeriesStatistics series;
    series.start();
    for (int index = 1; index <= count; ++index) {
        const qint64 writtenMs = 100 * qint64(index);
        const Ticket ticket = series.messageScheduled(
            quint8(index - 1), destination, SeriesStatistics::ReceivedReportFlag, at(writtenMs));
        series.messageWritten(ticket, at(writtenMs));
        series.completed(ticket, at(writtenMs + 1));
        series.expireReports(writtenMs + 5, reportTimeoutMs);
        if (index != 1)
            series.reportReceived(quint8(index - 1), "00", at(writtenMs + 10));
    }
    series.expireReports(100 * qint64(count) + reportTimeoutMs + 1, reportTimeoutMs);

    EXPECT_TRUE(series.messages().at(0).receivedReport.missing);
    for (const int index : {257, 513}) {
        const SeriesMessage &m = series.messages().at(std::size_t(index - 1));
        EXPECT_EQ(SeriesStatistics::spanMs(m, Span::ReceivedReport), 10) << index;
    }
    const SeriesStatistics::Counts counts = series.counts();
    EXPECT_EQ(counts.receivedReports, count - 1);
    EXPECT_EQ(counts.missingReports, 1);
    EXPECT_EQ(counts.unmatchedReports, 0);
    EXPECT_EQ(counts.stillWaiting, 0);
    const std::optional<SeriesStatistics::Figures> figures = series.figures(Span::ReceivedReport);
    ASSERT_TRUE(figures);
    EXPECT_EQ(figures->maxMs, 10);
}

TEST(SeriesReportTest, TheNextExpiryIsTheOldestAwaitedReport)
{
    Series series(3, SeriesStatistics::ReceivedReportFlag, 0);
    EXPECT_EQ(series.statistics.nextReportExpiryMs(60000), 1000 + 60000);
    series.statistics.reportReceived(0, "00", at(1100));
    EXPECT_EQ(series.statistics.nextReportExpiryMs(60000), 1010 + 60000);
    series.statistics.expireReports(1020 + 60000, 60000);
    EXPECT_EQ(series.statistics.counts().missingReports, 2);
    EXPECT_FALSE(series.statistics.nextReportExpiryMs(60000));
    // A report that comes after its time-out matches nothing.
    series.statistics.reportReceived(1, "00", at(70000));
    EXPECT_EQ(series.statistics.counts().unmatchedReports, 1);
}

// --- Figures -----------------------------------------------------------------

TEST(SeriesFiguresTest, MinMedianP95AndMaxByNearestRank)
{
    // Completion times 1..20 ms in scrambled order.
    SeriesStatistics series;
    series.start();
    const int times[] = {7, 3, 20, 1, 14, 9, 12, 5, 18, 2, 11, 16, 4, 19, 8, 6, 13, 17, 10, 15};
    int written = 0;
    for (const int ms : times) {
        const Ticket ticket =
            series.messageScheduled(quint8(written), destination, 0, at(100 * written));
        series.messageWritten(ticket, at(100 * written));
        series.completed(ticket, at(100 * written + ms));
        ++written;
    }
    const std::optional<SeriesStatistics::Figures> figures = series.figures(Span::Completion);
    ASSERT_TRUE(figures);
    EXPECT_EQ(figures->samples, 20);
    EXPECT_EQ(figures->minMs, 1);
    EXPECT_EQ(figures->medianMs, 10);
    EXPECT_EQ(figures->p95Ms, 19);
    EXPECT_EQ(figures->maxMs, 20);
    EXPECT_FALSE(series.figures(Span::ReceivedReport));
}

TEST(SeriesFiguresTest, EveryEventChangesTheVersion)
{
    SeriesStatistics series;
    quint64 seen = series.version();
    const auto changed = [&] {
        const bool moved = series.version() != seen;
        seen = series.version();
        return moved;
    };
    series.start();
    EXPECT_TRUE(changed());
    const Ticket ticket = series.messageScheduled(0, destination, 0, at(10));
    EXPECT_TRUE(changed());
    series.messageWritten(ticket, at(12));
    EXPECT_TRUE(changed());
    series.completed(ticket, at(20));
    EXPECT_TRUE(changed());
    series.reportReceived(9, "00", at(30));
    EXPECT_TRUE(changed());
    EXPECT_EQ(series.lastEventWallMs(), 30 + wallOffsetMs);
}

} // namespace
