// A series measured end to end: the radio delays its reports by amounts it
// logs, and the window's statistics, plot and saved files must tell the same
// story as the radio's log.
#include "session/SeriesExport.h"
#include "session/SeriesStatistics.h"
#include "tests/endtoend/EndToEndWindow.h"
#include "tests/endtoend/EventLoopWait.h"
#include "tests/endtoend/PtyRadio.h"
#include "tests/endtoend/SimRadio.h"
#include "window/SeriesPanel.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>

namespace {

enum class RadioPath { Sim, Pty };

constexpr int protocolId = 130;
constexpr int destination = 4321;
constexpr int repetitions = 300;
constexpr int seriesDelayMs = 40;
// Even in number, so received reports take 40, 220 and 110 ms in turn and
// consumed reports 150, 90 and 300: consumed reports often overtake
// received ones, and the two medians differ.
const QList<qint64> reportDelaysMs{40, 150, 220, 90, 110, 300};
constexpr qint64 medianToleranceMs = 20;

qint64 nearestRankMedian(QList<qint64> values)
{
    std::sort(values.begin(), values.end());
    return values.at((values.size() + 1) / 2 - 1);
}

class SeriesEndToEnd : public testing::TestWithParam<RadioPath>
{
protected:
    void SetUp() override
    {
        RadioSetup setup;
        setup.reportDelaysMs = reportDelaysMs;
        if (GetParam() == RadioPath::Sim)
            radio = std::make_unique<SimRadio>(setup);
        else
            radio = std::make_unique<PtyRadio>(setup);
        ASSERT_FALSE(radio->portName().isEmpty()) << "the radio did not start";
        window = std::make_unique<EndToEndWindow>();
        ASSERT_TRUE(window->connectTo(radio->portName()));
        ASSERT_TRUE(radio->portOpened());
        ASSERT_TRUE(window->registerAs(protocolId));
    }

    TForm1 &form() { return window->form(); }
    const SeriesStatistics &series() { return form().seriesStatistics(); }

