#include "serial/EventWaiter.h"

#include "serial/InterruptibleWaitThread_linux.h"
#include "serial/SerialDevice.h"
#include "serial/Syscall_linux.h"
#include "serial/TtyModemLines_linux.h"

#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <system_error>

namespace serial {

namespace {

// While bytes wait unread or a write drains: short enough that the event
// reaches its handler at once for a person, and it lasts only that long.
constexpr int SampleIntervalMs = 15;
// Modem lines without a wait for their changes; see the class comment.
constexpr int LineSampleIntervalMs = 100;
// Modem lines whose changes a helper thread waits for.
constexpr int LineCheckIntervalMs = 1000;

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

EventWaiter::EventWaiter(int deviceFd)
    : EventWaiter(deviceFd, std::make_unique<TtyModemLines>(deviceFd))
{}

EventWaiter::EventWaiter(int deviceFd, std::unique_ptr<ModemLines> lines)
    : m_deviceFd(deviceFd), m_lines(std::move(lines))
{}

EventWaiter::~EventWaiter() = default;

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
        m_lastLine = m_lines->sample();
    if (samplesLine() && !m_lineWatch && !m_lineWatchUnavailable)
        startLineWatch();
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
        pollfd entries[] = {{stop.fd(), POLLIN, 0},
                            {m_writeNotice.fd(), POLLIN, 0},
                            {m_lineChanged.fd(), POLLIN, 0},
                            {m_deviceFd, POLLIN, 0}};
        const nfds_t count = pollDevice ? 4 : 3;
        const int timeout = pollTimeoutMs();
        if (retryOnEintr([&] { return ::poll(entries, count, timeout); }) < 0)
            return WAIT_FAILED;
        if (entries[0].revents != 0)
            return WAIT_OBJECT_0;
        if (entries[1].revents != 0)
            m_writeNotice.reset();
        if (entries[2].revents != 0)
            noteLineWatchWake();
        deviceWoke = pollDevice && (entries[3].revents & POLLIN) != 0;
        // A hung-up device stays "ready" for good; polling it again would spin.
        if (pollDevice && (entries[3].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
            m_deviceHungUp = true;
    }
}

void EventWaiter::startLineWatch()
{
    try {
        ModemLines *lines = m_lines.get();
        m_lineWatch = std::make_unique<InterruptibleWaitThread>(
            [lines] { return lines->waitForChange(); }, m_lineChanged);
    } catch (const std::system_error &) {
        // No thread or signal to wait with: the lines are sampled instead.
        m_lineWatchUnavailable = true;
    }
}

void EventWaiter::noteLineWatchWake()
{
    m_lineChanged.reset();
    // A driver without the wait answers at once; a vanished device fails
    // the wait and the samples alike.
    if (m_lineWatch && m_lineWatch->failure() != 0) {
        m_lineWatch.reset();
        m_lineWatchUnavailable = true;
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
    const LineSample now = m_lines->sample();
    const uint32_t events = lineEventsBetween(m_lastLine, now);
    m_lastLine = now;
    return events;
}

bool EventWaiter::watchesInput() const
{
    return (m_mask & InputEvents) != 0;
}

bool EventWaiter::watchesLine() const
{
    return (m_mask & LineEvents) != 0;
}

bool EventWaiter::samplesLine() const
{
    return watchesLine() && m_lastLine.hasAnything();
}

int EventWaiter::pollTimeoutMs() const
{
    const bool input =
        watchesInput() && m_canCountInput && (m_lastInputCount > 0 || m_lastWakeIdle);
    const bool output = (m_mask & EV_TXEMPTY) != 0 && m_writes != m_writesSeen;
    if (input || output)
        return SampleIntervalMs;
    if (!samplesLine())
        return -1;
    return m_lineWatch ? LineCheckIntervalMs : LineSampleIntervalMs;
}

} // namespace serial
