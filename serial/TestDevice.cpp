#include "serial/TestDevice.h"

#include "serial/Syscall_linux.h"

#include <algorithm>
#include <cerrno>
#include <numeric>
#include <poll.h>

namespace serial {

namespace {

int index(TestLine::Op op)
{
    return static_cast<int>(op);
}

} // namespace

TestLine::TestLine() : m_writable(true) {}

void TestLine::setCts(bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cts = on;
}

void TestLine::pushInput(const QByteArray &bytes)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (bytes.isEmpty())
        return;
    const qsizetype before = m_input.size();
    m_input.append(bytes);
    uint32_t events = EV_RXCHAR;
    if (bytes.contains(char(m_dcb.EvtChar)))
        events |= EV_RXFLAG;
    const qsizetype nearlyFull = qsizetype(uint64_t(m_inQueue) * 8 / 10);
    if (nearlyFull > 0 && before <= nearlyFull && m_input.size() > nearlyFull)
        events |= EV_RX80FULL;
    raiseEventsLocked(events);
    updateReadinessLocked();
}

void TestLine::setWriteHook(std::function<void(const QByteArray &)> hook)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_writeHook = std::move(hook);
}

void TestLine::failNext(Op op, int err)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failNext[index(op)] = err;
}

void TestLine::setFailure(Op op, int err)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failAlways[index(op)] = err;
}

void TestLine::hangUp()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_hungUp = true;
    updateReadinessLocked();
}

void TestLine::raiseEvents(uint32_t evMask)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    raiseEventsLocked(evMask);
}

void TestLine::setKeepOutput(bool keep)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_keepOutput = keep;
}

void TestLine::setHoldWrites(bool hold)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_holdWrites = hold;
    updateReadinessLocked();
}

QVector<uint32_t> TestLine::escapeCalls() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_escapeCalls;
}

QByteArray TestLine::output() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_output;
}

QByteArray TestLine::takeOutput()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QByteArray taken;
    taken.swap(m_output);
    return taken;
}

int TestLine::callCount(Op op) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls[index(op)];
}

int TestLine::totalCallCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::accumulate(m_calls.begin(), m_calls.end(), 0);
}

Dcb TestLine::lastDcb() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_dcb;
}

CommTimeouts TestLine::lastTimeouts() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_timeouts;
}

uint32_t TestLine::lastInQueue() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_inQueue;
}

uint32_t TestLine::lastOutQueue() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_outQueue;
}

uint32_t TestLine::lastPurge() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_purge;
}

bool TestLine::dtr() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_dtr;
}

bool TestLine::rts() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_rts;
}

bool TestLine::isOpen() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_open;
}

int TestLine::openCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_openCount;
}

uint32_t TestLine::commMask() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_commMask;
}

int TestLine::eventWaitCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_eventWaits;
}

int TestLine::enterLocked(Op op)
{
    const int i = index(op);
    ++m_calls[i];
    if (m_hungUp)
        return EIO;
    if (const int err = m_failNext[i]) {
        m_failNext[i] = 0;
        return err;
    }
    return m_failAlways[i];
}

void TestLine::updateReadinessLocked()
{
    // Waiters must wake on a vanished line to learn that it is gone.
    if (!m_input.isEmpty() || m_hungUp)
        m_readable.set();
    else
        m_readable.reset();
    if (!m_holdWrites || m_hungUp)
        m_writable.set();
    else
        m_writable.reset();
}

void TestLine::raiseEventsLocked(uint32_t events)
{
    m_raisedEvents |= events & m_commMask;
    if (m_raisedEvents != 0)
        m_lineEvent.set();
}

TestDevice::TestDevice(std::shared_ptr<TestLine> line) : m_line(std::move(line)) {}

TestDevice::~TestDevice()
{
    if (!m_opened)
        return;
    std::lock_guard<std::mutex> lock(m_line->m_mutex);
    m_line->m_open = false;
    m_line->m_commMask = 0;
    m_line->m_raisedEvents = 0;
}

DeviceFactory TestDevice::factory(std::shared_ptr<TestLine> line)
{
    return [line]() -> std::unique_ptr<SerialDevice> { return std::make_unique<TestDevice>(line); };
}

int TestDevice::open(const QString &)
{
    std::lock_guard<std::mutex> lock(m_line->m_mutex);
    if (const int err = m_line->enterLocked(TestLine::Op::Open))
        return err;
    if (m_line->m_open)
        return EBUSY;
    m_line->m_open = true;
    ++m_line->m_openCount;
    m_line->m_commMask = 0;
    m_line->m_raisedEvents = 0;
    m_opened = true;
    return 0;
}

int TestDevice::setupComm(uint32_t inQueue, uint32_t outQueue)
{
    std::lock_guard<std::mutex> lock(m_line->m_mutex);
    if (const int err = m_line->enterLocked(TestLine::Op::SetupComm))
        return err;
    m_line->m_inQueue = inQueue;
    m_line->m_outQueue = outQueue;
    return 0;
}

