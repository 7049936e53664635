#include "pei/CommandQueue.h"

#include <algorithm>

quint64 CommandQueue::enqueue(PeiCommand command)
{
    command.id = ++m_lastId;
    m_queue.push_back(std::move(command));
    return m_lastId;
}

const PeiCommand *CommandQueue::next(qint64 nowMs) const
{
    if (m_inFlight || nowMs < m_holdUntilMs)
        return nullptr;
    // Oldest first; a command held for its earliest time lets the others by.
    for (const PeiCommand &command : m_queue) {
        if (command.notBeforeMs <= nowMs)
            return &command;
    }
    return nullptr;
}

void CommandQueue::startWrite(quint64 id)
{
    const auto it = std::find_if(m_queue.begin(), m_queue.end(),
                                 [id](const PeiCommand &command) { return command.id == id; });
    if (it == m_queue.end() || m_inFlight)
        return;
    m_inFlight = *it;
    m_queue.erase(it);
    m_writeFinished = false;
}

void CommandQueue::writeFinished(qint64 nowMs)
{
    if (!m_inFlight)
        return;
    m_writeFinished = true;
    m_deadlineMs = m_inFlight->timeoutMs > 0 ? nowMs + m_inFlight->timeoutMs : 0;
}

std::optional<PeiCommand> CommandQueue::drop(quint64 id)
{
    const auto it = std::find_if(m_queue.begin(), m_queue.end(),
                                 [id](const PeiCommand &command) { return command.id == id; });
    if (it == m_queue.end())
        return std::nullopt;
    PeiCommand dropped = *it;
    m_queue.erase(it);
    return dropped;
}

const PeiCommand *CommandQueue::inFlight() const
{
    return m_inFlight ? &*m_inFlight : nullptr;
}

std::optional<PeiCommand> CommandQueue::answered()
{
    std::optional<PeiCommand> done = std::move(m_inFlight);
    m_inFlight.reset();
    return done;
}

std::optional<PeiCommand> CommandQueue::takeTimedOut(qint64 nowMs)
{
    if (!m_inFlight || !m_writeFinished || m_deadlineMs == 0 || nowMs < m_deadlineMs)
        return std::nullopt;
    ++m_timedOutUnanswered;
    m_holdUntilMs = nowMs + LateAnswerGraceMs;
    return answered();
}

void CommandQueue::lateAnswerTaken()
{
    if (m_timedOutUnanswered > 0)
        --m_timedOutUnanswered;
}

std::optional<qint64> CommandQueue::nextWakeMs() const
{
    std::optional<qint64> wake;
    const auto consider = [&wake](qint64 atMs) {
        if (!wake || atMs < *wake)
            wake = atMs;
    };
    if (m_inFlight) {
        if (m_writeFinished && m_deadlineMs != 0)
            consider(m_deadlineMs);
        return wake;
    }
    if (m_holdUntilMs != 0 && !m_queue.empty())
        consider(m_holdUntilMs);
    for (const PeiCommand &command : m_queue)
        consider(std::max(command.notBeforeMs, m_holdUntilMs));
    return wake;
}

int CommandQueue::queued(PeiCommand::Kind kind) const
{
    return int(std::count_if(m_queue.begin(), m_queue.end(),
                             [kind](const PeiCommand &command) { return command.kind == kind; }));
}

void CommandQueue::clear()
{
    m_queue.clear();
    m_inFlight.reset();
    m_writeFinished = false;
    m_deadlineMs = 0;
    m_holdUntilMs = 0;
    m_timedOutUnanswered = 0;
}
