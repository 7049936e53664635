#include "window/SeriesPanel.h"
#include "files/FileError.h"
#include "session/SeriesExport.h"
#include "session/SeriesStatistics.h"
#include "tests/files/SmallTmpfs.h"
#include "tests/formstate/TestFiles.h"
#include "tests/support/LongSeries.h"
#include "tests/window/StallWatch.h"
#include "window/ModalBox.h"
#include "window/SaveDialog.h"

#include <QChartView>
#include <QFile>
#include <QPushButton>
#include <QScatterSeries>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The plotted points of the line with this name.
QList<QPointF> plotted(const SeriesPanel &panel, const QString &name)
{
    for (QAbstractSeries *plot : panel.findChild<QChartView *>()->chart()->series()) {
        if (plot->name() == name)
            return static_cast<QScatterSeries *>(plot)->points();
    }
    return {};
}

class SeriesPanelTest : public testing::Test
{
protected:
    void SetUp() override { series.start(); }

    // Messages written 100 ms apart and completed after `ms(index)`.
    void completeMessages(int count, const std::function<qint64(int)> &ms)
    {
        for (int index = 1; index <= count; ++index) {
            const Moment written{100 * index, 100 * index};
            const SeriesStatistics::Ticket ticket = series.messageScheduled(
                quint8(index - 1), "4321", SeriesStatistics::ReceivedReportFlag, written);
            series.messageWritten(ticket, written);
            const qint64 answeredMs = 100 * index + ms(index);
            series.completed(ticket, {answeredMs, answeredMs});
        }
    }

    SeriesStatistics series;
    SeriesPanel panel{series};
};

TEST_F(SeriesPanelTest, ShownPanelFollowsTheStatisticsOnItsTimer)
{
    panel.show();
    completeMessages(3, [](int index) { return 10 * index; });
    series.reportReceived(1, "00", {300, 300});
    QTRY_COMPARE_WITH_TIMEOUT(panel.plottedPoints(), 4, 5000);
    EXPECT_TRUE(panel.countsText().contains("Sent 3, Queued 0, Completed 3"))
        << panel.countsText().toStdString();
    EXPECT_TRUE(panel.countsText().contains("Received reports 1"))
        << panel.countsText().toStdString();
    EXPECT_TRUE(panel.countsText().contains("Still waiting 2")) << panel.countsText().toStdString();
    EXPECT_EQ(plotted(panel, "completion"),
              QList<QPointF>({QPointF(1, 10), QPointF(2, 20), QPointF(3, 30)}));
    EXPECT_EQ(plotted(panel, "received"), QList<QPointF>({QPointF(2, 100)}));
}

TEST_F(SeriesPanelTest, HiddenPanelDrawsNothing)
{
    completeMessages(2, [](int) { return 5; });
    panel.refresh();
    EXPECT_EQ(panel.plottedPoints(), 0);
    panel.show();
    panel.refresh();
    EXPECT_EQ(panel.plottedPoints(), 2);
}

TEST_F(SeriesPanelTest, WhileTheFiguresChangeThePlotWaitsItsIntervalAndCatchesUpAtRest)
{
    panel.show();
    completeMessages(2, [](int) { return 5; });
    panel.refresh();
    EXPECT_EQ(panel.plottedPoints(), 2);

    // A third message, drawn microseconds after the plot, well within its
    // interval of a second: the figures show it, the plot not yet.
    const Moment written{1000, 1000};
    const SeriesStatistics::Ticket ticket = series.messageScheduled(2, "4321", 0, written);
    series.messageWritten(ticket, written);
    series.completed(ticket, {1007, 1007});
    panel.refresh();
    EXPECT_TRUE(panel.countsText().contains("Sent 3, Queued 0, Completed 3"))
        << panel.countsText().toStdString();
    EXPECT_EQ(panel.plottedPoints(), 2);
    // Nothing changed since: the plot catches up.
    panel.refresh();
    EXPECT_EQ(panel.plottedPoints(), 3);
}

