#include "session/SeriesExport.h"

#include "files/AtomicFile.h"
#include "files/FileError.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>

namespace SeriesExport {

namespace {

using Span = SeriesStatistics::Span;

// New columns go at the end, so that tools reading the columns by place go on working.
const char *const CsvHeader = "index,reference,destination,write_time,completion_time,"
                              "completion_result,received_report_time,received_report_status,"
                              "consumed_report_time,consumed_report_status,scheduled_time";

struct SpanName
{
    Span span;
    const char *key;
    const char *text;
};

const SpanName SpanNames[] = {
    {Span::Completion, "writeToCompletion", "write to completion"},
    {Span::ReceivedReport, "writeToReceivedReport", "write to received report"},
    {Span::ConsumedReport, "writeToConsumedReport", "write to consumed report"},
};

QByteArray timeField(const std::optional<Moment> &time)
{
    return time ? isoLocalTime(time->wallMs).toLatin1() : QByteArray();
}

// Destinations are digits already; anything else is quoted, so that a
// stray comma cannot shift the columns.
QByteArray csvText(const QByteArray &text)
{
    if (!text.contains(',') && !text.contains('"') && !text.contains('\r') && !text.contains('\n'))
        return text;
    QByteArray quoted = text;
    quoted.replace('"', "\"\"");
    return '"' + quoted + '"';
}

QByteArray completionResult(const SeriesMessage &message)
{
    switch (message.answer) {
    case SeriesMessage::Answer::Queued:
        return QByteArrayLiteral("queued");
    case SeriesMessage::Answer::Waiting:
        return QByteArrayLiteral("waiting");
    case SeriesMessage::Answer::Completed:
        return QByteArrayLiteral("completed");
    case SeriesMessage::Answer::Refused:
        return message.refusal;
    case SeriesMessage::Answer::NoAnswer:
        return QByteArrayLiteral("no answer");
    case SeriesMessage::Answer::NotSent:
        return QByteArrayLiteral("not sent");
    }
    return QByteArray();
}

QByteArray reportFields(const SeriesMessage::Report &report)
{
    if (!report.requested)
        return QByteArrayLiteral(",not requested");
    if (report.missing)
        return QByteArrayLiteral(",missing");
    if (!report.at)
        return QByteArrayLiteral(",none");
    return timeField(report.at) + ',' + csvText(report.status);
}

QString offsetText(int offsetSeconds)
{
    const QChar sign = offsetSeconds < 0 ? QLatin1Char('-') : QLatin1Char('+');
    const int minutes = std::abs(offsetSeconds) / 60;
    return QStringLiteral("%1%2:%3")
        .arg(sign)
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

QJsonValue figuresJson(const std::optional<SeriesStatistics::Figures> &figures)
{
    if (!figures)
        return QJsonValue(QJsonValue::Null);
    return QJsonObject{{"samples", figures->samples},
                       {"min", double(figures->minMs)},
                       {"median", double(figures->medianMs)},
                       {"p95", double(figures->p95Ms)},
                       {"max", double(figures->maxMs)}};
}

QString timeLine(const char *what, const std::optional<SeriesStatistics::Figures> &figures)
{
    QString line = QStringLiteral("Time %1 (ms): ").arg(QLatin1String(what));
    if (figures)
        line += QStringLiteral("min %1, median %2, p95 %3, max %4 (%5 messages)")
                    .arg(figures->minMs)
                    .arg(figures->medianMs)
                    .arg(figures->p95Ms)
                    .arg(figures->maxMs)
                    .arg(figures->samples);
    else
        line += QStringLiteral("none");
    return line + QLatin1Char('\n');
}

QString isoLocalTime(qint64 msSinceEpoch)
{
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(msSinceEpoch);
    return local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) +
           offsetText(local.offsetFromUtc());
}

QByteArray csvHeader()
{
    return CsvHeader;
}

QByteArray csvRow(const SeriesMessage &message)
{
    return QByteArray::number(message.index) + ',' + QByteArray::number(message.reference) + ',' +
           csvText(message.destination) + ',' + timeField(message.writtenAt) + ',' +
           timeField(message.answeredAt) + ',' + csvText(completionResult(message)) + ',' +
           reportFields(message.receivedReport) + ',' + reportFields(message.consumedReport) + ',' +
           timeField(message.scheduledAt);
}

QByteArray csvLine(const SeriesMessage &message)
{
    return csvRow(message) + "\r\n";
}

CsvSnapshot::CsvSnapshot(const SeriesStatistics &series)
    : m_archived(series.archivedRows()),
      m_messages(series.messages().begin(), series.messages().end())
{}

bool PieceGatherer::add(QByteArrayView line)
{
    m_piece += line;
    if (m_piece.size() < files::SpoolFile::Snapshot::PieceSize)
        return true;
    const bool taken = m_take(m_piece);
    m_piece.resize(0);
    return taken;
}

bool PieceGatherer::finish()
{
    return m_piece.isEmpty() || m_take(m_piece);
}

bool CsvSnapshot::write(const std::function<bool(QByteArrayView)> &take) const
{
    if (!take(csvHeader() + "\r\n") || !m_archived.read(take))
        return false;
    PieceGatherer pieces(take);
    for (const SeriesMessage &message : m_messages) {
        if (!pieces.add(csvLine(message)))
            return false;
    }
    return pieces.finish();
}

QByteArray wholeCsv(const CsvRows &rows)
{
    QByteArray out;
    rows.write([&out](QByteArrayView piece) {
        out += piece;
        return true;
    });
    return out;
}

void writeCsvFile(const QString &fileName, const CsvRows &rows)
{
    files::AtomicFile file(fileName);
    rows.write([&file](QByteArrayView piece) {
        file.write(piece);
        return true;
    });
    file.commit();
}

QByteArray summaryJson(const SeriesStatistics &series, const QJsonObject &run)
{
    const SeriesStatistics::Counts counts = series.counts();
    QJsonObject refusals;
    for (auto it = counts.refusals.cbegin(); it != counts.refusals.cend(); ++it)
        refusals.insert(QString::fromLatin1(it.key()), it.value());
    QJsonObject times;
    for (const SpanName &name : SpanNames)
        times.insert(QLatin1String(name.key), figuresJson(series.figures(name.span)));
    QJsonObject summary{
        {"messages", QJsonObject{{"scheduled", counts.scheduled},
                                 {"sent", counts.sent},
                                 {"queued", counts.queued},
                                 {"completed", counts.completed},
                                 {"refused", counts.refused},
                                 {"refusals", refusals},
                                 {"noAnswer", counts.noAnswer},
                                 {"notSent", counts.notSent},
                                 {"lateAnswers", counts.lateAnswers},
                                 {"stillWaiting", counts.stillWaiting}}},
        {"reports", QJsonObject{{"received", counts.receivedReports},
                                {"consumed", counts.consumedReports},
                                {"otherStatuses", counts.otherStatuses},
                                {"unmatched", counts.unmatchedReports},
                                {"missing", counts.missingReports}}},
        {"timesMs", times},
    };
    if (series.messageCount() > 0) {
        summary.insert("firstScheduled", isoLocalTime(series.firstScheduledWallMs()));
        summary.insert("lastEvent", isoLocalTime(series.lastEventWallMs()));
    }
    if (!run.isEmpty())
        summary.insert("run", run);
    return QJsonDocument(summary).toJson(QJsonDocument::Indented);
}

QString summaryText(const SeriesStatistics &series)
{
    const SeriesStatistics::Counts counts = series.counts();
    QString text = QStringLiteral("Messages: %1 sent, %2 completed, %3 refused, %4 still waiting")
                       .arg(counts.sent)
                       .arg(counts.completed)
                       .arg(counts.refused)
                       .arg(counts.stillWaiting);
    // What only a hard radio causes is named when it happened.
    const struct
    {
        int count;
        const char *what;
    } troubles[] = {{counts.queued, "still queued"},
                    {counts.noAnswer, "without an answer"},
                    {counts.notSent, "not sent"},
                    {counts.lateAnswers, "late answers"}};
    for (const auto &trouble : troubles) {
        if (trouble.count > 0)
            text += QStringLiteral(", %1 %2").arg(trouble.count).arg(QLatin1String(trouble.what));
    }
    text += QLatin1Char('\n');
    for (auto it = counts.refusals.cbegin(); it != counts.refusals.cend(); ++it)
        text += QStringLiteral("Refused with %1: %2\n")
                    .arg(QString::fromLatin1(it.key()))
                    .arg(it.value());
    text += QStringLiteral("Reports: %1 received, %2 consumed, %3 other statuses, %4 unmatched")
                .arg(counts.receivedReports)
                .arg(counts.consumedReports)
                .arg(counts.otherStatuses)
                .arg(counts.unmatchedReports);
    if (counts.missingReports > 0)
        text += QStringLiteral(", %1 missing").arg(counts.missingReports);
    text += QLatin1Char('\n');
    for (const SpanName &name : SpanNames)
        text += timeLine(name.text, series.figures(name.span));
    return text;
}

void writeFile(const QString &fileName, const QByteArray &contents)
{
    files::writeWhole(fileName, contents);
}

void checkWritable(const QString &fileName)
{
    // A folder of that name would only fail at the final rename.
    if (QFileInfo(fileName).isDir())
        throw files::FileError(files::FileError::Operation::Write, fileName, EISDIR);
    // Its temporary file, made beside the target as a write makes it, and
    // removed again unused.
    files::AtomicFile probe(fileName);
}

QString summaryFileFor(const QString &csvFileName)
{
    const QFileInfo info(csvFileName);
    const QString base = info.suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0
                             ? info.completeBaseName()
                             : info.fileName();
    return info.dir().filePath(base + QStringLiteral(".json"));
}

} // namespace SeriesExport
