#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <deque>
#include <optional>

namespace radiosim {

// Orders what the radio writes. Answers go out strictly in the order they
// were given, each not before its due time (so the late half of a split
// answer holds back the answers behind it). Indications, the radio's
// unsolicited output, go out by due time, never inside a pending answer and
// only after the line has been quiet for the gap: a terminal that takes a
// pause in the input as the end of a chunk then reads each one on its own.
// One indication is released per gap.
class OutputSchedule
{
public:
    static constexpr int maxPendingIndications = 64;

    explicit OutputSchedule(qint64 quietGapMs) : m_quietGapMs(quietGapMs) {}

    void addAnswer(const QByteArray &bytes, qint64 dueMs);
    // Drops the indication and returns false when too many are waiting.
    // The note, when not empty, is handed back when the indication goes out.
    bool addIndication(const QByteArray &bytes, qint64 dueMs, const QString &note = {});
    // Output that went out past the schedule (an echo) still breaks the
    // quiet the indications wait for.
    void noteOutput(qint64 nowMs) { m_lastOutputMs = nowMs; }

    // Everything that may go out at nowMs, in order; the notes of the
    // indications among it are appended to notes.
    QByteArray release(qint64 nowMs, QStringList *notes = nullptr);
    // When the next release would yield something, if anything is waiting.
    std::optional<qint64> nextDueMs() const;
    int pendingIndications() const { return int(m_indications.size()); }

private:
    struct Item
    {
        qint64 dueMs = 0;
        QByteArray bytes;
        QString note;
    };

    qint64 m_quietGapMs = 0;
    std::deque<Item> m_answers;
    std::deque<Item> m_indications; // sorted by due time, equal times in arrival order
    std::optional<qint64> m_lastOutputMs;
};

} // namespace radiosim
