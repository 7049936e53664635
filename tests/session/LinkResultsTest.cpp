#include "session/LinkResults.h"
#include "session/LinkExport.h"
#include "session/LinkTag.h"
#include "session/SeriesExport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {

using Verdict = LinkResults::Verdict;

constexpr quint16 runId = 0x7f3a;
constexpr qint64 wallOffsetMs = 1'800'000'000'000;

Moment at(qint64 ms)
{
    return {ms, ms + wallOffsetMs};
}

QByteArray textOf(int sequence)
{
    return LinkTag::make(runId, sequence) + "Hello";
}

// A run whose `count` messages from the sender were written 100 ms apart
// from t = 1000; message n is the sender's n-th.
struct LinkRun
{
    LinkResults link;
    quint64 arrivals = 0;

    explicit LinkRun(int count)
    {
        link.start(runId);
        for (int sequence = 1; sequence <= count; ++sequence) {
            link.messageScheduled(sequence, LinkSide::Sender, sequence, textOf(sequence));
            link.messageWritten(LinkSide::Sender, sequence, at(900 + 100 * sequence));
        }
    }
    Verdict arrive(const QByteArray &text, qint64 ms, int reports = 0,
                   LinkSide side = LinkSide::Receiver)
    {
        return link.messageArrived(side, ++arrivals, text, reports, at(ms));
    }
    const LinkMessage &message(int sequence) const
    {
        return link.messages().at(std::size_t(sequence - 1));
    }
};

TEST(LinkResultsTest, MessagesDeliveredInOrderAreIntactOnceWithTheirDeliveryTimes)
{
    LinkRun run(3);
    EXPECT_EQ(run.arrive(textOf(1), 1040), Verdict::Matched);
    EXPECT_EQ(run.arrive(textOf(2), 1150), Verdict::Matched);
    EXPECT_EQ(run.arrive(textOf(3), 1230), Verdict::Matched);

    const LinkResults::Counts counts = run.link.counts();
    EXPECT_EQ(counts.messages, 3);
    EXPECT_EQ(counts.delivered, 3);
    EXPECT_EQ(counts.deliveredIntact, 3);
    EXPECT_EQ(counts.lost + counts.inTransit + counts.duplicated + counts.outOfOrder +
                  counts.corrupted + counts.foreign,
              0);
    EXPECT_EQ(run.message(2).deliveryMs(), 50);
    EXPECT_TRUE(run.message(2).deliveredIntactOnce());
    ASSERT_TRUE(run.link.deliveryFigures());
    EXPECT_EQ(run.link.deliveryFigures()->minMs, 30);
    EXPECT_EQ(run.link.deliveryFigures()->medianMs, 40);
    EXPECT_EQ(run.link.deliveryFigures()->maxMs, 50);
    EXPECT_EQ(run.link.deliveryRatio(), 1.0);
    EXPECT_TRUE(run.link.settled());
}

TEST(LinkResultsTest, DuplicatesLateArrivalsAndDamageAreCountedPerMessage)
{
    LinkRun run(4);
    run.arrive(textOf(1), 1010);
    run.arrive(textOf(1), 1020);
    run.arrive(textOf(3), 1300);
    // Held back behind the one after it.
    run.arrive(textOf(2), 1310);
    QByteArray damaged = textOf(4);
    damaged.back() = char(damaged.back() ^ 0x01);
    EXPECT_EQ(run.arrive(damaged, 1400), Verdict::Matched);

    EXPECT_EQ(run.message(1).arrivals, 2);
    // The first copy counts for the delivery time.
    EXPECT_EQ(run.message(1).deliveryMs(), 10);
    EXPECT_FALSE(run.message(1).deliveredIntactOnce());
    EXPECT_TRUE(run.message(2).outOfOrder);
    EXPECT_FALSE(run.message(3).outOfOrder);
    EXPECT_EQ(run.message(4).corruptedArrivals, 1);

    const LinkResults::Counts counts = run.link.counts();
    EXPECT_EQ(counts.delivered, 4);
    EXPECT_EQ(counts.deliveredIntact, 3);
    EXPECT_EQ(counts.duplicated, 1);
    EXPECT_EQ(counts.outOfOrder, 1);
    EXPECT_EQ(counts.corrupted, 1);
    EXPECT_EQ(run.link.deliveryRatio(), 0.75);
}

