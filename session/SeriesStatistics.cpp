#include "session/SeriesStatistics.h"

#include <algorithm>
#include <utility>

namespace {

const QByteArray ReceivedStatus = QByteArrayLiteral("00");
const QByteArray ConsumedStatus = QByteArrayLiteral("02");

bool awaited(const SeriesMessage::Report &report)
{
    return report.requested && !report.at && !report.missing;
}

} // namespace

bool SeriesMessage::waitsForReports() const
{
    const bool reachedTheNetwork =
        answer == Answer::Waiting || answer == Answer::Completed || answer == Answer::NoAnswer;
    return reachedTheNetwork && (awaited(receivedReport) || awaited(consumedReport));
}

bool SeriesMessage::isWaiting() const
{
    return answer == Answer::Queued || answer == Answer::Waiting || waitsForReports();
}

void SeriesStatistics::start()
{
    ++m_series;
    m_messages.clear();
    for (std::deque<std::size_t> &waiting : m_waitingForReport)
        waiting.clear();
    m_reportExpiry.clear();
    m_unmatchedReports = 0;
    m_lateAnswers = 0;
    m_lastEventWallMs = 0;
    ++m_version;
}

SeriesStatistics::Ticket SeriesStatistics::messageScheduled(quint8 reference,
                                                            const QByteArray &destination,
                                                            quint8 reportFlags, Moment at)
{
    SeriesMessage message;
    message.index = int(m_messages.size()) + 1;
    message.reference = reference;
    message.destination = destination;
    message.scheduledAt = at;
    message.receivedReport.requested = (reportFlags & ReceivedReportFlag) != 0;
    message.consumedReport.requested = (reportFlags & ConsumedReportFlag) != 0;
    m_messages.push_back(message);
    touch(at);
    return {m_series, message.index};
}

SeriesMessage *SeriesStatistics::find(Ticket ticket)
{
    if (ticket.series != m_series || ticket.index < 1 || ticket.index > int(m_messages.size()))
        return nullptr;
    return &m_messages[std::size_t(ticket.index - 1)];
}

void SeriesStatistics::messageWritten(Ticket ticket, Moment at)
{
    SeriesMessage *message = find(ticket);
    if (!message || message->answer != SeriesMessage::Answer::Queued)
        return;
    message->writtenAt = at;
    message->answer = SeriesMessage::Answer::Waiting;
    if (message->waitsForReports()) {
        const std::size_t index = std::size_t(ticket.index - 1);
        m_waitingForReport[message->reference].push_back(index);
        m_reportExpiry.push_back(index);
    }
    touch(at);
}

void SeriesStatistics::messageNotSent(Ticket ticket)
{
    SeriesMessage *message = find(ticket);
    if (!message || message->answer != SeriesMessage::Answer::Queued)
        return;
    message->answer = SeriesMessage::Answer::NotSent;
    ++m_version;
}

void SeriesStatistics::completed(Ticket ticket, Moment at)
{
    answered(ticket, SeriesMessage::Answer::Completed, QByteArray(), at);
}

void SeriesStatistics::refused(Ticket ticket, const QByteArray &refusal, Moment at)
{
    answered(ticket, SeriesMessage::Answer::Refused, refusal, at);
}

void SeriesStatistics::noAnswer(Ticket ticket)
{
    answered(ticket, SeriesMessage::Answer::NoAnswer, QByteArray(), std::nullopt);
}

void SeriesStatistics::answered(Ticket ticket, SeriesMessage::Answer answer,
                                const QByteArray &refusal, const std::optional<Moment> &at)
{
    SeriesMessage *message = find(ticket);
    if (!message || message->answer != SeriesMessage::Answer::Waiting)
        return;
    message->answer = answer;
    message->answeredAt = at;
    message->refusal = refusal;
    // A refused message never reached the network: no report will come.
    if (answer == SeriesMessage::Answer::Refused)
        stopWaitingForReports(std::size_t(ticket.index - 1));
    if (at)
        touch(*at);
    else
        ++m_version;
}

void SeriesStatistics::stopWaitingForReports(std::size_t index)
{
    std::deque<std::size_t> &waiting = m_waitingForReport[m_messages[index].reference];
    waiting.erase(std::remove(waiting.begin(), waiting.end(), index), waiting.end());
}

void SeriesStatistics::lateAnswer(Moment at)
{
    ++m_lateAnswers;
    touch(at);
}

