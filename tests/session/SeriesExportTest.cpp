#include "session/SeriesExport.h"

#include "files/FileError.h"
#include "tests/files/SmallTmpfs.h"
#include "tests/formstate/TestFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <ctime>
#include <gtest/gtest.h>

namespace {

// 2026-12-08 07:05:07.042 UTC.
constexpr qint64 morningMs = 1796713507042;

// A fixed zone for this process, given as a POSIX rule so no zone database
// is needed: five and a half hours east of UTC, no daylight saving.
class FixedZone : public testing::Environment
{
public:
    void SetUp() override
    {
        qputenv("TZ", "IST-5:30");
        tzset();
    }
};
const testing::Environment *const fixedZone = testing::AddGlobalTestEnvironment(new FixedZone);

// The moment of a wall time; the monotonic clock starts elsewhere.
Moment at(qint64 wallMs)
{
    return {wallMs - morningMs + 5000, wallMs};
}

// Four messages: completed with its report, refused, written without an
// answer yet, and still queued (scheduled 10 ms before each write).
SeriesStatistics fourMessages()
{
    SeriesStatistics series;
    series.start();
    const auto written = [&series](quint8 reference, const QByteArray &to, quint8 flags,
                                   qint64 ms) {
        const SeriesStatistics::Ticket ticket =
            series.messageScheduled(reference, to, flags, at(ms - 10));
        series.messageWritten(ticket, at(ms));
        return ticket;
    };
    const SeriesStatistics::Ticket first =
        written(254, "4321", SeriesStatistics::ReceivedReportFlag, morningMs);
    const SeriesStatistics::Ticket second =
        written(255, "4321", SeriesStatistics::ReceivedReportFlag, morningMs + 100);
    written(0, "99", 0, morningMs + 200);
    series.messageScheduled(1, "99", 0, at(morningMs + 290));
    series.completed(first, at(morningMs + 30));
    series.refused(second, "CME ERROR 35", at(morningMs + 130));
    series.reportReceived(254, "00", at(morningMs + 1030));
    return series;
}

TEST(SeriesExportTimeTest, LocalTimeWithMillisecondsAndOffset)
{
    EXPECT_EQ(SeriesExport::isoLocalTime(morningMs),
              QStringLiteral("2026-12-08T12:35:07.042+05:30"));
    // Small values keep their digits: 7 ms is ".007".
    EXPECT_EQ(SeriesExport::isoLocalTime(morningMs - 35),
              QStringLiteral("2026-12-08T12:35:07.007+05:30"));
    // What is written reads back as the same instant.
    const QDateTime back =
        QDateTime::fromString(SeriesExport::isoLocalTime(morningMs + 1), Qt::ISODateWithMs);
    EXPECT_EQ(back.toMSecsSinceEpoch(), morningMs + 1);
}

TEST(SeriesExportCsvTest, OneRowPerMessageWithEveryOutcome)
{
    const QList<QByteArray> lines =
        SeriesExport::wholeCsv(SeriesExport::CsvSnapshot(fourMessages())).split('\n');
    ASSERT_EQ(lines.size(), 6) << "header, four rows, nothing after the last line end";
    EXPECT_EQ(lines.at(0), QByteArray("index,reference,destination,write_time,completion_time,"
                                      "completion_result,received_report_time,"
                                      "received_report_status,consumed_report_time,"
                                      "consumed_report_status,scheduled_time\r"));
    EXPECT_EQ(lines.at(1), QByteArray("1,254,4321,2026-12-08T12:35:07.042+05:30,"
                                      "2026-12-08T12:35:07.072+05:30,completed,"
                                      "2026-12-08T12:35:08.072+05:30,00,,not requested,"
                                      "2026-12-08T12:35:07.032+05:30\r"));
    EXPECT_EQ(lines.at(2), QByteArray("2,255,4321,2026-12-08T12:35:07.142+05:30,"
                                      "2026-12-08T12:35:07.172+05:30,CME ERROR 35,,none,,"
                                      "not requested,2026-12-08T12:35:07.132+05:30\r"));
    EXPECT_EQ(lines.at(3), QByteArray("3,0,99,2026-12-08T12:35:07.242+05:30,,waiting,,"
                                      "not requested,,not requested,"
                                      "2026-12-08T12:35:07.232+05:30\r"));
    EXPECT_EQ(lines.at(4), QByteArray("4,1,99,,,queued,,not requested,,not requested,"
                                      "2026-12-08T12:35:07.332+05:30\r"));
    EXPECT_TRUE(lines.at(5).isEmpty());
}

TEST(SeriesExportCsvTest, AnswersThatNeverCameAreNamed)
{
    SeriesStatistics series;
    series.start();
    const SeriesStatistics::Ticket silent =
        series.messageScheduled(7, "4321", SeriesStatistics::ConsumedReportFlag, at(morningMs));
    const SeriesStatistics::Ticket unwritten = series.messageScheduled(8, "4321", 0, at(morningMs));
    series.messageWritten(silent, at(morningMs));
    series.noAnswer(silent);
    series.messageNotSent(unwritten);
    series.expireReports(at(morningMs).monotonicMs + 60000, 60000);
    const QList<QByteArray> lines =
        SeriesExport::wholeCsv(SeriesExport::CsvSnapshot(series)).split('\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines.at(1).contains(",no answer,,not requested,,missing,")) << lines.at(1).data();
    EXPECT_TRUE(lines.at(2).contains(",,,not sent,")) << lines.at(2).data();
    EXPECT_TRUE(SeriesExport::summaryText(series).contains("1 without an answer, 1 not sent"));
    EXPECT_TRUE(SeriesExport::summaryText(series).contains("0 unmatched, 1 missing\n"));
}

TEST(SeriesExportJsonTest, SummaryHoldsCountsAndTimes)
{
    const QJsonObject summary =
        QJsonDocument::fromJson(SeriesExport::summaryJson(fourMessages())).object();
    const QJsonObject messages = summary.value("messages").toObject();
    EXPECT_EQ(messages.value("scheduled").toInt(), 4);
    EXPECT_EQ(messages.value("sent").toInt(), 3);
    EXPECT_EQ(messages.value("queued").toInt(), 1);
    EXPECT_EQ(messages.value("completed").toInt(), 1);
    EXPECT_EQ(messages.value("refused").toInt(), 1);
    EXPECT_EQ(messages.value("refusals").toObject().value("CME ERROR 35").toInt(), 1);
    EXPECT_EQ(messages.value("stillWaiting").toInt(), 2);
    const QJsonObject reports = summary.value("reports").toObject();
    EXPECT_EQ(reports.value("received").toInt(), 1);
    EXPECT_EQ(reports.value("unmatched").toInt(), 0);
    const QJsonObject times = summary.value("timesMs").toObject();
    EXPECT_EQ(times.value("writeToCompletion").toObject().value("median").toInt(), 30);
    EXPECT_EQ(times.value("writeToReceivedReport").toObject().value("max").toInt(), 1030);
    EXPECT_TRUE(times.value("writeToConsumedReport").isNull());
    EXPECT_EQ(summary.value("firstScheduled").toString(),
              QStringLiteral("2026-12-08T12:35:07.032+05:30"));
    EXPECT_EQ(summary.value("lastEvent").toString(),
              QStringLiteral("2026-12-08T12:35:08.072+05:30"));
}

TEST(SeriesExportJsonTest, ARunRecordGoesUnderItsOwnKey)
{
    EXPECT_FALSE(QJsonDocument::fromJson(SeriesExport::summaryJson(fourMessages()))
                     .object()
                     .contains("run"));
    const QJsonObject run{{"exitStatus", 130}, {"connectionLost", false}};
    const QJsonObject summary =
        QJsonDocument::fromJson(SeriesExport::summaryJson(fourMessages(), run)).object();
    EXPECT_EQ(summary.value("run").toObject(), run);
    EXPECT_EQ(summary.value("messages").toObject().value("sent").toInt(), 3);
}

TEST(SeriesExportTextTest, SummaryLinesNameEveryFigure)
{
    const QString text = SeriesExport::summaryText(fourMessages());
    EXPECT_TRUE(text.contains(
        "Messages: 3 sent, 1 completed, 1 refused, 2 still waiting, 1 still queued\n"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("Refused with CME ERROR 35: 1\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("Reports: 1 received, 0 consumed, 0 other statuses, 0 unmatched\n"));
    EXPECT_TRUE(text.contains(
        "Time write to completion (ms): min 30, median 30, p95 30, max 30 (1 messages)\n"));
    EXPECT_TRUE(text.contains("Time write to consumed report (ms): none\n"));
}

TEST(SeriesExportFileTest, WritesFilesAndNamesTheSummaryBesideTheCsv)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString csvFile = dir.filePath("run.csv");
    SeriesExport::writeFile(csvFile, "a,b\r\n");
    QFile written(csvFile);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), QByteArray("a,b\r\n"));
    EXPECT_EQ(SeriesExport::summaryFileFor(csvFile), dir.filePath("run.json"));
    EXPECT_EQ(SeriesExport::summaryFileFor(dir.filePath("run.txt")), dir.filePath("run.txt.json"));
    EXPECT_THROW(SeriesExport::writeFile(dir.filePath("missing/folder/run.csv"), "x"),
                 files::FileError);
}

TEST(SeriesExportFileTest, AFileThatCannotBeWrittenIsKnownBeforeAnythingIsWritten)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString good = dir.filePath("run.csv");
    SeriesExport::checkWritable(good);
    EXPECT_FALSE(QFile::exists(good));
    // Nothing is left behind: no temporary file either.
    EXPECT_TRUE(QDir(dir.path())
                    .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                    .isEmpty());
    SeriesExport::writeFile(good, "earlier");
    SeriesExport::checkWritable(good);
    EXPECT_EQ(fileContent(good), QByteArray("earlier"));

    const auto reasonFor = [](const QString &path) {
        try {
            SeriesExport::checkWritable(path);
        } catch (const files::FileError &error) {
            return error.message();
        }
        return QString();
    };
    const QString missing = dir.filePath("missing/run.csv");
    EXPECT_EQ(reasonFor(missing),
              "Cannot write file \"" + missing + "\": " + files::systemReason(ENOENT));
    EXPECT_EQ(reasonFor(dir.path()),
              "Cannot write file \"" + dir.path() + "\": " + files::systemReason(EISDIR));
}

TEST(SeriesExportFileTest, FileOntoAFullDiskGivesTheReasonAndKeepsTheEarlierOne)
{
    // Room for the two earlier files and the filler.
    const SmallTmpfs disk("16k");
    if (!disk.skipReason().isEmpty())
        GTEST_SKIP() << qPrintable(disk.skipReason());
    for (const QString name : {"run.csv", "run.json"}) {
        const QString path = disk.filePath(name);
        SeriesExport::writeFile(path, "earlier\r\n");
        ASSERT_EQ(fileContent(path), QByteArray("earlier\r\n"));
    }
    ASSERT_GT(disk.fill("filler"), 0);
    const QByteArray later = SeriesExport::wholeCsv(SeriesExport::CsvSnapshot(fourMessages()));
    for (const QString name : {"run.csv", "run.json"}) {
        const QString path = disk.filePath(name);
        try {
            SeriesExport::writeFile(path, later);
            ADD_FAILURE() << "writing onto a full disk reported success";
        } catch (const files::FileError &error) {
            EXPECT_EQ(error.message(),
                      "Cannot write file \"" + path + "\": " + files::systemReason(ENOSPC));
        }
        EXPECT_EQ(fileContent(path), QByteArray("earlier\r\n")) << qPrintable(name);
    }
}

} // namespace
