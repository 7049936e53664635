#pragma once

#include "session/Moment.h"
#include "session/TimeFigures.h"

#include <QByteArray>
#include <QMap>
#include <QtGlobal>
#include <array>
#include <deque>
#include <optional>
#include <vector>

// One message of a series and what became of it.
struct SeriesMessage
{
    enum class Answer {
        // Composed, waiting in the queue for its turn to be written.
        Queued,
        // Written; its final result has not come yet.
        Waiting,
        Completed,
        Refused,
        // Written, and the radio gave no final result within the time-out.
        NoAnswer,
        // Never written: the connection ended or the radio never got ready.
        NotSent,
    };

    struct Report
    {
        bool requested = false;
        std::optional<Moment> at;
        // The delivery status as two hex digits, or the name of a failure.
        QByteArray status;
        // It did not come within the report time-out.
        bool missing = false;
    };

    int index = 0; // from 1, in composing order
    quint8 reference = 0;
    QByteArray destination;
    // When the series asked for it to be sent.
    Moment scheduledAt;
    // When its write ended.
    std::optional<Moment> writtenAt;
    Answer answer = Answer::Queued;
    std::optional<Moment> answeredAt;
    // How the radio refused it: "CME ERROR 35", "CMS ERROR 500" or "ERROR".
    QByteArray refusal;
    Report receivedReport;
    Report consumedReport;

    bool wasWritten() const { return writtenAt.has_value(); }
    bool waitsForReports() const;
    // Waiting for its write, its final result or a report it asked for.
    bool isWaiting() const;
};

// What became of the messages of one series. The session tells it each
// event of a message by the ticket it got when the message was composed,
// so an answer always belongs to the message it answers:
// - a report belongs to the oldest written message still waiting for it
//   that carries its reference: "00" fills the received report, "02" the
//   consumed report, any other status the first requested report missing;
// - a report that no waiting message fits is unmatched;
// - a report that has not come within the report time-out is missing, and
//   its message leaves the matching, so references that wrap at 256 can
//   never give it the report of a message 256 later.
// Pure: no clock, no window.
class SeriesStatistics
{
public:
    enum class Span { Completion, ReceivedReport, ConsumedReport };

    using Figures = TimeFigures;

    struct Counts
    {
        int scheduled = 0; // composed
        int sent = 0;      // written
        int queued = 0;    // composed, not written yet
        int completed = 0;
        int refused = 0;
        // Refusals by what the radio said, e.g. "CME ERROR 35" -> 2.
        QMap<QByteArray, int> refusals;
        int noAnswer = 0;        // written, no final result within the time-out
        int notSent = 0;         // never written
        int lateAnswers = 0;     // final results after their command's time-out
        int receivedReports = 0; // status 00, matched
        int consumedReports = 0; // status 02, matched
        int otherStatuses = 0;   // any other status, matched
        int unmatchedReports = 0;
        int missingReports = 0; // requested, not come within the report time-out
        int stillWaiting = 0;   // for its write, its final result or a requested report
    };

    // Names one message of one series.
    struct Ticket
    {
        quint64 series = 0;
        int index = 0;
    };

    static constexpr quint8 ReceivedReportFlag = 0x04;
    static constexpr quint8 ConsumedReportFlag = 0x08;

    // Begins a new series: tickets of the one before no longer count.
    void start();

    Ticket messageScheduled(quint8 reference, const QByteArray &destination, quint8 reportFlags,
                            Moment at);
    void messageWritten(Ticket ticket, Moment at);
    void messageNotSent(Ticket ticket);
    void completed(Ticket ticket, Moment at);
    void refused(Ticket ticket, const QByteArray &refusal, Moment at);
    void noAnswer(Ticket ticket);
    void lateAnswer(Moment at);
    // reference: absent for a report too short to carry one.
    void reportReceived(std::optional<quint8> reference, const QByteArray &status, Moment at);
    // Requested reports of messages written more than timeoutMs before
    // nowMs are missing from now on.
    void expireReports(qint64 nowMonotonicMs, qint64 timeoutMs);
    // When the next report would go missing; nullopt when none is awaited.
    std::optional<qint64> nextReportExpiryMs(qint64 timeoutMs) const;

    const std::vector<SeriesMessage> &messages() const { return m_messages; }
    Counts counts() const;
    // Nearest-rank figures over the messages that have the span; nullopt
    // when none has it yet.
    std::optional<Figures> figures(Span span) const;
    static std::optional<qint64> spanMs(const SeriesMessage &message, Span span);

    // Changes with every event, so a view redraws only when something happened.
    quint64 version() const { return m_version; }
    // The wall time of the latest event (0: none yet).
    qint64 lastEventWallMs() const { return m_lastEventWallMs; }

private:
    SeriesMessage *find(Ticket ticket);
    void answered(Ticket ticket, SeriesMessage::Answer answer, const QByteArray &refusal,
                  const std::optional<Moment> &at);
    void stopWaitingForReports(std::size_t index);
    SeriesMessage::Report *slotFor(SeriesMessage &message, const QByteArray &status) const;
    void touch(const Moment &at);

    quint64 m_series = 0;
    std::vector<SeriesMessage> m_messages;
    // Per reference, the written messages still waiting for a report, oldest first.
    std::array<std::deque<std::size_t>, 256> m_waitingForReport;
    // Written messages still waiting for a report, in writing order, for expiry.
    std::deque<std::size_t> m_reportExpiry;
    int m_unmatchedReports = 0;
    int m_lateAnswers = 0;
    quint64 m_version = 0;
    qint64 m_lastEventWallMs = 0;
};