TEST(LinkResultsTest, TagsThatAreNotThisRunsAreForeignAndNeverMatched)
{
    LinkRun run(2);
    const QByteArray foreignTexts[] = {
        LinkTag::make(runId + 1, 1) + "Hello", // another run
        LinkTag::make(runId, 3) + "Hello",     // a number this run never sent
        "#7f3a:0001Hello",                     // malformed
        "#7F3A:0001 Hello",
        "#7f3a:00001 Hello",
    };
    for (const QByteArray &text : foreignTexts)
        EXPECT_EQ(run.arrive(text, 1500), Verdict::Foreign) << text.constData();
    // The sender's own message, back at the sender: not an arrival at the far end.
    EXPECT_EQ(run.arrive(textOf(1), 1500, 0, LinkSide::Sender), Verdict::Foreign);
    EXPECT_EQ(run.arrive("Hello from a peer", 1500), Verdict::Untagged);

    const LinkResults::Counts counts = run.link.counts();
    EXPECT_EQ(counts.foreign, 6);
    EXPECT_EQ(counts.delivered, 0);
    EXPECT_EQ(counts.inTransit, 2);
}

TEST(LinkResultsTest, AMessageNotArrivedInTimeIsLostUntilItArrives)
{
    LinkRun run(3);
    run.arrive(textOf(1), 1010);
    run.link.expireDeliveries(1150);
    EXPECT_TRUE(run.message(2).lost);
    EXPECT_FALSE(run.message(3).lost);
    EXPECT_FALSE(run.link.settled());
    EXPECT_EQ(run.link.counts().inTransit, 1);

    run.arrive(textOf(2), 1600);
    EXPECT_FALSE(run.message(2).lost);
    run.link.closeRun();
    EXPECT_TRUE(run.message(3).lost);
    EXPECT_TRUE(run.link.settled());
    const LinkResults::Counts counts = run.link.counts();
    EXPECT_EQ(counts.lost, 1);
    EXPECT_EQ(counts.delivered, 2);
}

TEST(LinkResultsTest, ReportsWrittenAreCreditedToTheMessageTheyAnswer)
{
    LinkRun run(2);
    run.arrive(textOf(1), 1010, 2);
    const quint64 first = run.arrivals;
    run.arrive("untagged", 1020, 1);
    const quint64 untagged = run.arrivals;
    run.link.reportSent(LinkSide::Receiver, first);
    run.link.reportSent(LinkSide::Receiver, untagged);
    run.link.reportSent(LinkSide::Sender, first);
    run.link.reportSent(LinkSide::Receiver, first);
    EXPECT_EQ(run.message(1).reportsRequested, 2);
    EXPECT_EQ(run.message(1).reportsSent, 2);
    EXPECT_EQ(run.link.counts().reportsSent, 2);
}

TEST(LinkResultsTest, EachDirectionKeepsItsOwnOrder)
{
    LinkResults link;
    link.start(runId);
    for (int sequence = 1; sequence <= 4; ++sequence) {
        const LinkSide from = sequence % 2 == 1 ? LinkSide::Sender : LinkSide::Receiver;
        link.messageScheduled(sequence, from, (sequence + 1) / 2, textOf(sequence));
        link.messageWritten(from, (sequence + 1) / 2, at(1000 + sequence));
    }
    quint64 number = 0;
    // 4 arrives at the sender before 1 and 3 at the receiver: no direction is out of order.
    for (const int sequence : {4, 1, 2, 3})
        EXPECT_EQ(link.messageArrived(sequence % 2 == 1 ? LinkSide::Receiver : LinkSide::Sender,
                                      ++number, textOf(sequence), 0, at(2000)),
                  Verdict::Matched);
    const LinkResults::Counts counts = link.counts();
    EXPECT_EQ(counts.outOfOrder, 1) << "2 came after 4, the same way";
    EXPECT_TRUE(link.messages().at(1).outOfOrder);
    EXPECT_EQ(counts.deliveredIntact, 4);
}

TEST(LinkResultsTest, TheDeliveryPlotKeepsTheSlowestOfEachRunAsTheSeriesDoes)
{
    // Twice the plot's points: runs of two messages.
    const int count = 2 * SeriesStatistics::MaxPlotPoints;
    LinkRun run(count);
    for (int sequence = 1; sequence <= count; ++sequence) {
        // Message 777 is the outlier; its run's other message is quick.
        const qint64 deliveryMs = sequence == 777 ? 900 : 20 + sequence % 2;
        run.arrive(textOf(sequence), 900 + 100 * sequence + deliveryMs);
    }
    const QList<QPointF> points = run.link.deliveryPlotPoints();
    ASSERT_EQ(points.size(), SeriesStatistics::MaxPlotPoints);
    EXPECT_EQ(points.at(388), QPointF(777, 900)) << "the outlier stays in view";
    EXPECT_EQ(points.at(0), QPointF(1, 21)) << "the slower of messages 1 and 2";

    SeriesStatistics series;
    series.start();
    for (int i = 1; i <= count; ++i)
        series.messageScheduled(quint8(i), "1235", 0, at(900 + 100 * i));
    EXPECT_EQ(series.plotRunLength(), 2) << "the same runs as the series' plot";

    run.link.start(runId);
    EXPECT_TRUE(run.link.deliveryPlotPoints().isEmpty()) << "a new run starts a new plot";
}