int TestDevice::setCommState(const Dcb &dcb)
{
    std::lock_guard<std::mutex> lock(m_line->m_mutex);
    if (const int err = m_line->enterLocked(TestLine::Op::SetCommState))
        return err;
    m_line->m_dcb = dcb;
    if (dtrControl(dcb) == DTR_CONTROL_ENABLE)
        m_line->m_dtr = true;
    if (rtsControl(dcb) == RTS_CONTROL_ENABLE)
        m_line->m_rts = true;
    return 0;
}

int TestDevice::setCommTimeouts(const CommTimeouts &timeouts)
{
    std::lock_guard<std::mutex> lock(m_line->m_mutex);
    if (const int err = m_line->enterLocked(TestLine::Op::SetCommTimeouts))
        return err;
    m_line->m_timeouts = timeouts;
    return 0;
}

int TestDevice::clearCommError(uint32_t &errors, ComStat &stat)
{
    std::lock_guard<std::mutex> lock(m_line->m_mutex);
    if (const int err = m_line->enterLocked(TestLine::Op::ClearCommError))
        return err;
    errors = 0;
    stat.cbInQue = static_cast<uint32_t>(m_line->m_input.size());
    stat.cbOutQue = 0;
    return 0;
}

int TestDevice::getCommModemStatus(uint32_t &status)
{
    std::lock_guard<std::mutex> lock(m_line->m_mutex);
    if (const int err = m_line->enterLocked(TestLine::Op::GetModemStatus))
        return err;
    status = m_line->m_cts ? MS_CTS_ON : 0;
    return 0;
}

int TestDevice::escapeCommFunction(uint32_t function)
{
    std::lock_guard<std::mutex> lock(m_line->m_mutex);
    if (const int err = m_line->enterLocked(TestLine::Op::Escape))
        return err;
    switch (function) {
    case SETRTS:
    case CLRRTS:
        m_line->m_rts = function == SETRTS;
        break;
    case SETDTR:
    case CLRDTR:
        m_line->m_dtr = function == SETDTR;
        break;
    default:
        return EINVAL;
    }
    m_line->m_escapeCalls.append(function);
    return 0;
}

int TestDevice::purgeComm(uint32_t flags)
{
    std::lock_guard<std::mutex> lock(m_line->m_mutex);
    if (const int err = m_line->enterLocked(TestLine::Op::Purge))
        return err;
    m_line->m_purge = flags;
    if (flags & PURGE_RXCLEAR) {
        m_line->m_input.clear();
        m_line->updateReadinessLocked();
    }
    return 0;
}

int TestDevice::read(char *buffer, uint32_t size, uint32_t &done)
{
    std::lock_guard<std::mutex> lock(m_line->m_mutex);
    done = 0;
    if (const int err = m_line->enterLocked(TestLine::Op::Read))
        return err;
    const auto n = std::min<qsizetype>(size, m_line->m_input.size());
    std::copy_n(m_line->m_input.constData(), n, buffer);
    m_line->m_input.remove(0, n);
    m_line->updateReadinessLocked();
    done = static_cast<uint32_t>(n);
    return 0;
}

int TestDevice::write(const char *buffer, uint32_t size, uint32_t &done)
{
    done = 0;
    std::function<void(const QByteArray &)> hook;
    const QByteArray block(buffer, size);
    {
        std::lock_guard<std::mutex> lock(m_line->m_mutex);
        if (const int err = m_line->enterLocked(TestLine::Op::Write))
            return err;
        if (m_line->m_holdWrites)
            return 0;
        if (m_line->m_keepOutput)
            m_line->m_output.append(block);
        if (size > 0)
            m_line->raiseEventsLocked(EV_TXEMPTY); // nothing stays queued here
        hook = m_line->m_writeHook;
    }
    done = size;
    // Outside the lock: the far end answers through pushInput.
    if (hook)
        hook(block);
    return 0;
}

PollTarget TestDevice::readiness(Direction direction) const
{
    const Event &event = direction == Direction::Input ? m_line->m_readable : m_line->m_writable;
    return {event.fd(), POLLIN};
}

int TestDevice::setCommMask(uint32_t mask)
{
    std::lock_guard<std::mutex> lock(m_line->m_mutex);
    if (m_line->m_hungUp)
        return EIO;
    m_line->m_commMask = mask;
    m_line->m_raisedEvents = 0;
    return 0;
}

uint32_t TestDevice::waitCommEvent(const Event &stop, uint32_t &events)
{
    events = 0;
    {
        std::lock_guard<std::mutex> lock(m_line->m_mutex);
        ++m_line->m_eventWaits;
    }
    for (;;) {
        if (stop.isSet())
            return WAIT_OBJECT_0;
        {
            std::lock_guard<std::mutex> lock(m_line->m_mutex);
            events = m_line->m_raisedEvents;
            m_line->m_raisedEvents = 0;
            m_line->m_lineEvent.reset();
        }
        if (events != 0)
            return WAIT_OBJECT_0 + 1;
        pollfd entries[] = {{stop.fd(), POLLIN, 0}, {m_line->m_lineEvent.fd(), POLLIN, 0}};
        if (retryOnEintr([&] { return ::poll(entries, 2, -1); }) < 0)
            return WAIT_FAILED;
    }
}

} // namespace serial