TEST_F(SeriesPanelTest, LongSeriesPlotsTheSlowestOfEachRun)
{
    // 1200 messages: runs of four, the shortest that keep 500 points at
    // most. One slow message among fast ones must stay visible.
    completeMessages(1200, [](int index) { return index == 601 ? 900 : 10 + index % 3; });
    panel.show();
    panel.refresh();
    const QList<QPointF> points = plotted(panel, "completion");
    ASSERT_EQ(points.size(), 300);
    EXPECT_EQ(points.at(0), QPointF(2, 12)) << "the slowest of messages 1..4";
    EXPECT_EQ(points.at(150), QPointF(601, 900));
    EXPECT_LE(panel.plottedPoints(), 3 * SeriesPanel::MaxPlottedPoints);
}

TEST_F(SeriesPanelTest, SaveSeriesWritesTheCsvAndTheSummaryBesideIt)
{
    completeMessages(2, [](int) { return 7; });
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TSaveDialog::setHandler([&](const TSaveDialog &) { return dir.filePath("series.csv"); });
    panel.SaveSeriesButton->click();
    TSaveDialog::setHandler({});
    // Written in the background: the summary comes last.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath("series.json")), 10000);
    QFile csv(dir.filePath("series.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(csv.readAll().count('\n'), 3);
    EXPECT_TRUE(QFile::exists(dir.filePath("series.json")));

    // Cancelled: nothing is written.
    TSaveDialog::setHandler([](const TSaveDialog &) { return QString(); });
    panel.SaveSeriesButton->click();
    TSaveDialog::setHandler({});
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

TEST_F(SeriesPanelTest, SavingAHundredThousandRowsLeavesTheWindowThreadLive)
{
    constexpr int rows = 100000;
    fillLongSeries(series, rows);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TSaveDialog::setHandler([&](const TSaveDialog &) { return dir.filePath("series.csv"); });

    StallWatch watch;
    panel.SaveSeriesButton->click();
    TSaveDialog::setHandler({});
    // Written in the background: the summary comes last.
    ASSERT_TRUE(
        waitUntil([&] { return QFile::exists(dir.filePath("series.json")); }, "summary", 120000));
    EXPECT_TRUE(watch.stayedWithin(50));

    QFile csv(dir.filePath("series.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(csv.readLine(), SeriesExport::csvHeader() + "\r\n");
    int lines = 1;
    QByteArray last;
    while (!csv.atEnd()) {
        last = csv.readLine();
        ++lines;
    }
    EXPECT_EQ(lines, rows + 1);
    EXPECT_TRUE(last.startsWith(QByteArray::number(rows) + ",")) << last.toStdString();
}

TEST_F(SeriesPanelTest, SeriesSavedOntoAFullDiskSaysWhyInOneBoxAndKeepsTheEarlierFiles)
{
    const SmallTmpfs disk("16k");
    if (!disk.skipReason().isEmpty())
        GTEST_SKIP() << qPrintable(disk.skipReason());
    completeMessages(2, [](int) { return 7; });
    const QString csvPath = disk.filePath("series.csv");
    const QString jsonPath = disk.filePath("series.json");
    writeFileContent(csvPath, "earlier csv\r\n");
    writeFileContent(jsonPath, "{}");
    ASSERT_GT(disk.fill("filler"), 0);
    QList<ModalBoxRequest> boxes;
    setModalBoxHandler([&](const ModalBoxRequest &request) {
        boxes.append(request);
        return 0;
    });
    TSaveDialog::setHandler([&](const TSaveDialog &) { return csvPath; });
    panel.SaveSeriesButton->click();
    TSaveDialog::setHandler({});
    QTRY_COMPARE_WITH_TIMEOUT(boxes.size(), 1, 10000);
    setModalBoxHandler({});
    EXPECT_EQ(boxes.first().text,
              "Cannot write file \"" + csvPath + "\": " + files::systemReason(ENOSPC));
    EXPECT_EQ(fileContent(csvPath), QByteArray("earlier csv\r\n"));
    EXPECT_EQ(fileContent(jsonPath), QByteArray("{}"));
}

} // namespace