TEST(LinkResultsTest, NothingCountsBeforeARunStarts)
{
    LinkResults link;
    link.messageScheduled(1, LinkSide::Sender, 1, textOf(1));
    EXPECT_EQ(link.messageArrived(LinkSide::Receiver, 1, textOf(1), 0, at(1)), Verdict::Untagged);
    EXPECT_TRUE(link.messages().empty());
    EXPECT_FALSE(link.deliveryRatio());
}

TEST(LinkExportTest, TheCsvAddsTheLinkColumnsAtTheEndAndTheJsonTheRatio)
{
    SeriesStatistics series;
    series.start();
    LinkRun run(2);
    for (int i = 1; i <= 2; ++i) {
        const SeriesStatistics::Ticket ticket =
            series.messageScheduled(quint8(i - 1), "1235", 0, at(900 + 100 * i));
        series.messageWritten(ticket, at(900 + 100 * i));
        series.completed(ticket, at(901 + 100 * i));
    }
    run.arrive(textOf(1), 1025, 2);
    run.link.reportSent(LinkSide::Receiver, run.arrivals);
    run.link.closeRun();

    const QList<QByteArray> lines =
        SeriesExport::wholeCsv(LinkExport::CsvSnapshot({&series, nullptr}, run.link)).split('\n');
    ASSERT_EQ(lines.size(), 4) << "a header, two rows and the last line end";
    EXPECT_TRUE(lines[0].startsWith(SeriesExport::csvHeader() + ",link_tag,sent_by,"));
    const QList<QByteArray> first = lines[1].trimmed().split(',');
    const QList<QByteArray> second = lines[2].trimmed().split(',');
    const qsizetype link = SeriesExport::csvHeader().count(',') + 1;
    ASSERT_EQ(first.size(), link + 10);
    EXPECT_EQ(first[0], "1");
    EXPECT_EQ(first[5], "completed");
    EXPECT_EQ(first.mid(link, 2), (QList<QByteArray>{"#7f3a:0001", "sender"}));
    EXPECT_EQ(first.mid(link + 3),
              (QList<QByteArray>{"25", "1", "yes", "no", "delivered", "2", "1"}));
    EXPECT_EQ(second.mid(link + 3), (QList<QByteArray>{"", "0", "", "", "lost", "0", "0"}));

    const QJsonObject summary =
        QJsonDocument::fromJson(LinkExport::summaryJson({&series, nullptr}, run.link, false))
            .object();
    EXPECT_EQ(summary["messages"].toObject()["completed"].toInt(), 2);
    const QJsonObject linkSummary = summary["link"].toObject();
    EXPECT_EQ(linkSummary["deliveryRatio"].toDouble(), 0.5);
    EXPECT_EQ(linkSummary["lost"].toInt(), 1);
    EXPECT_EQ(linkSummary["runId"].toString(), QStringLiteral("7f3a"));
}

TEST(LinkExportTest, TheSnapshotKeepsItsMomentAndIsWrittenInPiecesInSequenceOrder)
{
    // Rows enough for several pieces.
    constexpr int count = 3000;
    SeriesStatistics series;
    series.start();
    LinkRun run(count);
    for (int i = 1; i <= count; ++i) {
        const SeriesStatistics::Ticket ticket =
            series.messageScheduled(quint8(i), "1235", 0, at(900 + 100 * i));
        series.messageWritten(ticket, at(900 + 100 * i));
    }
    // Arrivals in reverse: the rows still come in sequence order.
    for (int i = count; i > count / 2; --i)
        run.arrive(textOf(i), 1000 + 100 * i + 30);
    const LinkExport::CsvSnapshot snapshot({&series, nullptr}, run.link);
    run.arrive(textOf(1), 1050);

    QList<qsizetype> pieces;
    QByteArray whole;
    ASSERT_TRUE(snapshot.write([&](QByteArrayView piece) {
        pieces.append(piece.size());
        whole += piece;
        return true;
    }));
    EXPECT_GT(pieces.size(), 2) << "a long link test is written in pieces";
    const QList<QByteArray> lines = whole.split('\n');
    ASSERT_EQ(lines.size(), count + 2) << "a header, a row per message and the last line end";
    for (int i = 1; i <= count; ++i) {
        const QList<QByteArray> fields = lines[i].trimmed().split(',');
        ASSERT_EQ(fields.first(), QByteArray::number(i));
        EXPECT_EQ(fields.at(fields.size() - 3), i > count / 2 ? "delivered" : "in transit")
            << "row " << i << ": what had arrived when the snapshot was taken";
    }

    int offered = 0;
    EXPECT_FALSE(snapshot.write([&](QByteArrayView) { return ++offered < 2; }));
    EXPECT_EQ(offered, 2) << "nothing more is offered once a piece was refused";
}

} // namespace
