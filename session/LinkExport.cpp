#include "session/LinkExport.h"

#include "session/SeriesExport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace LinkExport {

namespace {

const char *const LinkColumns = "link_tag,sent_by,arrival_time,delivery_ms,arrivals,intact,"
                                "out_of_order,delivery_result,far_end_reports_requested,"
                                "far_end_reports_sent";

const SeriesStatistics *seriesOf(const Series &series, LinkSide side)
{
    return series[std::size_t(side)];
}

// The series' record of a message, with the link test's sequence number as
// its index; a bare one when the series no longer holds it.
SeriesMessage seriesMessage(const Series &series, const LinkMessage &message)
{
    SeriesMessage found;
    if (const SeriesStatistics *statistics = seriesOf(series, message.from)) {
        if (const SeriesMessage *kept = statistics->message(message.seriesIndex))
            found = *kept;
    }
    found.index = message.sequence;
    return found;
}

QByteArray yesNo(bool value)
{
    return value ? QByteArrayLiteral("yes") : QByteArrayLiteral("no");
}

QByteArray deliveryResult(const LinkMessage &message)
{
    if (message.delivered())
        return QByteArrayLiteral("delivered");
    if (message.lost)
        return QByteArrayLiteral("lost");
    if (message.writtenAt)
        return QByteArrayLiteral("in transit");
    return QByteArrayLiteral("not written");
}

QByteArray linkFields(const LinkMessage &message)
{
    const bool arrived = message.delivered();
    const std::optional<qint64> deliveryMs = message.deliveryMs();
    return message.text.left(message.text.indexOf(' ')) + ',' +
           (message.from == LinkSide::Sender ? "sender" : "receiver") + ',' +
           (arrived ? SeriesExport::isoLocalTime(message.arrivedAt->wallMs).toLatin1()
                    : QByteArray()) +
           ',' + (deliveryMs ? QByteArray::number(*deliveryMs) : QByteArray()) + ',' +
           QByteArray::number(message.arrivals) + ',' +
           (arrived ? yesNo(message.corruptedArrivals == 0) : QByteArray()) + ',' +
           (arrived ? yesNo(message.outOfOrder) : QByteArray()) + ',' + deliveryResult(message) +
           ',' + QByteArray::number(message.reportsRequested) + ',' +
           QByteArray::number(message.reportsSent);
}

std::vector<const LinkMessage *> inSequence(const LinkResults &link)
{
    std::vector<const LinkMessage *> ordered;
    for (const LinkMessage &message : link.messages())
        ordered.push_back(&message);
    std::sort(ordered.begin(), ordered.end(),
              [](const LinkMessage *a, const LinkMessage *b) { return a->sequence < b->sequence; });
    return ordered;
}

QJsonObject seriesSummary(const SeriesStatistics &series)
{
    return QJsonDocument::fromJson(SeriesExport::summaryJson(series)).object();
}

QString runIdText(const LinkResults &link)
{
    return QStringLiteral("%1").arg(link.runId(), 4, 16, QLatin1Char('0'));
}

} // namespace

CsvSnapshot::CsvSnapshot(const Series &series, const LinkResults &link)
{
    const std::vector<const LinkMessage *> ordered = inSequence(link);
    m_rows.reserve(ordered.size());
    for (const LinkMessage *message : ordered)
        m_rows.push_back({seriesMessage(series, *message), *message});
}

bool CsvSnapshot::write(const std::function<bool(QByteArrayView)> &take) const
{
    if (!take(SeriesExport::csvHeader() + ',' + LinkColumns + "\r\n"))
        return false;
    SeriesExport::PieceGatherer pieces(take);
    for (const Row &row : m_rows) {
        if (!pieces.add(SeriesExport::csvRow(row.series) + ',' + linkFields(row.link) + "\r\n"))
            return false;
    }
    return pieces.finish();
}

QByteArray summaryJson(const Series &series, const LinkResults &link, bool bothWays,
                       const QJsonObject &run)
{
    QJsonObject summary;
    if (const SeriesStatistics *sender = seriesOf(series, LinkSide::Sender))
        summary = seriesSummary(*sender);
    if (!run.isEmpty())
        summary.insert("run", run);
    const SeriesStatistics *receiver = seriesOf(series, LinkSide::Receiver);
    if (bothWays && receiver)
        summary.insert("reverse", seriesSummary(*receiver));
    const LinkResults::Counts counts = link.counts();
    const std::optional<double> ratio = link.deliveryRatio();
    summary.insert("link",
                   QJsonObject{
                       {"runId", runIdText(link)},
                       {"bothWays", bothWays},
                       {"messages", counts.messages},
                       {"written", counts.written},
                       {"delivered", counts.delivered},
                       {"deliveredIntact", counts.deliveredIntact},
                       {"lost", counts.lost},
                       {"inTransit", counts.inTransit},
                       {"duplicated", counts.duplicated},
                       {"outOfOrder", counts.outOfOrder},
                       {"corrupted", counts.corrupted},
                       {"foreign", counts.foreign},
                       {"deliveryRatio", ratio ? QJsonValue(*ratio) : QJsonValue(QJsonValue::Null)},
                       {"writeToDeliveryMs", SeriesExport::figuresJson(link.deliveryFigures())},
                       {"farEndReports", QJsonObject{{"requested", counts.reportsRequested},
                                                     {"sent", counts.reportsSent}}},
                   });
    return QJsonDocument(summary).toJson(QJsonDocument::Indented);
}

QString summaryText(const Series &series, const LinkResults &link, bool bothWays)
{
    QString text;
    const SeriesStatistics *sender = seriesOf(series, LinkSide::Sender);
    const SeriesStatistics *receiver = seriesOf(series, LinkSide::Receiver);
    if (bothWays && sender && receiver) {
        text += QStringLiteral("Sender to receiver:\n") + SeriesExport::summaryText(*sender);
        text += QStringLiteral("Receiver to sender:\n") + SeriesExport::summaryText(*receiver);
    } else if (sender) {
        text += SeriesExport::summaryText(*sender);
    }
    const LinkResults::Counts counts = link.counts();
    text += QStringLiteral("Link test %1: %2 delivered (%3 intact), %4 lost, %5 in transit, %6 "
                           "duplicated, %7 out of order, %8 corrupted, %9 foreign\n")
                .arg(runIdText(link))
                .arg(counts.delivered)
                .arg(counts.deliveredIntact)
                .arg(counts.lost)
                .arg(counts.inTransit)
                .arg(counts.duplicated)
                .arg(counts.outOfOrder)
                .arg(counts.corrupted)
                .arg(counts.foreign);
    const std::optional<double> ratio = link.deliveryRatio();
    text += QStringLiteral("Delivery ratio: %1 (%2 of %3 messages delivered intact)\n")
                .arg(ratio ? QString::number(*ratio, 'f', 3) : QStringLiteral("none"))
                .arg(counts.deliveredIntact)
                .arg(counts.messages);
    text += SeriesExport::timeLine("write to delivery", link.deliveryFigures());
    text += QStringLiteral("Reports the far end sent: %1 of %2 requested\n")
                .arg(counts.reportsSent)
                .arg(counts.reportsRequested);
    return text;
}

} // namespace LinkExport
