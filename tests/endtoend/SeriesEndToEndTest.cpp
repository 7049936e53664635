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
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdlib>
#include <deque>
#include <utility>
#include <vector>

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
// The radio's log and the window's times are whole milliseconds: a
// difference of two times of each may be off by this much.
constexpr qint64 resolutionMs = 2;

qint64 nearestRankMedian(QList<qint64> values)
{
    std::sort(values.begin(), values.end());
    return values.at((values.size() + 1) / 2 - 1);
}

// How far values typically lie from their median.
qint64 medianAbsoluteDeviation(const QList<qint64> &values)
{
    const qint64 median = nearestRankMedian(values);
    QList<qint64> deviations;
    for (const qint64 value : values)
        deviations.append(std::abs(value - median));
    return nearestRankMedian(deviations);
}

// One message as the radio's log shows it, on the radio's clock: when it
// had read it, and when it sent the completion and each report (-1: not
// seen). Under load the radio may send a report later than the delay it
// applied: these are the times it really had.
struct RadioTiming
{
    int reference = 0;
    qint64 readMs = 0;
    qint64 completionMs = -1;
    qint64 reportMs[2] = {-1, -1}; // received, consumed
};

QList<RadioTiming> radioTimings(const QStringList &log, const QByteArray &to)
{
    QList<RadioTiming> timings;
    qsizetype completed = 0;
    static const QRegularExpression completion(QStringLiteral("\\+CMGS: 0\\\\r\\\\n\\\\r\\\\nOK"));
    // "+CMT: 4321,0,32\r\n82100201": protocol identifier, report, status, reference.
    static const QRegularExpression report(
        QStringLiteral("\\+CMT: [0-9]+,0,32\\\\r\\\\n[0-9A-F]{2}10([0-9A-F]{2})([0-9A-F]{2})"));
    for (const QString &line : log) {
        const qint64 atMs = logTimeMs(line);
        const QList<SeenMessage> seen = messagesSeenInLog({line});
        if (!seen.isEmpty() && seen.first().destination == to) {
            timings.append({seen.first().reference, atMs});
            continue;
        }
        if (!line.contains(QLatin1String("] tx ")))
            continue;
        // One message in flight at a time: completions come in writing order.
        for (auto it = completion.globalMatch(line); it.hasNext(); it.next()) {
            if (completed < timings.size())
                timings[completed++].completionMs = atMs;
        }
        // A reference comes back every 256 messages, long after its reports.
        for (auto it = report.globalMatch(line); it.hasNext();) {
            const QRegularExpressionMatch match = it.next();
            const int kind = match.captured(1) == QLatin1String("02") ? 1 : 0;
            const int reference = match.captured(2).toInt(nullptr, 16);
            for (RadioTiming &timing : timings) {
                if (timing.reference == reference && timing.reportMs[kind] < 0) {
                    timing.reportMs[kind] = atMs;
                    break;
                }
            }
        }
    }
    return timings;
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

    // The radio applied the delays it was given.
    const QStringList log = radio->logLines();
    QList<qint64> applied[2];
    for (const AppliedReportDelay &report : reportDelaysInLog(log)) {
        ASSERT_TRUE(report.status == 0x00 || report.status == 0x02) << report.status;
        applied[report.status == 0x02].append(report.delayMs);
    }
    ASSERT_EQ(applied[0].size(), repetitions);
    ASSERT_EQ(applied[1].size(), repetitions);

    // Each message against the radio's own times for it. Whatever the load,
    // the window cannot have an answer before the radio sent it, nor written
    // a message before composing it: from composing to an answer takes at
    // least as long as the radio held that answer.
    const QList<RadioTiming> timings = radioTimings(log, QByteArray::number(destination));
    ASSERT_EQ(timings.size(), repetitions);
    const std::deque<SeriesMessage> &messages = series().messages();
    ASSERT_EQ(int(messages.size()), repetitions);
    const SeriesStatistics::Span reportSpans[] = {SeriesStatistics::Span::ReceivedReport,
                                                  SeriesStatistics::Span::ConsumedReport};
    // Per message and report kind: what the window should have measured, and
    // how far off it was.
    QList<qint64> expectedSpans[2];
    QList<qint64> deviations[2];
    // The anchor of the expected spans: each message's completion span.
    QList<qint64> completionSpans;
    // Every answer of the series, in the order the radio sent it, with the
    // window's time for it: one stream, so the window read them in that order.
    std::vector<std::pair<qint64, qint64>> answersInRadioOrder;
    for (int i = 0; i < repetitions; ++i) {
        const RadioTiming &radioSide = timings.at(i);
        const SeriesMessage &message = messages.at(std::size_t(i));
        ASSERT_EQ(message.reference, radioSide.reference) << "message " << i + 1;
        ASSERT_GE(radioSide.completionMs, 0) << "message " << i + 1;
        ASSERT_TRUE(message.answeredAt && message.writtenAt) << "message " << i + 1;
        const qint64 composedMs = message.scheduledAt.monotonicMs;
        EXPECT_GE(message.answeredAt->monotonicMs - composedMs,
                  radioSide.completionMs - radioSide.readMs - resolutionMs)
            << "message " << i + 1;
        const qint64 completionSpan =
            *SeriesStatistics::spanMs(message, SeriesStatistics::Span::Completion);
        completionSpans.append(completionSpan);
        answersInRadioOrder.push_back({radioSide.completionMs, message.answeredAt->monotonicMs});
        for (int kind = 0; kind < 2; ++kind) {
            const SeriesMessage::Report &report =
                kind == 0 ? message.receivedReport : message.consumedReport;
            ASSERT_GE(radioSide.reportMs[kind], 0) << "message " << i + 1 << " kind " << kind;
            ASSERT_TRUE(report.at) << "message " << i + 1 << " kind " << kind;
            const qint64 held = radioSide.reportMs[kind] - radioSide.readMs;
            EXPECT_GE(report.at->monotonicMs - composedMs, held - resolutionMs)
                << "message " << i + 1 << " kind " << kind;
            // The window's time to the completion, plus what the radio logged
            // between sending the completion and the report: whatever the
            // load did to the writing and the radio's reading is in both.
            const qint64 expected =
                completionSpan + radioSide.reportMs[kind] - radioSide.completionMs;
            expectedSpans[kind].append(expected);
            deviations[kind].append(*SeriesStatistics::spanMs(message, reportSpans[kind]) -
                                    expected);
            answersInRadioOrder.push_back({radioSide.reportMs[kind], report.at->monotonicMs});
        }
    }
    std::stable_sort(answersInRadioOrder.begin(), answersInRadioOrder.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    for (std::size_t i = 1; i < answersInRadioOrder.size(); ++i) {
        // Answers the radio sent within one millisecond may be in either order.
        if (answersInRadioOrder[i].first > answersInRadioOrder[i - 1].first) {
            EXPECT_GE(answersInRadioOrder[i].second, answersInRadioOrder[i - 1].second)
                << "answer " << i << " of the radio's stream";
        }
    }

    // The medians are those the radio's own times give, within the scatter
    // that reading the line under this load put on single messages: a
    // measurement that is off for every message shows as a shift beyond it.
    // The expected spans are anchored on the completions, which come while
    // the window is busy with the message just written: read late by up to
    // what a completion took (a few ms in an instrumented build), they
    // shift every expected span alike, and the median by as much.
    const qint64 anchorMs = nearestRankMedian(completionSpans);
    for (int kind = 0; kind < 2; ++kind) {
        const std::optional<SeriesStatistics::Figures> figures =
            series().figures(reportSpans[kind]);
        ASSERT_TRUE(figures);
        EXPECT_EQ(figures->samples, repetitions);
        EXPECT_NEAR(double(figures->medianMs), double(nearestRankMedian(expectedSpans[kind])),
                    double(medianAbsoluteDeviation(deviations[kind]) + resolutionMs + anchorMs))
            << "kind " << kind << "; the radio applied a median of "
            << nearestRankMedian(applied[kind]) << " ms";
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
