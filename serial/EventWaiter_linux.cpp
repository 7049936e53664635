#include "serial/EventWaiter.h"

#include "serial/SerialDevice.h"
#include "serial/Syscall_linux.h"

#include <cerrno>
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>

namespace serial {

namespace {

// Short enough that a line change reaches its handler at once for a person,
// long enough that an idle port costs nothing measurable.
constexpr int SampleIntervalMs = 15;

constexpr uint32_t InputEvents = EV_RXCHAR | EV_RX80FULL;
constexpr uint32_t LineEvents = EV_CTS | EV_DSR | EV_RLSD | EV_RING | EV_BREAK | EV_ERR;

bool ioctlRetrying(int fd, unsigned long request, void *argument)
{
    return retryOnEintr([&] { return ::ioctl(fd, request, argument); }) == 0;
}

} // namespace

uint32_t lineEventsBetween(const LineSample &before, const LineSample &after)
{
    uint32_t events = 0;
    if (before.hasModemLines && after.hasModemLines) {
        if (before.cts != after.cts)
            events |= EV_CTS;
        if (before.dsr != after.dsr)
            events |= EV_DSR;
        if (before.rlsd != after.rlsd)
            events |= EV_RLSD;
        if (!before.ring && after.ring)
            events |= EV_RING;
    }
    if (before.hasCounters && after.hasCounters) {
        if (before.ctsChanges != after.ctsChanges)
            events |= EV_CTS;
        if (before.dsrChanges != after.dsrChanges)
            events |= EV_DSR;
        if (before.rlsdChanges != after.rlsdChanges)
            events |= EV_RLSD;
        if (before.rings != after.rings)
            events |= EV_RING;
        if (before.breaks != after.breaks)
            events |= EV_BREAK;
        if (before.frameErrors != after.frameErrors || before.overruns != after.overruns ||
            before.parityErrors != after.parityErrors ||
            before.bufferOverruns != after.bufferOverruns)
            events |= EV_ERR;
    }
    return events;
}

EventWaiter::EventWaiter(int deviceFd) : m_deviceFd(deviceFd) {}

void EventWaiter::setMask(uint32_t mask)
{
    m_mask = mask;
    m_rebaseLine = true;
}

void EventWaiter::setInputQueueSize(uint32_t size)
{
    m_inputQueueSize = size;
}

void EventWaiter::noteWrite()
{
    if ((m_mask & EV_TXEMPTY) == 0)
        return;
    ++m_writes;
    m_writeNotice.set();
}

void EventWaiter::noteRead()
{
    ++m_reads;
}

uint32_t EventWaiter::wait(const Event &stop, uint32_t &events)
{
    if (m_rebaseLine.exchange(false))
        m_lastLine = sampleLine();
    bool deviceWoke = false;
    for (;;) {
        events = takeEvents();
        // Readable yet nothing to count: sample for one interval rather than
        // poll the device again, which would return at once.
        m_lastWakeIdle = deviceWoke && m_lastInputCount == 0;
        if (events != 0)
            return stop.isSet() ? WAIT_OBJECT_0 : WAIT_OBJECT_0 + 1;

        const bool pollDevice = watchesInput() && m_canCountInput && !m_deviceHungUp &&
                                m_lastInputCount == 0 && !m_lastWakeIdle;
        pollfd entries[] = {
            {stop.fd(), POLLIN, 0}, {m_writeNotice.fd(), POLLIN, 0}, {m_deviceFd, POLLIN, 0}};
        const nfds_t count = pollDevice ? 3 : 2;
        const int timeout = needsSampling() ? SampleIntervalMs : -1;
        if (retryOnEintr([&] { return ::poll(entries, count, timeout); }) < 0)
            return WAIT_FAILED;
        if (entries[0].revents != 0)
            return WAIT_OBJECT_0;
        if (entries[1].revents != 0)
            m_writeNotice.reset();
        deviceWoke = pollDevice && (entries[2].revents & POLLIN) != 0;
        // A hung-up device stays "ready" for good; polling it again would spin.
        if (pollDevice && (entries[2].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
            m_deviceHungUp = true;
    }
}

uint32_t EventWaiter::takeEvents()
{
    uint32_t events = outputEvents();
    if (watchesInput())
        events |= inputEvents();
    if (watchesLine())
        events |= lineEvents();
    return events & m_mask;
}

uint32_t EventWaiter::inputEvents()
{
    // Taken before the count: a read after it shows at the next look, which
    // then reports whatever waits.
    const uint64_t reads = m_reads;
    if (reads != m_readsSeen) {
        m_readsSeen = reads;
        m_lastInputCount = 0;
    }
    int waiting = 0;
    if (!m_canCountInput || !ioctlRetrying(m_deviceFd, FIONREAD, &waiting)) {
        m_canCountInput = false;
        return 0;
    }
    uint32_t events = 0;
    if (waiting > 0 && waiting != m_lastInputCount)
        events |= EV_RXCHAR;
    const uint64_t nearlyFull = uint64_t(m_inputQueueSize) * 8 / 10;
    if (nearlyFull > 0 && uint64_t(waiting) > nearlyFull &&
        uint64_t(m_lastInputCount) <= nearlyFull)
        events |= EV_RX80FULL;
    m_lastInputCount = waiting;
    return events;
}

uint32_t EventWaiter::outputEvents()
{
    const uint64_t writes = m_writes;
    if (writes == m_writesSeen)
        return 0;
    if ((m_mask & EV_TXEMPTY) == 0) {
        m_writesSeen = writes;
        return 0;
    }
    int queued = 0;
    // Without an output count the drain cannot be watched; report it at once.
    if (m_canCountOutput && !ioctlRetrying(m_deviceFd, TIOCOUTQ, &queued)) {
        m_canCountOutput = false;
        queued = 0;
    }
    if (queued > 0)
        return 0;
    m_writesSeen = writes;
    return EV_TXEMPTY;
}

uint32_t EventWaiter::lineEvents()
{
    const LineSample now = sampleLine();
    const uint32_t events = lineEventsBetween(m_lastLine, now);
    m_lastLine = now;
    return events;
}

LineSample EventWaiter::sampleLine()
{
    LineSample sample;
    int lines = 0;
    if (m_hasModemLines && ioctlRetrying(m_deviceFd, TIOCMGET, &lines)) {
        sample.hasModemLines = true;
        sample.cts = (lines & TIOCM_CTS) != 0;
        sample.dsr = (lines & TIOCM_DSR) != 0;
        sample.rlsd = (lines & TIOCM_CD) != 0;
        sample.ring = (lines & TIOCM_RI) != 0;
    } else {
        m_hasModemLines = false;
    }
    serial_icounter_struct counters{};
    if (m_hasCounters && ioctlRetrying(m_deviceFd, TIOCGICOUNT, &counters)) {
        sample.hasCounters = true;
        sample.ctsChanges = counters.cts;
        sample.dsrChanges = counters.dsr;
        sample.rlsdChanges = counters.dcd;
        sample.rings = counters.rng;
        sample.breaks = counters.brk;
        sample.frameErrors = counters.frame;
        sample.overruns = counters.overrun;
        sample.parityErrors = counters.parity;
        sample.bufferOverruns = counters.buf_overrun;
    } else {
        m_hasCounters = false;
    }
    return sample;
}

bool EventWaiter::watchesInput() const
{
    return (m_mask & InputEvents) != 0;
}

bool EventWaiter::watchesLine() const
{
    return (m_mask & LineEvents) != 0;
}

bool EventWaiter::needsSampling() const
{
    const bool input =
        watchesInput() && m_canCountInput && (m_lastInputCount > 0 || m_lastWakeIdle);
    const bool output = (m_mask & EV_TXEMPTY) != 0 && m_writes != m_writesSeen;
    const bool line = watchesLine() && (m_hasModemLines || m_hasCounters);
    return input || output || line;
}

} // namespace serial
