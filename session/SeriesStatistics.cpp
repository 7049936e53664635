#include "session/SeriesStatistics.h"

#include "files/FileError.h"

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

void SeriesStatistics::archiveOlderThan(int inMemory, ArchiveRow row)
{
    m_inMemory = inMemory;
    m_archiveRow = std::move(row);
    archiveDone();
}

void SeriesStatistics::start()
{
    ++m_series;
    m_messages.clear();
    m_archived = 0;
    m_counts = Counts();
    m_archive = files::SpoolFile(QStringLiteral("series rows"));
    m_archiveFailed = false;
    for (SpanFigures &figures : m_figures)
        figures.clear();
    for (SlowestPerRun &plot : m_plots)
        plot.clear();
    m_firstScheduledWallMs = 0;
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
    message.index = messageCount() + 1;
    message.reference = reference;
    message.destination = destination;
    message.scheduledAt = at;
    message.receivedReport.requested = (reportFlags & ReceivedReportFlag) != 0;
    message.consumedReport.requested = (reportFlags & ConsumedReportFlag) != 0;
    m_messages.push_back(message);
    count(m_counts, message, 1);
    if (message.index == 1)
        m_firstScheduledWallMs = at.wallMs;
    for (SlowestPerRun &plot : m_plots)
        plot.setMessages(message.index);
    touch(at);
    return {m_series, message.index};
}

SeriesMessage *SeriesStatistics::find(Ticket ticket)
{
    if (ticket.series != m_series || ticket.index <= m_archived || ticket.index > messageCount())
        return nullptr;
    return &at(std::size_t(ticket.index - 1));
}

void SeriesStatistics::messageWritten(Ticket ticket, Moment at)
{
    SeriesMessage *message = find(ticket);
    if (!message || message->answer != SeriesMessage::Answer::Queued)
        return;
    count(m_counts, *message, -1);
    message->writtenAt = at;
    message->answer = SeriesMessage::Answer::Waiting;
    count(m_counts, *message, 1);
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
    count(m_counts, *message, -1);
    message->answer = SeriesMessage::Answer::NotSent;
    count(m_counts, *message, 1);
    changed();
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
    count(m_counts, *message, -1);
    message->answer = answer;
    message->answeredAt = at;
    message->refusal = refusal;
    count(m_counts, *message, 1);
    if (answer == SeriesMessage::Answer::Completed)
        spanEnded(*message, Span::Completion);
    // A refused message never reached the network: no report will come.
    if (answer == SeriesMessage::Answer::Refused)
        stopWaitingForReports(std::size_t(ticket.index - 1));
    if (at)
        touch(*at);
    else
        changed();
}

void SeriesStatistics::spanEnded(const SeriesMessage &message, Span span)
{
    if (const std::optional<qint64> ms = spanMs(message, span)) {
        m_figures[std::size_t(span)].add(*ms);
        m_plots[std::size_t(span)].add(message.index, *ms);
    }
}

void SeriesStatistics::stopWaitingForReports(std::size_t index)
{
    std::deque<std::size_t> &waiting = m_waitingForReport[at(index).reference];
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
                                      Moment moment)
{
    if (reference) {
        std::deque<std::size_t> &waiting = m_waitingForReport[*reference];
        for (auto it = waiting.begin(); it != waiting.end(); ++it) {
            SeriesMessage &message = at(*it);
            SeriesMessage::Report *slot = slotFor(message, status);
            if (!slot)
                continue;
            count(m_counts, message, -1);
            slot->at = moment;
            slot->status = status;
            count(m_counts, message, 1);
            spanEnded(message, slot == &message.receivedReport ? Span::ReceivedReport
                                                               : Span::ConsumedReport);
            if (!message.waitsForReports())
                waiting.erase(it);
            touch(moment);
            return;
        }
    }
    ++m_unmatchedReports;
    touch(moment);
}