SeriesMessage::Report *SeriesStatistics::slotFor(SeriesMessage &message,
                                                 const QByteArray &status) const
{
    if (status == ReceivedStatus)
        return awaited(message.receivedReport) ? &message.receivedReport : nullptr;
    if (status == ConsumedStatus)
        return awaited(message.consumedReport) ? &message.consumedReport : nullptr;
    if (awaited(message.receivedReport))
        return &message.receivedReport;
    if (awaited(message.consumedReport))
        return &message.consumedReport;
    return nullptr;
}

void SeriesStatistics::reportReceived(std::optional<quint8> reference, const QByteArray &status,
                                      Moment at)
{
    touch(at);
    if (reference) {
        std::deque<std::size_t> &waiting = m_waitingForReport[*reference];
        for (auto it = waiting.begin(); it != waiting.end(); ++it) {
            SeriesMessage &message = m_messages[*it];
            SeriesMessage::Report *slot = slotFor(message, status);
            if (!slot)
                continue;
            slot->at = at;
            slot->status = status;
            if (!message.waitsForReports())
                waiting.erase(it);
            return;
        }
    }
    ++m_unmatchedReports;
}

void SeriesStatistics::expireReports(qint64 nowMonotonicMs, qint64 timeoutMs)
{
    while (!m_reportExpiry.empty()) {
        const std::size_t index = m_reportExpiry.front();
        SeriesMessage &message = m_messages[index];
        if (message.waitsForReports()) {
            if (message.writtenAt->monotonicMs + timeoutMs > nowMonotonicMs)
                return;
            for (SeriesMessage::Report *report : {&message.receivedReport, &message.consumedReport})
                report->missing = awaited(*report);
            stopWaitingForReports(index);
            ++m_version;
        }
        m_reportExpiry.pop_front();
    }
}

std::optional<qint64> SeriesStatistics::nextReportExpiryMs(qint64 timeoutMs) const
{
    for (const std::size_t index : m_reportExpiry) {
        const SeriesMessage &message = m_messages[index];
        if (message.waitsForReports())
            return message.writtenAt->monotonicMs + timeoutMs;
    }
    return std::nullopt;
}

SeriesStatistics::Counts SeriesStatistics::counts() const
{
    Counts counts;
    counts.scheduled = int(m_messages.size());
    counts.unmatchedReports = m_unmatchedReports;
    counts.lateAnswers = m_lateAnswers;
    const auto countReport = [&counts](const SeriesMessage::Report &report,
                                       const QByteArray &ownStatus, int &ownCount) {
        if (report.missing)
            ++counts.missingReports;
        if (!report.at)
            return;
        if (report.status == ownStatus)
            ++ownCount;
        else
            ++counts.otherStatuses;
    };
    for (const SeriesMessage &message : m_messages) {
        switch (message.answer) {
        case SeriesMessage::Answer::Queued:
            ++counts.queued;
            break;
        case SeriesMessage::Answer::Completed:
            ++counts.completed;
            break;
        case SeriesMessage::Answer::Refused:
            ++counts.refused;
            ++counts.refusals[message.refusal];
            break;
        case SeriesMessage::Answer::NoAnswer:
            ++counts.noAnswer;
            break;
        case SeriesMessage::Answer::NotSent:
            ++counts.notSent;
            break;
        case SeriesMessage::Answer::Waiting:
            break;
        }
        if (message.wasWritten())
            ++counts.sent;
        countReport(message.receivedReport, ReceivedStatus, counts.receivedReports);
        countReport(message.consumedReport, ConsumedStatus, counts.consumedReports);
        if (message.isWaiting())
            ++counts.stillWaiting;
    }
    return counts;
}

std::optional<qint64> SeriesStatistics::spanMs(const SeriesMessage &message, Span span)
{
    std::optional<Moment> end;
    switch (span) {
    case Span::Completion:
        if (message.answer == SeriesMessage::Answer::Completed)
            end = message.answeredAt;
        break;
    case Span::ReceivedReport:
        end = message.receivedReport.at;
        break;
    case Span::ConsumedReport:
        end = message.consumedReport.at;
        break;
    }
    if (!end || !message.writtenAt)
        return std::nullopt;
    return end->monotonicMs - message.writtenAt->monotonicMs;
}

std::optional<SeriesStatistics::Figures> SeriesStatistics::figures(Span span) const
{
    std::vector<qint64> samples;
    samples.reserve(m_messages.size());
    for (const SeriesMessage &message : m_messages) {
        if (const std::optional<qint64> ms = spanMs(message, span))
            samples.push_back(*ms);
    }
    return TimeFigures::of(std::move(samples));
}

void SeriesStatistics::touch(const Moment &at)
{
    m_lastEventWallMs = std::max(m_lastEventWallMs, at.wallMs);
    ++m_version;
}
