#pragma once

#include "session/LinkResults.h"
#include "session/SeriesExport.h"
#include "session/SeriesStatistics.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <array>
#include <functional>
#include <vector>

// A link test written out: the CSV and summaries of the series, with what
// the far end received.
namespace LinkExport {

// The series of the two radios: the receiver's is used only for the
// messages it sent, with messages both ways.
using Series = std::array<const SeriesStatistics *, 2>;

// The series' columns (the index is the message's sequence number in the
// link test), then the link test's own; one row per message in sequence
// order, every line ending with CR LF. The records are copied when it is
// taken and made into text where it is written, on any thread.
class CsvSnapshot : public SeriesExport::CsvRows
{
public:
    CsvSnapshot(const Series &series, const LinkResults &link);
    bool write(const std::function<bool(QByteArrayView)> &take) const override;

private:
    struct Row
    {
        SeriesMessage series;
        LinkMessage link;
    };
    std::vector<Row> m_rows;
};

// The series' summary of the sender's messages, with "reverse" for the
// receiver's messages when both sent and "link" for what arrived; `run`
// under "run" when not empty.
QByteArray summaryJson(const Series &series, const LinkResults &link, bool bothWays,
                       const QJsonObject &run = QJsonObject());
// The series' summary lines, then the link test's.
QString summaryText(const Series &series, const LinkResults &link, bool bothWays);

} // namespace LinkExport
