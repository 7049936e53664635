#include "session/SeriesStatistics.h"

#include <gtest/gtest.h>

namespace {

constexpr quint8 bothReports =
    SeriesStatistics::ReceivedReportFlag | SeriesStatistics::ConsumedReportFlag;
const QByteArray destination = QByteArrayLiteral("4321");

// A series of `count` messages written 10 ms apart from t = 1000, the
// references counting from `firstReference` and wrapping as the window's do.
SeriesStatistics seriesOf(int count, quint8 flags, int firstReference = 0)
{
    SeriesStatistics series;
    series.start();
    for (int i = 0; i < count; ++i)
        series.messageWritten(quint8(firstReference + i), destination, flags, 1000 + 10 * i);
    return series;
}

const SeriesMessage &message(const SeriesStatistics &series, int index)
{
    return series.messages().at(std::size_t(index - 1));
}

// --- Completions -------------------------------------------------------------

TEST(SeriesCompletionTest, AnswersGoToTheOldestWaitingMessageInOrder)
{
    SeriesStatistics series = seriesOf(3, 0);
    series.completed(1050);
    series.refused("CME ERROR 35", 1060);
    series.completed(1070);

    EXPECT_EQ(message(series, 1).answer, SeriesMessage::Answer::Completed);
    EXPECT_EQ(message(series, 1).answeredAtMs, 1050);
    EXPECT_EQ(message(series, 2).answer, SeriesMessage::Answer::Refused);
    EXPECT_EQ(message(series, 2).refusal, QByteArray("CME ERROR 35"));
    EXPECT_EQ(message(series, 3).answer, SeriesMessage::Answer::Completed);
    EXPECT_EQ(SeriesStatistics::spanMs(message(series, 3), SeriesStatistics::Span::Completion),
              1070 - 1020);
    // A refusal is not a completion time.
    EXPECT_FALSE(SeriesStatistics::spanMs(message(series, 2), SeriesStatistics::Span::Completion));

    const SeriesStatistics::Counts counts = series.counts();
    EXPECT_EQ(counts.sent, 3);
    EXPECT_EQ(counts.completed, 2);
    EXPECT_EQ(counts.refused, 1);
    EXPECT_EQ(counts.refusals.value("CME ERROR 35"), 1);
    EXPECT_EQ(counts.stillWaiting, 0);
}

TEST(SeriesCompletionTest, ALostCompletionLeavesTheLastMessageWaiting)
{
    // The radio answered only two of three: answers are not labelled, so
    // the first two messages take them and the third is still waiting.
    SeriesStatistics series = seriesOf(3, 0);
    series.completed(1100);
    series.completed(1200);

    const SeriesStatistics::Counts counts = series.counts();
    EXPECT_EQ(counts.completed, 2);
    EXPECT_EQ(counts.stillWaiting, 1);
    EXPECT_TRUE(message(series, 3).isWaiting());
    EXPECT_FALSE(message(series, 3).answeredAtMs);
    // A completion with nothing waiting belongs to no message.
    series.completed(1300);
    series.completed(1400);
    EXPECT_EQ(series.counts().completed, 3);
}

TEST(SeriesCompletionTest, AnswersOwedToAnEarlierSeriesAreNotGivenToTheNewOne)
{
    SeriesStatistics series = seriesOf(2, 0);
    series.completed(1050);
    // One message of the first series is still unanswered when the next starts.
    series.start();
    series.messageWritten(9, destination, 0, 2000);
    series.completed(2010); // the earlier message's answer
    EXPECT_TRUE(message(series, 1).isWaiting());
    series.completed(2030);
    EXPECT_EQ(message(series, 1).answeredAtMs, 2030);
    EXPECT_EQ(series.counts().sent, 1);
}

TEST(SeriesCompletionTest, AfterTheLinkRestartsEarlierWritesGetNoAnswer)
{
    SeriesStatistics series = seriesOf(2, 0);
    series.linkRestarted();
    series.messageWritten(0, destination, 0, 3000);
    series.completed(3050);
    EXPECT_TRUE(message(series, 1).isWaiting());
    EXPECT_TRUE(message(series, 2).isWaiting());
    EXPECT_EQ(message(series, 3).answeredAtMs, 3050);
}

TEST(SeriesWriteTest, TimesCountFromTheEndOfEachWrite)
{
    // Two messages handed to the port at 1000 and 1010; the first write
    // ends at 1040, the second only after its answer was read.
    SeriesStatistics series = seriesOf(2, 0);
    series.writeFinished(1040);
    series.completed(1060);
    series.completed(1070);
    series.writeFinished(1075);
    EXPECT_EQ(message(series, 1).writtenAtMs, 1040);
    EXPECT_EQ(message(series, 2).writtenAtMs, 1070) << "no later than its answer";
    EXPECT_EQ(SeriesStatistics::spanMs(message(series, 1), SeriesStatistics::Span::Completion), 20);
    EXPECT_EQ(SeriesStatistics::spanMs(message(series, 2), SeriesStatistics::Span::Completion), 0);
    // A write end with nothing left to finish changes nothing.
    series.writeFinished(2000);
    EXPECT_EQ(message(series, 2).writtenAtMs, 1070);
}

TEST(SeriesWriteTest, WritesOfAnEarlierSeriesDoNotMoveTheNewOnes)
{
    SeriesStatistics series = seriesOf(2, 0);
    series.writeFinished(1005);
    series.start();
    series.messageWritten(2, destination, 0, 3000);
    series.writeFinished(3001); // the earlier series' second message
    EXPECT_EQ(message(series, 1).writtenAtMs, 3000);
    series.writeFinished(3020);
    EXPECT_EQ(message(series, 1).writtenAtMs, 3020);
}

// --- Reports -----------------------------------------------------------------

TEST(SeriesReportTest, OutOfOrderReportsFindTheirMessagesByReference)
{
    SeriesStatistics series = seriesOf(3, bothReports, 10);
    for (int i = 0; i < 3; ++i)
        series.completed(1100 + i);
    // Consumed before received, and the messages in no particular order.
    series.reportReceived(12, "02", 1300);
    series.reportReceived(10, "00", 1310);
    series.reportReceived(12, "00", 1320);
    series.reportReceived(11, "02", 1330);
    series.reportReceived(10, "02", 1340);
    series.reportReceived(11, "00", 1350);

    EXPECT_EQ(message(series, 1).receivedReport.atMs, 1310);
    EXPECT_EQ(message(series, 1).consumedReport.atMs, 1340);
    EXPECT_EQ(message(series, 2).receivedReport.atMs, 1350);
    EXPECT_EQ(message(series, 2).consumedReport.atMs, 1330);
    EXPECT_EQ(message(series, 3).receivedReport.atMs, 1320);
    EXPECT_EQ(message(series, 3).consumedReport.atMs, 1300);
    EXPECT_EQ(SeriesStatistics::spanMs(message(series, 3), SeriesStatistics::Span::ConsumedReport),
              1300 - 1020);

    const SeriesStatistics::Counts counts = series.counts();
    EXPECT_EQ(counts.receivedReports, 3);
    EXPECT_EQ(counts.consumedReports, 3);
    EXPECT_EQ(counts.unmatchedReports, 0);
    EXPECT_EQ(counts.stillWaiting, 0);
}

TEST(SeriesReportTest, AReportForAReferenceNeverSentIsUnmatched)
{
    SeriesStatistics series = seriesOf(2, SeriesStatistics::ReceivedReportFlag, 0);
    series.completed(1100);
    series.completed(1110);
    series.reportReceived(0x7F, "00", 1200);
    series.reportReceived(std::nullopt, "00", 1210);
    // A second received report for one message, and a consumed report
    // nobody asked for.
    series.reportReceived(0, "00", 1220);
    series.reportReceived(0, "00", 1230);
    series.reportReceived(1, "02", 1240);

    const SeriesStatistics::Counts counts = series.counts();
    EXPECT_EQ(counts.receivedReports, 1);
    EXPECT_EQ(counts.consumedReports, 0);
    EXPECT_EQ(counts.unmatchedReports, 4);
    EXPECT_EQ(counts.stillWaiting, 1);
    EXPECT_TRUE(message(series, 2).isWaiting());
}

TEST(SeriesReportTest, OtherStatusesFillTheFirstMissingReport)
{
    SeriesStatistics series = seriesOf(2, bothReports, 0);
    series.completed(1100);
    series.completed(1110);
    series.reportReceived(0, "41", 1200); // e.g. not reachable, in place of "received"
    series.reportReceived(1, "00", 1210);
    series.reportReceived(1, "6C", 1220); // in place of "consumed"

    EXPECT_EQ(message(series, 1).receivedReport.status, QByteArray("41"));
    EXPECT_TRUE(message(series, 1).waitsForReports());
    EXPECT_EQ(message(series, 2).consumedReport.status, QByteArray("6C"));
    const SeriesStatistics::Counts counts = series.counts();
    EXPECT_EQ(counts.otherStatuses, 2);
    EXPECT_EQ(counts.receivedReports, 1);
    EXPECT_EQ(counts.consumedReports, 0);
    EXPECT_EQ(counts.stillWaiting, 1);
}

TEST(SeriesReportTest, ARefusedMessageWaitsForNoReport)
{
    SeriesStatistics series = seriesOf(1, bothReports, 5);
    series.refused("ERROR", 1100);
    series.reportReceived(5, "00", 1200);
    EXPECT_EQ(series.counts().unmatchedReports, 1);
    EXPECT_EQ(series.counts().stillWaiting, 0);
}

TEST(SeriesReportTest, ReportsThatCameBeforeTheCompletionCount)
{
    SeriesStatistics series = seriesOf(1, SeriesStatistics::ReceivedReportFlag, 3);
    series.reportReceived(3, "00", 1005);
    EXPECT_TRUE(message(series, 1).isWaiting());
    series.completed(1008);
    EXPECT_FALSE(message(series, 1).isWaiting());
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
            series.reportReceived(quint8(written - 61), "00", 10 * written + 1);
        if (written - 100 >= 1 && written - 100 <= count)
            series.reportReceived(quint8(written - 101), "02", 10 * written + 2);
    };
    for (int index = 1; index <= count; ++index) {
        series.messageWritten(quint8(index - 1), destination, bothReports, 10 * index);
        series.completed(10 * index + 5);
        reportsDueAt(index);
    }
    for (int late = count + 1; late <= count + 100; ++late)
        reportsDueAt(late);

