#include "serial/Transfer_linux.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <poll.h>

namespace serial {

namespace {

enum class Wake { Ready, TimedOut, Cancelled, Failed };

// Waits until the device may progress, the transfer is cancelled or
// `waitMs` passed (-1: no limit). A signal ends the wait early as a time-out
// of 0 ms; the callers then recompute what is left.
Wake waitForProgress(const PollTarget &target, const Event &cancel, int64_t waitMs, short &revents,
                     int &err)
{
    pollfd fds[2] = {{cancel.fd(), POLLIN, 0}, {target.fd, target.events, 0}};
    const int timeout = waitMs < 0 ? -1 : static_cast<int>(std::min<int64_t>(waitMs, INT_MAX));
    const int ready = ::poll(fds, 2, timeout);
    if (ready < 0) {
        if (errno == EINTR)
            return Wake::TimedOut;
        err = errno;
        return Wake::Failed;
    }
    if (fds[0].revents != 0)
        return Wake::Cancelled;
    revents = fds[1].revents;
    return ready == 0 ? Wake::TimedOut : Wake::Ready;
}

bool lineGone(short revents)
{
    return (revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

// Ten years stand for "no end in sight"; longer totals would overflow the clock.
constexpr uint64_t kLongestTimeoutMs = 10ull * 365 * 24 * 3600 * 1000;

uint64_t totalTimeoutMs(uint32_t multiplier, uint32_t count, uint32_t constant)
{
    return std::min(uint64_t(multiplier) * count + constant, kLongestTimeoutMs);
}

int64_t msUntil(SteadyClock::time_point deadline, SteadyClock::time_point now)
{
    if (now >= deadline)
        return 0;
    // Round up, so a wait never ends just before the deadline.
    return std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now +
                                                                 std::chrono::microseconds(999))
        .count();
}

} // namespace

ReadTimer::ReadTimer(const CommTimeouts &timeouts, uint32_t count, SteadyClock::time_point start)
    : m_count(count)
{
    const uint32_t interval = timeouts.ReadIntervalTimeout;
    const uint32_t multiplier = timeouts.ReadTotalTimeoutMultiplier;
    const uint32_t constant = timeouts.ReadTotalTimeoutConstant;
    if (interval == MAXDWORD && multiplier == 0 && constant == 0) {
        m_returnAtOnce = true;
        return;
    }
    if (interval == MAXDWORD && multiplier == MAXDWORD && constant != 0 && constant != MAXDWORD) {
        m_returnOnFirstBytes = true;
        m_hasDeadline = true;
        m_deadline = start + std::chrono::milliseconds(constant);
        return;
    }
    const uint64_t total = totalTimeoutMs(multiplier, count, constant);
    if (total != 0) {
        m_hasDeadline = true;
        m_deadline = start + std::chrono::milliseconds(total);
    }
    m_interval = interval;
}

bool ReadTimer::completeWith(uint32_t got) const
{
    return got >= m_count || m_returnAtOnce || (m_returnOnFirstBytes && got > 0);
}

int64_t ReadTimer::waitMs(SteadyClock::time_point now, uint32_t got,
                          SteadyClock::time_point lastByte) const
{
    int64_t wait = m_hasDeadline ? msUntil(m_deadline, now) : -1;
    // The interval time-out runs only once a first byte has arrived.
    if (m_interval != 0 && got > 0) {
        const int64_t untilInterval =
            msUntil(lastByte + std::chrono::milliseconds(m_interval), now);
        wait = wait < 0 ? untilInterval : std::min(wait, untilInterval);
    }
    return wait;
}

Transfer::Transfer(Kind kind, SerialDevice &device, Event &done)
    : m_kind(kind), m_device(device), m_done(done)
{}

Transfer::~Transfer()
{
    cancel();
    join();
}

std::shared_ptr<Transfer> Transfer::startRead(SerialDevice &device, const ReadTimer &timer,
                                              QByteArray buffer, uint32_t got, char *destination,
                                              Event &done)
{
    std::shared_ptr<Transfer> transfer(new Transfer(Kind::Read, device, done));
    transfer->m_buffer = std::move(buffer);
    transfer->m_got = got;
    transfer->m_destination = destination;
    Transfer *self = transfer.get();
    transfer->m_thread = std::thread([self, timer] { self->runRead(timer); });
    return transfer;
}

std::shared_ptr<Transfer> Transfer::startWrite(SerialDevice &device, const CommTimeouts &timeouts,
                                               uint32_t total, QByteArray remaining,
                                               SteadyClock::time_point start, Event &done)
{
    std::shared_ptr<Transfer> transfer(new Transfer(Kind::Write, device, done));
    transfer->m_buffer = std::move(remaining);
    transfer->m_total = total;
    const uint64_t limit = totalTimeoutMs(timeouts.WriteTotalTimeoutMultiplier, total,
                                          timeouts.WriteTotalTimeoutConstant);
    const auto deadline = start + std::chrono::milliseconds(limit);
    Transfer *self = transfer.get();
    transfer->m_thread =
        std::thread([self, deadline, limit] { self->runWrite(deadline, limit != 0); });
    return transfer;
}

void Transfer::cancel()
{
    m_cancel.set();
}

void Transfer::join()
{
    std::lock_guard<std::mutex> lock(m_joinMutex);
    if (m_thread.joinable())
        m_thread.join();
}

void Transfer::deliver() const
{
    if (m_kind == Kind::Read && m_result == 0 && m_transferred > 0)
        std::memcpy(m_destination, m_buffer.constData(), m_transferred);
}

void Transfer::finish(int result, uint32_t transferred)
{
    m_result = result;
    m_transferred = transferred;
    m_finished.store(true);
    m_done.set();
}

void Transfer::runRead(const ReadTimer &timer)
{
    const auto count = static_cast<uint32_t>(m_buffer.size());
    auto lastByte = SteadyClock::now();
    for (;;) {
        if (timer.completeWith(m_got))
            return finish(0, m_got);
        const int64_t wait = timer.waitMs(SteadyClock::now(), m_got, lastByte);
        if (wait == 0)
            return finish(0, m_got); // a read time-out ends the read, it is no failure
        short revents = 0;
        int err = 0;
        switch (
            waitForProgress(m_device.readiness(Direction::Input), m_cancel, wait, revents, err)) {
        case Wake::Cancelled:
            return finish(ECANCELED, m_got);
        case Wake::Failed:
            return finish(err, m_got);
        case Wake::TimedOut:
            continue;
        case Wake::Ready:
            break;
        }
        uint32_t done = 0;
        err = m_device.read(m_buffer.data() + m_got, count - m_got, done);
        if (err != 0)
            return finish(err, m_got);
        if (done > 0) {
            m_got += done;
            lastByte = SteadyClock::now();
        } else if (lineGone(revents)) {
            return finish(EIO, m_got);
        }
    }
}

void Transfer::runWrite(SteadyClock::time_point deadline, bool hasDeadline)
{
    uint32_t sent = 0;
    const auto remaining = static_cast<uint32_t>(m_buffer.size());
    const uint32_t before = m_total - remaining;
    while (sent < remaining) {
        const int64_t wait = hasDeadline ? msUntil(deadline, SteadyClock::now()) : -1;
        if (wait == 0)
            return finish(ETIMEDOUT, before + sent);
        short revents = 0;
        int err = 0;
        switch (
            waitForProgress(m_device.readiness(Direction::Output), m_cancel, wait, revents, err)) {
        case Wake::Cancelled:
            return finish(ECANCELED, before + sent);
        case Wake::Failed:
            return finish(err, before + sent);
        case Wake::TimedOut:
            continue;
        case Wake::Ready:
            break;
        }
        uint32_t done = 0;
        err = m_device.write(m_buffer.constData() + sent, remaining - sent, done);
        if (err != 0)
            return finish(err, before + sent);
        if (done == 0 && lineGone(revents))
            return finish(EIO, before + sent);
        sent += done;
    }
    finish(0, m_total);
}

} // namespace serial
