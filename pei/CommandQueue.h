#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>
#include <deque>
#include <optional>

// One command for the radio, as the queue keeps it.
struct PeiCommand
{
    enum class Kind {
        Probe,
        Registration,
        ServiceSelection,
        LengthQuery,
        Message,
        Report,
        Typed,
    };

    Kind kind = Kind::Typed;
    QByteArray bytes;
    // How long the radio may take to give its final result once the command
    // is written; 0: as long as it takes.
    qint64 timeoutMs = 0;
    // Not written before this time (monotonic milliseconds).
    qint64 notBeforeMs = 0;
    // Given by the queue; tells the caller which command an event is about.
    quint64 id = 0;
};

// The commands for one radio, written one at a time: the next is written
// only after the radio's final result to the one before, or after its
// time-out. V.250 lets a radio abort a command that receives characters
// while it executes, so nothing may overlap. The queue is pure: its caller
// writes, reads and tells the time (monotonic milliseconds).
//
// A command that timed out may still be answered late. For a moment after
// a time-out nothing is written, so that such an answer is recognised as
// late and never taken for the answer to the command after it.
class CommandQueue
{
public:
    // How long the queue holds still after a time-out for a late answer.
    static constexpr qint64 LateAnswerGraceMs = 1000;

    // Queues a command behind the others; returns its id.
    quint64 enqueue(PeiCommand command);

    // The command to write now: the oldest that is due, while none is in
    // flight and the queue is not holding still; nullptr otherwise.
    const PeiCommand *next(qint64 nowMs) const;
    // Takes the command off the queue: its write has begun.
    void startWrite(quint64 id);
    // The write has ended: its answer is due within its time-out from now.
    void writeFinished(qint64 nowMs);
    // Takes a queued command off the queue without writing it.
    std::optional<PeiCommand> drop(quint64 id);

    // The command written and not answered yet.
    const PeiCommand *inFlight() const;
    bool writing() const { return m_inFlight && !m_writeFinished; }
    // The command in flight was answered; it is done.
    std::optional<PeiCommand> answered();
    // The command in flight when its time-out has passed; it is done.
    std::optional<PeiCommand> takeTimedOut(qint64 nowMs);
    // Commands that timed out and may still be answered late: a final
    // result that comes while nothing is in flight is such an answer.
    int lateAnswersOwed() const { return m_timedOutUnanswered; }
    // Counts a late answer: one fewer is owed.
    void lateAnswerTaken();

    // When something falls due: a time-out, the end of the hold after one,
    // or a command's earliest write time. nullopt when nothing waits on time.
    std::optional<qint64> nextWakeMs() const;

    // Commands of a kind still waiting to be written.
    int queued(PeiCommand::Kind kind) const;
    int queued() const { return int(m_queue.size()); }
    const std::deque<PeiCommand> &commands() const { return m_queue; }
    // Forgets everything: a new connection.
    void clear();

private:
    std::deque<PeiCommand> m_queue;
    std::optional<PeiCommand> m_inFlight;
    bool m_writeFinished = false;
    qint64 m_deadlineMs = 0;
    qint64 m_holdUntilMs = 0;
    int m_timedOutUnanswered = 0;
    quint64 m_lastId = 0;
};