    for (const int index : {1, 44, 256, 257, 300}) {
        const SeriesMessage &m = message(series, index);
        EXPECT_EQ(m.receivedReport.atMs, 10 * (index + 60) + 1) << index;
        EXPECT_EQ(m.consumedReport.atMs, 10 * (index + 100) + 2) << index;
    }
    SeriesStatistics::Counts counts = series.counts();
    EXPECT_EQ(counts.receivedReports, count);
    EXPECT_EQ(counts.consumedReports, count);
    EXPECT_EQ(counts.unmatchedReports, 0);
    EXPECT_EQ(counts.stillWaiting, 0);
    const std::optional<SeriesStatistics::Figures> received =
        series.figures(SeriesStatistics::Span::ReceivedReport);
    ASSERT_TRUE(received);
    EXPECT_EQ(received->minMs, 601);
    EXPECT_EQ(received->maxMs, 601);

    // Once a reference's messages are all done, one more report for it
    // matches nothing, however many times the reference was used.
    series.reportReceived(0, "00", 99999);
    EXPECT_EQ(series.counts().unmatchedReports, 1);
}

TEST(SeriesReportTest, AReportLostBeforeTheReferenceWrapsIsChargedToTheOldestWaiting)
{
    // Message 1's received report never comes. When message 257 (also
    // reference 0) gets its report, the oldest message waiting for reference
    // 0 takes it: still, exactly one message is left waiting.
    SeriesStatistics series = seriesOf(257, SeriesStatistics::ReceivedReportFlag, 0);
    for (int index = 1; index <= 257; ++index)
        series.completed(5000 + index);
    for (int index = 2; index <= 256; ++index)
        series.reportReceived(quint8(index - 1), "00", 6000 + index);
    series.reportReceived(0, "00", 7000);
    EXPECT_EQ(message(series, 1).receivedReport.atMs, 7000);
    const SeriesStatistics::Counts counts = series.counts();
    EXPECT_EQ(counts.receivedReports, 256);
    EXPECT_EQ(counts.stillWaiting, 1);
    EXPECT_EQ(counts.unmatchedReports, 0);
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
        series.messageWritten(quint8(written), destination, 0, 100 * written);
        series.completed(100 * written + ms);
        ++written;
    }
    const std::optional<SeriesStatistics::Figures> figures =
        series.figures(SeriesStatistics::Span::Completion);
    ASSERT_TRUE(figures);
    EXPECT_EQ(figures->samples, 20);
    EXPECT_EQ(figures->minMs, 1);
    EXPECT_EQ(figures->medianMs, 10);
    EXPECT_EQ(figures->p95Ms, 19);
    EXPECT_EQ(figures->maxMs, 20);
    EXPECT_FALSE(series.figures(SeriesStatistics::Span::ReceivedReport));
}

TEST(SeriesFiguresTest, OneSampleIsEveryFigure)
{
    SeriesStatistics series = seriesOf(2, SeriesStatistics::ConsumedReportFlag, 0);
    series.reportReceived(1, "02", 1500);
    const std::optional<SeriesStatistics::Figures> figures =
        series.figures(SeriesStatistics::Span::ConsumedReport);
    ASSERT_TRUE(figures);
    EXPECT_EQ(figures->samples, 1);
    for (const qint64 value : {figures->minMs, figures->medianMs, figures->p95Ms, figures->maxMs})
        EXPECT_EQ(value, 490);
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
    series.messageWritten(0, destination, 0, 10);
    EXPECT_TRUE(changed());
    series.completed(20);
    EXPECT_TRUE(changed());
    series.reportReceived(9, "00", 30);
    EXPECT_TRUE(changed());
    EXPECT_EQ(series.lastEventAtMs(), 30);
}

} // namespace
