#pragma once

#include "session/SeriesStatistics.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <functional>
#include <vector>

// A series written out for people and tools: one CSV row per message, a JSON
// summary, and the summary as plain text lines. Times are local, in ISO 8601
// with milliseconds and the offset from UTC.
namespace SeriesExport {

// "2026-12-08T09:05:07.042+01:00" for a time in milliseconds since the epoch.
QString isoLocalTime(qint64 msSinceEpoch);

// The header line and the line of one message, without their line ends.
QByteArray csvHeader();
QByteArray csvRow(const SeriesMessage &message);
// The line of one message, ending with CR LF.
QByteArray csvLine(const SeriesMessage &message);

// A CSV as it was at one moment, made into text where it is written.
class CsvRows
{
public:
    virtual ~CsvRows() = default;
    // Hands the CSV to `take` in pieces; stops at the first piece refused
    // and returns false. Raises files::FileError when what it was taken
    // from cannot be read.
    virtual bool write(const std::function<bool(QByteArrayView)> &take) const = 0;
};

// Lines gathered into pieces of about the archive's piece size before they
// are handed on, so that a long CSV makes few writes.
class PieceGatherer
{
public:
    explicit PieceGatherer(const std::function<bool(QByteArrayView)> &take) : m_take(take) {}
    // False once a piece was refused.
    bool add(QByteArrayView line);
    // Hands on what is left; false when it was refused.
    bool finish();

private:
    const std::function<bool(QByteArrayView)> &m_take;
    QByteArray m_piece;
};

// The CSV of a series as it is at one moment: the header line, then one
// line per message in writing order, every line ending with CR LF. The rows
// of archived messages are read from the archive, the messages in memory
// copied: cheap to take, and written on any thread while the series goes on.
class CsvSnapshot : public CsvRows
{
public:
    explicit CsvSnapshot(const SeriesStatistics &series);
    bool write(const std::function<bool(QByteArrayView)> &take) const override;

private:
    files::SpoolFile::Snapshot m_archived;
    std::deque<SeriesMessage> m_messages;
};

// The whole CSV in memory.
QByteArray wholeCsv(const CsvRows &rows);
// Writes the CSV to a file, replacing it whole, without holding it in
// memory. Throws files::FileError as writeFile does.
void writeCsvFile(const QString &fileName, const CsvRows &rows);
// run: what an unattended run records of itself (its options, when it
// started and ended, ...), under the key "run"; left out when empty.
QByteArray summaryJson(const SeriesStatistics &series, const QJsonObject &run = QJsonObject());
// The counts and times as a few lines of text, each ending with "\n".
QString summaryText(const SeriesStatistics &series);
// "Time <what> (ms): min 1, median 2, p95 3, max 4 (5 messages)\n", or "none".
QString timeLine(const char *what, const std::optional<SeriesStatistics::Figures> &figures);
// The figures as a JSON object, null when there are none.
QJsonValue figuresJson(const std::optional<SeriesStatistics::Figures> &figures);

// Writes the file, replacing it whole. Throws files::FileError, with the
// system's reason, when it cannot be written; an earlier file of that name
// then stays as it was.
void writeFile(const QString &fileName, const QByteArray &contents);
// Throws files::FileError, with the system's reason, when writeFile could not
// write the file now: its folder takes no new file, or the name is a folder.
// Nothing is left behind.
void checkWritable(const QString &fileName);
// The file beside a CSV file that takes its summary: "run.csv" -> "run.json".
QString summaryFileFor(const QString &csvFileName);

} // namespace SeriesExport
