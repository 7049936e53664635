#include "session/SeriesStatistics.h"

#include <algorithm>
#include <cmath>

namespace {

const QByteArray ReceivedStatus = QByteArrayLiteral("00");
const QByteArray ConsumedStatus = QByteArrayLiteral("02");

bool missing(const SeriesMessage::Report &report)
{
    return report.requested && !report.atMs;
}

// The value at a nearest rank: the smallest that at least `percent` of the
// sorted samples do not exceed.
qint64 nearestRank(const std::vector<qint64> &sorted, int percent)
{
    const auto rank = qsizetype(std::ceil(double(percent) / 100.0 * double(sorted.size())));
    return sorted.at(std::size_t(std::max<qsizetype>(rank, 1) - 1));
}

} // namespace

bool SeriesMessage::waitsForReports() const
{
    return answer != Answer::Refused && (missing(receivedReport) || missing(consumedReport));
}

bool SeriesMessage::isWaiting() const
{
    return answer == Answer::Waiting || waitsForReports();
}

void SeriesStatistics::start()
{
    m_answersOwedElsewhere += int(m_messages.size() - m_nextToAnswer);
    m_writesOwedElsewhere += int(m_messages.size() - m_nextToFinishWrite);
    m_messages.clear();
    m_nextToAnswer = 0;
    m_nextToFinishWrite = 0;
    for (std::deque<std::size_t> &waiting : m_waitingForReport)
        waiting.clear();
    m_unmatchedReports = 0;
    m_lastEventAtMs = 0;
    ++m_version;
}

void SeriesStatistics::linkRestarted()
{
    m_answersOwedElsewhere = 0;
    m_nextToAnswer = m_messages.size();
    m_writesOwedElsewhere = 0;
    m_nextToFinishWrite = m_messages.size();
    ++m_version;
}

void SeriesStatistics::messageWritten(quint8 reference, const QByteArray &destination,
                                      quint8 reportFlags, qint64 atMs)
{
    SeriesMessage message;
    message.index = int(m_messages.size()) + 1;
    message.reference = reference;
    message.destination = destination;
    message.writtenAtMs = atMs;
    message.receivedReport.requested = (reportFlags & ReceivedReportFlag) != 0;
    message.consumedReport.requested = (reportFlags & ConsumedReportFlag) != 0;
    if (message.waitsForReports())
        m_waitingForReport[reference].push_back(m_messages.size());
    m_messages.push_back(message);
    touch(atMs);
}

void SeriesStatistics::writeFinished(qint64 atMs)
{
    if (m_writesOwedElsewhere > 0) {
        --m_writesOwedElsewhere;
        return;
    }
    if (m_nextToFinishWrite >= m_messages.size())
        return;
    SeriesMessage &message = m_messages[m_nextToFinishWrite++];
    qint64 finished = atMs;
    for (const std::optional<qint64> &answer :
         {message.answeredAtMs, message.receivedReport.atMs, message.consumedReport.atMs}) {
        if (answer)
            finished = std::min(finished, *answer);
    }
    message.writtenAtMs = finished;
    touch(atMs);
}

void SeriesStatistics::completed(qint64 atMs)
{
    answered(SeriesMessage::Answer::Completed, QByteArray(), atMs);
}

void SeriesStatistics::refused(const QByteArray &refusal, qint64 atMs)
{
    answered(SeriesMessage::Answer::Refused, refusal, atMs);
}

void SeriesStatistics::answered(SeriesMessage::Answer answer, const QByteArray &refusal,
                                qint64 atMs)
{
    if (m_answersOwedElsewhere > 0) {
        --m_answersOwedElsewhere;
        return;
    }
    // An answer with no message waiting for one belongs to no series message.
    if (m_nextToAnswer >= m_messages.size())
        return;
    SeriesMessage &message = m_messages[m_nextToAnswer];
    message.answer = answer;
    message.answeredAtMs = atMs;
    message.refusal = refusal;
    if (answer == SeriesMessage::Answer::Refused) {
        // A refused message never reached the network: no report will come.
        std::deque<std::size_t> &waiting = m_waitingForReport[message.reference];
        waiting.erase(std::remove(waiting.begin(), waiting.end(), m_nextToAnswer), waiting.end());
    }
    ++m_nextToAnswer;
    touch(atMs);
}