void SeriesStatistics::expireReports(qint64 nowMonotonicMs, qint64 timeoutMs)
{
    while (!m_reportExpiry.empty()) {
        const std::size_t index = m_reportExpiry.front();
        // An archived message waits for nothing.
        if (index < std::size_t(m_archived)) {
            m_reportExpiry.pop_front();
            continue;
        }
        SeriesMessage &message = at(index);
        if (message.waitsForReports()) {
            if (message.writtenAt->monotonicMs + timeoutMs > nowMonotonicMs)
                return;
            // Off the order before changed(), which trims its front.
            m_reportExpiry.pop_front();
            count(m_counts, message, -1);
            for (SeriesMessage::Report *report : {&message.receivedReport, &message.consumedReport})
                report->missing = awaited(*report);
            count(m_counts, message, 1);
            stopWaitingForReports(index);
            changed();
            continue;
        }
        m_reportExpiry.pop_front();
    }
}

void SeriesStatistics::dropAnsweredFromReportExpiry()
{
    while (!m_reportExpiry.empty()) {
        const std::size_t index = m_reportExpiry.front();
        if (index >= std::size_t(m_archived) && at(index).waitsForReports())
            return;
        m_reportExpiry.pop_front();
    }
}

std::optional<qint64> SeriesStatistics::nextReportExpiryMs(qint64 timeoutMs) const
{
    for (const std::size_t index : m_reportExpiry) {
        if (index < std::size_t(m_archived))
            continue;
        const SeriesMessage &message = at(index);
        if (message.waitsForReports())
            return message.writtenAt->monotonicMs + timeoutMs;
    }
    return std::nullopt;
}

const SeriesMessage *SeriesStatistics::message(int index) const
{
    if (index <= m_archived || index > messageCount())
        return nullptr;
    return &m_messages[std::size_t(index - m_archived - 1)];
}

SeriesStatistics::Counts SeriesStatistics::counts() const
{
    Counts counts = m_counts;
    counts.scheduled = messageCount();
    counts.unmatchedReports = m_unmatchedReports;
    counts.lateAnswers = m_lateAnswers;
    return counts;
}

void SeriesStatistics::count(Counts &counts, const SeriesMessage &message, int sign)
{
    const auto countReport = [&counts, sign](const SeriesMessage::Report &report,
                                             const QByteArray &ownStatus, int &ownCount) {
        if (report.missing)
            counts.missingReports += sign;
        if (!report.at)
            return;
        if (report.status == ownStatus)
            ownCount += sign;
        else
            counts.otherStatuses += sign;
    };
    switch (message.answer) {
    case SeriesMessage::Answer::Queued:
        counts.queued += sign;
        break;
    case SeriesMessage::Answer::Completed:
        counts.completed += sign;
        break;
    case SeriesMessage::Answer::Refused:
        counts.refused += sign;
        if ((counts.refusals[message.refusal] += sign) == 0)
            counts.refusals.remove(message.refusal);
        break;
    case SeriesMessage::Answer::NoAnswer:
        counts.noAnswer += sign;
        break;
    case SeriesMessage::Answer::NotSent:
        counts.notSent += sign;
        break;
    case SeriesMessage::Answer::Waiting:
        break;
    }
    if (message.wasWritten())
        counts.sent += sign;
    countReport(message.receivedReport, ReceivedStatus, counts.receivedReports);
    countReport(message.consumedReport, ConsumedStatus, counts.consumedReports);
    if (message.isWaiting())
        counts.stillWaiting += sign;
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
    return m_figures[std::size_t(span)].figures();
}

QList<QPointF> SeriesStatistics::plotPoints(Span span) const
{
    return m_plots[std::size_t(span)].points();
}

int SeriesStatistics::plotRunLength() const
{
    return m_plots.front().runLength();
}

void SeriesStatistics::touch(const Moment &at)
{
    m_lastEventWallMs = std::max(m_lastEventWallMs, at.wallMs);
    changed();
}

void SeriesStatistics::changed()
{
    ++m_version;
    dropAnsweredFromReportExpiry();
    archiveDone();
}

void SeriesStatistics::archiveDone()
{
    while (m_archiveRow && !m_archiveFailed && int(m_messages.size()) > m_inMemory &&
           !m_messages.front().isWaiting()) {
        try {
            m_archive.append(m_archiveRow(m_messages.front()));
        } catch (const files::FileError &) {
            // The rest of the series stays in memory, as without an archive.
            m_archiveFailed = true;
            return;
        }
        m_messages.pop_front();
        ++m_archived;
    }
}
