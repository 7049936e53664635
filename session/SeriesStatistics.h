#pragma once

#include "files/SpoolFile.h"
#include "session/Moment.h"
#include "session/SlowestPerRun.h"
#include "session/SpanFigures.h"
#include "session/TimeFigures.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPointF>
#include <QtGlobal>
#include <array>
#include <deque>
#include <functional>
#include <optional>

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
// The figures and the plot are kept up to date as the answers come, so a
// look at them costs nothing however long the series. A series of days
// would not fit in memory: with archiveOlderThan(), a message that is done
// and has enough newer ones leaves memory for the archive, a file of its
// rows, and counts, figures and plot go on counting it.
// No clock, no window.
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
    // Points per line of the plot at most.
    static constexpr int MaxPlotPoints = 500;
    // What the archive keeps of a message: its row, line end included.
    using ArchiveRow = std::function<QByteArray(const SeriesMessage &)>;

    SeriesStatistics() = default;
    // A copy would append to the same archive.
    SeriesStatistics(const SeriesStatistics &) = delete;
    SeriesStatistics &operator=(const SeriesStatistics &) = delete;
    SeriesStatistics(SeriesStatistics &&) = default;
    SeriesStatistics &operator=(SeriesStatistics &&) = default;

    // From now on a message that is done leaves memory once more than
    // `inMemory` messages are newer than it: its row goes to the archive.
    // When the archive cannot be written, messages stay in memory.
    void archiveOlderThan(int inMemory, ArchiveRow row);

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

    // The messages in memory, in composing order: the whole series, or its
    // newest messages once older ones went to the archive.
    const std::deque<SeriesMessage> &messages() const { return m_messages; }
    // The message of that index (from 1), when it is still in memory.
    const SeriesMessage *message(int index) const;
    // Messages of the series, in memory or archived.
    int messageCount() const { return m_archived + int(m_messages.size()); }
    // The rows of the messages that left memory, oldest first.
    files::SpoolFile::Snapshot archivedRows() const { return m_archive.snapshot(); }
    Counts counts() const;
    // Exact nearest-rank figures over the messages that have the span;
    // nullopt when none has it yet.
    std::optional<Figures> figures(Span span) const;
    static std::optional<qint64> spanMs(const SeriesMessage &message, Span span);
    // The slowest of each run of plotRunLength() consecutive messages that
    // have the span (SlowestPerRun): at most MaxPlotPoints points.
    QList<QPointF> plotPoints(Span span) const;
    int plotRunLength() const;
    // The wall time the series' first message was composed at (0: none yet).
    qint64 firstScheduledWallMs() const { return m_firstScheduledWallMs; }

    // Changes with every event, so a view redraws only when something happened.
    quint64 version() const { return m_version; }
    // The wall time of the latest event (0: none yet).
    qint64 lastEventWallMs() const { return m_lastEventWallMs; }

private:
    SeriesMessage *find(Ticket ticket);
    // A message by its place in the series (index - 1); it must be in memory.
    SeriesMessage &at(std::size_t place) { return m_messages[place - std::size_t(m_archived)]; }
    const SeriesMessage &at(std::size_t place) const
    {
        return m_messages[place - std::size_t(m_archived)];
    }
    // Adds what one message counts (sign 1), or takes it away (-1): every
    // change of a message is counted as it happens.
    static void count(Counts &counts, const SeriesMessage &message, int sign);
    void spanEnded(const SeriesMessage &message, Span span);
    void archiveDone();
    void answered(Ticket ticket, SeriesMessage::Answer answer, const QByteArray &refusal,
                  const std::optional<Moment> &at);
    void stopWaitingForReports(std::size_t index);
    SeriesMessage::Report *slotFor(SeriesMessage &message, const QByteArray &status) const;
    void touch(const Moment &at);
    void changed();
    // Messages whose reports all came leave the front of the expiry order
    // at once, so that its length and the look for the next expiry stay
    // small however long the series and however busy the session.
    void dropAnsweredFromReportExpiry();

    quint64 m_series = 0;
    std::deque<SeriesMessage> m_messages;
    // Messages that left memory for the archive.
    int m_archived = 0;
    // What every message of the series counts, kept as they change.
    Counts m_counts;
    files::SpoolFile m_archive{QStringLiteral("series rows")};
    ArchiveRow m_archiveRow;
    int m_inMemory = 0;
    bool m_archiveFailed = false;
    std::array<SpanFigures, 3> m_figures;
    std::array<SlowestPerRun, 3> m_plots{SlowestPerRun(MaxPlotPoints), SlowestPerRun(MaxPlotPoints),
                                         SlowestPerRun(MaxPlotPoints)};
    qint64 m_firstScheduledWallMs = 0;
    // Per reference, the written messages still waiting for a report, oldest first.
    std::array<std::deque<std::size_t>, 256> m_waitingForReport;
    // Written messages still waiting for a report, in writing order, for expiry.
    std::deque<std::size_t> m_reportExpiry;
    int m_unmatchedReports = 0;
    int m_lateAnswers = 0;
    quint64 m_version = 0;
    qint64 m_lastEventWallMs = 0;
};