SeriesMessage::Report *SeriesStatistics::slotFor(SeriesMessage &message,
                                                 const QByteArray &status) const
{
    if (status == ReceivedStatus)
        return missing(message.receivedReport) ? &message.receivedReport : nullptr;
    if (status == ConsumedStatus)
        return missing(message.consumedReport) ? &message.consumedReport : nullptr;
    if (missing(message.receivedReport))
        return &message.receivedReport;
    if (missing(message.consumedReport))
        return &message.consumedReport;
    return nullptr;
}

void SeriesStatistics::reportReceived(std::optional<quint8> reference, const QByteArray &status,
                                      qint64 atMs)
{
    touch(atMs);
    if (reference) {
        std::deque<std::size_t> &waiting = m_waitingForReport[*reference];
        for (auto it = waiting.begin(); it != waiting.end(); ++it) {
            SeriesMessage &message = m_messages[*it];
            SeriesMessage::Report *slot = slotFor(message, status);
            if (!slot)
                continue;
            slot->atMs = atMs;
            slot->status = status;
            if (!message.waitsForReports())
                waiting.erase(it);
            return;
        }
    }
    ++m_unmatchedReports;
}

SeriesStatistics::Counts SeriesStatistics::counts() const
{
    Counts counts;
    counts.sent = int(m_messages.size());
    counts.unmatchedReports = m_unmatchedReports;
    const auto countReport = [&counts](const SeriesMessage::Report &report,
                                       const QByteArray &ownStatus, int &ownCount) {
        if (!report.atMs)
            return;
        if (report.status == ownStatus)
            ++ownCount;
        else
            ++counts.otherStatuses;
    };
    for (const SeriesMessage &message : m_messages) {
        if (message.answer == SeriesMessage::Answer::Completed)
            ++counts.completed;
        if (message.answer == SeriesMessage::Answer::Refused) {
            ++counts.refused;
            ++counts.refusals[message.refusal];
        }
        countReport(message.receivedReport, ReceivedStatus, counts.receivedReports);
        countReport(message.consumedReport, ConsumedStatus, counts.consumedReports);
        if (message.isWaiting())
            ++counts.stillWaiting;
    }
    return counts;
}

std::optional<qint64> SeriesStatistics::spanMs(const SeriesMessage &message, Span span)
{
    std::optional<qint64> end;
    switch (span) {
    case Span::Completion:
        if (message.answer == SeriesMessage::Answer::Completed)
            end = message.answeredAtMs;
        break;
    case Span::ReceivedReport:
        end = message.receivedReport.atMs;
        break;
    case Span::ConsumedReport:
        end = message.consumedReport.atMs;
        break;
    }
    if (!end)
        return std::nullopt;
    return *end - message.writtenAtMs;
}

std::optional<SeriesStatistics::Figures> SeriesStatistics::figures(Span span) const
{
    std::vector<qint64> samples;
    samples.reserve(m_messages.size());
    for (const SeriesMessage &message : m_messages) {
        if (const std::optional<qint64> ms = spanMs(message, span))
            samples.push_back(*ms);
    }
    if (samples.empty())
        return std::nullopt;
    std::sort(samples.begin(), samples.end());
    Figures figures;
    figures.samples = int(samples.size());
    figures.minMs = samples.front();
    figures.medianMs = nearestRank(samples, 50);
    figures.p95Ms = nearestRank(samples, 95);
    figures.maxMs = samples.back();
    return figures;
}

void SeriesStatistics::touch(qint64 atMs)
{
    m_lastEventAtMs = std::max(m_lastEventAtMs, atMs);
    ++m_version;
}
