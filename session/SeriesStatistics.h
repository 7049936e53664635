#pragma once

#include <QByteArray>
#include <QMap>
#include <QtGlobal>
#include <array>
#include <deque>
#include <optional>
#include <vector>

// One message of a series and what became of it. Times are milliseconds
// since the epoch: the write, and the read of the last byte of each answer.
struct SeriesMessage
{
    enum class Answer { Waiting, Completed, Refused };

    struct Report
    {
        bool requested = false;
        std::optional<qint64> atMs;
        // The delivery status as two hex digits.
        QByteArray status;
    };

    int index = 0; // from 1, in writing order
    quint8 reference = 0;
    QByteArray destination;
    qint64 writtenAtMs = 0;
    Answer answer = Answer::Waiting;
    std::optional<qint64> answeredAtMs;
    // How the radio refused it: "CME ERROR 35", "CMS ERROR 500" or "ERROR".
    QByteArray refusal;
    Report receivedReport;
    Report consumedReport;

    bool waitsForReports() const;
    // Waiting for its completion or for a report it asked for.
    bool isWaiting() const;
};

// Matches the radio's answers to the messages of one series:
// - a completion or refusal belongs to the oldest message still waiting for
//   one, as the radio answers in writing order;
// - a report belongs to the oldest message still waiting for it that carries
//   its reference: "00" fills the received report, "02" the consumed report,
//   any other status the first requested report still missing;
// - a report that no waiting message fits is unmatched.
// References wrap at 256, so only messages still waiting take part in the
// matching. Pure: no clock, no window; the controller reports each event.
class SeriesStatistics
{
public:
    enum class Span { Completion, ReceivedReport, ConsumedReport };

    struct Figures
    {
        int samples = 0;
        qint64 minMs = 0;
        qint64 medianMs = 0;
        qint64 p95Ms = 0;
        qint64 maxMs = 0;
    };

    struct Counts
    {
        int sent = 0;
        int completed = 0;
        int refused = 0;
        // Refusals by what the radio said, e.g. "CME ERROR 35" -> 2.
        QMap<QByteArray, int> refusals;
        int receivedReports = 0; // status 00, matched
        int consumedReports = 0; // status 02, matched
        int otherStatuses = 0;   // any other status, matched
        int unmatchedReports = 0;
        int stillWaiting = 0; // for a completion or a requested report
    };

    static constexpr quint8 ReceivedReportFlag = 0x04;
    static constexpr quint8 ConsumedReportFlag = 0x08;

    // Begins a new series. Completions still owed to messages written before
    // it are passed over, not given to the new messages.
    void start();
    // The link was opened again: answers to earlier writes will not come.
    void linkRestarted();

    // A message handed to the port at atMs; its write may finish later.
    void messageWritten(quint8 reference, const QByteArray &destination, quint8 reportFlags,
                        qint64 atMs);
    // The oldest message whose write had not finished has now been written
    // completely: its times count from here (or from its first answer, if
    // that was read first).
    void writeFinished(qint64 atMs);
    void completed(qint64 atMs);
    void refused(const QByteArray &refusal, qint64 atMs);
    // reference: absent for a report too short to carry one.
    void reportReceived(std::optional<quint8> reference, const QByteArray &status, qint64 atMs);

    const std::vector<SeriesMessage> &messages() const { return m_messages; }
    Counts counts() const;
    // Nearest-rank figures over the messages that have the span; nullopt
    // when none has it yet.
    std::optional<Figures> figures(Span span) const;
    static std::optional<qint64> spanMs(const SeriesMessage &message, Span span);

    // Changes with every event, so a view redraws only when something happened.
    quint64 version() const { return m_version; }
    // When the series began and when its latest event happened (0: never).
    qint64 lastEventAtMs() const { return m_lastEventAtMs; }

private:
    void answered(SeriesMessage::Answer answer, const QByteArray &refusal, qint64 atMs);
    SeriesMessage::Report *slotFor(SeriesMessage &message, const QByteArray &status) const;
    void touch(qint64 atMs);

    std::vector<SeriesMessage> m_messages;
    // The next message to take a completion or refusal.
    std::size_t m_nextToAnswer = 0;
    int m_answersOwedElsewhere = 0;
    // The next message whose write may still finish.
    std::size_t m_nextToFinishWrite = 0;
    int m_writesOwedElsewhere = 0;
    // Per reference, the messages still waiting for a report, oldest first.
    std::array<std::deque<std::size_t>, 256> m_waitingForReport;
    int m_unmatchedReports = 0;
    quint64 m_version = 0;
    qint64 m_lastEventAtMs = 0;
};
