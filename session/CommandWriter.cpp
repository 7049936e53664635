#include "session/CommandWriter.h"

#include "serial/Comms.h"

#include <QElapsedTimer>

CommandWriter::CommandWriter(TComPort &port, QObject *parent) : QObject(parent), m_port(port)
{
    m_poll.setInterval(PollMs);
    connect(&m_poll, &QTimer::timeout, this, &CommandWriter::poll);
}

void CommandWriter::forgetDroppedWrite()
{
    if (m_inFlight && !m_port.AsyncPending()) {
        m_inFlight = false;
        m_current.clear();
        m_queue.clear();
        m_poll.stop();
    }
}

bool CommandWriter::busy()
{
    forgetDroppedWrite();
    return m_inFlight;
}

void CommandWriter::write(const QByteArray &command)
{
    if (busy() || !m_queue.isEmpty()) {
        m_queue.append(command);
        return;
    }
    start(command);
}

void CommandWriter::start(const QByteArray &command)
{
    int result = m_port.WriteStr(command, false);
    if (result == -1)
        result = m_port.WaitForAsync(HoldMs);
    if (result == -1) {
        m_inFlight = true;
        m_current = command;
        m_poll.start();
        return;
    }
    if (onWritten)
        onWritten(command);
}

void CommandWriter::poll()
{
    forgetDroppedWrite();
    if (m_inFlight) {
        int result = -1;
        try {
            result = m_port.WaitForAsync(0);
        } catch (...) {
            failInBackground();
            throw;
        }
        if (result == -1)
            return;
        m_inFlight = false;
        const QByteArray written = m_current;
        m_current.clear();
        if (onWritten)
            onWritten(written);
    }
    // What the port takes at once goes out in this tick, within the hold.
    QElapsedTimer held;
    held.start();
    try {
        while (!m_inFlight && !m_queue.isEmpty() && held.elapsed() < HoldMs)
            start(m_queue.takeFirst());
    } catch (...) {
        failInBackground();
        throw;
    }
    if (!m_inFlight && m_queue.isEmpty())
        m_poll.stop();
}

void CommandWriter::failInBackground()
{
    m_inFlight = false;
    m_current.clear();
    m_queue.clear();
    m_poll.stop();
    if (onBackgroundFailure)
        onBackgroundFailure();
}