    // Declared first: the window lets go of the port before the radio goes.
    std::unique_ptr<RadioUnderTest> radio;
    std::unique_ptr<EndToEndWindow> window;
};

std::string pathName(const testing::TestParamInfo<RadioPath> &info)
{
    return info.param == RadioPath::Sim ? "Sim" : "Pty";
}

TEST_P(SeriesEndToEnd, MediansMatchTheRadiosDelaysAndTheCsvWhatItSaw)
{
    window->compose(destination, QStringLiteral("Timed"), repetitions, seriesDelayMs);
    ASSERT_TRUE(window->requestBothReports());
    ASSERT_TRUE(window->press(form().SendButton));
    ASSERT_TRUE(waitUntil(
        [&] {
            const SeriesStatistics::Counts counts = series().counts();
            return form().SendButton->text() == QStringLiteral("Send") &&
                   counts.sent == repetitions && counts.stillWaiting == 0;
        },
        QStringLiteral("every completion and report"), 12 * stepTimeoutMs))
        << SeriesExport::summaryText(series()).toStdString();

    const SeriesStatistics::Counts counts = series().counts();
    EXPECT_EQ(counts.completed, repetitions);
    EXPECT_EQ(counts.receivedReports, repetitions);
    EXPECT_EQ(counts.consumedReports, repetitions);
    EXPECT_EQ(counts.otherStatuses, 0);
    EXPECT_EQ(counts.unmatchedReports, 0);

    // What the radio applied, by report kind, against what the window measured.
    const QStringList log = radio->logLines();
    QList<qint64> applied[2];
    for (const AppliedReportDelay &report : reportDelaysInLog(log)) {
        ASSERT_TRUE(report.status == 0x00 || report.status == 0x02) << report.status;
        applied[report.status == 0x02].append(report.delayMs);
    }
    ASSERT_EQ(applied[0].size(), repetitions);
    ASSERT_EQ(applied[1].size(), repetitions);
    const struct
    {
        SeriesStatistics::Span span;
        const QList<qint64> &delays;
    } kinds[] = {{SeriesStatistics::Span::ReceivedReport, applied[0]},
                 {SeriesStatistics::Span::ConsumedReport, applied[1]}};
    for (const auto &kind : kinds) {
        const std::optional<SeriesStatistics::Figures> figures = series().figures(kind.span);
        ASSERT_TRUE(figures);
        EXPECT_EQ(figures->samples, repetitions);
        EXPECT_NEAR(double(figures->medianMs), double(nearestRankMedian(kind.delays)),
                    double(medianToleranceMs));
        // No report comes before the radio's delay is over; the write's time
        // is taken once the write has finished, which may be a little after
        // the radio has read it.
        EXPECT_GE(figures->minMs,
                  *std::min_element(kind.delays.begin(), kind.delays.end()) - medianToleranceMs);
    }
    EXPECT_NE(series().figures(SeriesStatistics::Span::ReceivedReport)->medianMs,
              series().figures(SeriesStatistics::Span::ConsumedReport)->medianMs);

    // The panel plots every time once it has redrawn.
    ASSERT_TRUE(waitUntil([&] { return form().SeriesPanel1->plottedPoints() == 3 * repetitions; },
                          QStringLiteral("every point plotted")));
    EXPECT_TRUE(form().SeriesPanel1->countsText().contains(QStringLiteral("Completed 300")));

    // The saved rows are the messages the radio received, in its order.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString csvFile = dir.filePath(QStringLiteral("series.csv"));
    bool saved = false;
    QString failure;
    form().SeriesPanel1->saveSeriesTo(csvFile, [&](const std::optional<files::FileError> &error) {
        saved = true;
        if (error)
            failure = error->message();
    });
    ASSERT_TRUE(waitUntil([&] { return saved; }, QStringLiteral("the series saved")));
    ASSERT_TRUE(failure.isEmpty()) << qPrintable(failure);
    QFile csv(csvFile);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    QList<QByteArray> rows = csv.readAll().split('\n');
    ASSERT_EQ(rows.takeLast(), QByteArray());
    rows.removeFirst();
    QList<SeenMessage> seen;
    for (const SeenMessage &message : messagesSeenInLog(log)) {
        if (message.destination == QByteArray::number(destination))
            seen.append(message);
    }
    ASSERT_EQ(seen.size(), repetitions);
    ASSERT_EQ(rows.size(), repetitions);
    for (int i = 0; i < repetitions; ++i) {
        const QList<QByteArray> fields = rows.at(i).trimmed().split(',');
        ASSERT_EQ(fields.size(), 11) << rows.at(i).constData();
        EXPECT_EQ(fields.at(0).toInt(), i + 1);
        EXPECT_EQ(fields.at(1).toInt(), seen.at(i).reference) << "row " << i + 1;
        EXPECT_EQ(fields.at(2), seen.at(i).destination) << "row " << i + 1;
        EXPECT_EQ(fields.at(5), QByteArray("completed")) << "row " << i + 1;
        EXPECT_EQ(fields.at(7), QByteArray("00")) << "row " << i + 1;
        EXPECT_EQ(fields.at(9), QByteArray("02")) << "row " << i + 1;
        for (const int time : {3, 4, 6, 8, 10})
            EXPECT_FALSE(fields.at(time).isEmpty()) << "row " << i + 1 << " field " << time;
    }
    QFile json(dir.filePath(QStringLiteral("series.json")));
    ASSERT_TRUE(json.open(QIODevice::ReadOnly));
    const QJsonObject summary = QJsonDocument::fromJson(json.readAll()).object();
    EXPECT_EQ(summary.value("messages").toObject().value("completed").toInt(), repetitions);
}

INSTANTIATE_TEST_SUITE_P(BothPorts, SeriesEndToEnd, testing::Values(RadioPath::Sim, RadioPath::Pty),
                         pathName);

} // namespace
