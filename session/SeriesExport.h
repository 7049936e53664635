#pragma once

#include "session/SeriesStatistics.h"

#include <QByteArray>
#include <QJsonValue>
#include <QString>

// A series written out for people and tools: one CSV row per message, a JSON
// summary, and the summary as plain text lines. Times are local, in ISO 8601
// with milliseconds and the offset from UTC.
namespace SeriesExport {

// "2026-12-08T09:05:07.042+01:00" for a time in milliseconds since the epoch.
QString isoLocalTime(qint64 msSinceEpoch);

// The header line, then one line per message in writing order; every line
// ends with CR LF.
QByteArray csv(const SeriesStatistics &series);
// The header line and the line of one message, without their line ends.
QByteArray csvHeader();
QByteArray csvRow(const SeriesMessage &message);
QByteArray summaryJson(const SeriesStatistics &series);
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
// The file beside a CSV file that takes its summary: "run.csv" -> "run.json".
QString summaryFileFor(const QString &csvFileName);

} // namespace SeriesExport
