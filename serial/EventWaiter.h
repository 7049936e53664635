#pragma once

#include "serial/Event.h"

#include <atomic>
#include <cstdint>

namespace serial {

// The modem lines and the driver's interrupt counters at one moment.
struct LineSample
{
    bool hasModemLines = false;
    bool cts = false;
    bool dsr = false;
    bool rlsd = false;
    bool ring = false;

    bool hasCounters = false;
    int ctsChanges = 0;
    int dsrChanges = 0;
    int rlsdChanges = 0;
    int rings = 0;
    int breaks = 0;
    int frameErrors = 0;
    int overruns = 0;
    int parityErrors = 0;
    int bufferOverruns = 0;
};

// The line events that happened between two samples. A counter that moved
// catches a line that toggled and came back between the samples.
uint32_t lineEventsBetween(const LineSample &before, const LineSample &after);

// Waits for the line events of an open terminal device, on behalf of the
// event thread. A terminal has no event wait of its own, so events are told
// apart like this:
// - EV_RXCHAR: bytes waiting after a read of the device (noteRead), or
//   more bytes waiting than at the last look. A count alone cannot tell
//   arrivals from reads: a full queue that was read and refilled shows the
//   same count, so without the note input would stall until the next poll
//   of the reader. While bytes wait unread the input queue is sampled
//   instead of polled (it would stay readable); a reader that takes only
//   part of them makes the rest count as new.
// - EV_RX80FULL: the input queue passed 80% of the input queue size.
// - EV_TXEMPTY: the output queue drained after a write the device reported.
// - EV_CTS, EV_DSR, EV_RLSD, EV_RING: changes of the modem lines (TIOCMGET) or of their
//   interrupt counters (TIOCGICOUNT).
// - EV_BREAK, EV_ERR: the break, frame, overrun and parity counters (TIOCGICOUNT).
// - EV_RXFLAG is never reported: a terminal cannot peek at its input, so the
//   event character cannot be found without consuming the bytes.
// Sampling runs every 15 ms only while a sampled event is in the mask and
// the device answers the ioctl it needs; otherwise the wait sleeps until
// the device or an event fd wakes it. A pseudo-terminal has no modem lines
// or counters and an always-empty output queue, so it reports received
// bytes, the 80% mark and transmit-empty (at once after a write) only.
class EventWaiter
{
public:
    explicit EventWaiter(int deviceFd);

    // Callable from any thread; a wait in progress picks the change up.
    void setMask(uint32_t mask);
    void setInputQueueSize(uint32_t size);
    void noteWrite();
    // Called after each read that took bytes off the device.
    void noteRead();

    // Blocks until events of the mask happen: returns WAIT_OBJECT_0 + 1 with
    // them in `events`; WAIT_OBJECT_0 once `stop` is set, which wins over
    // events that happened meanwhile; WAIT_FAILED when poll fails. One
    // thread waits at a time.
    uint32_t wait(const Event &stop, uint32_t &events);

private:
    uint32_t takeEvents();
    uint32_t inputEvents();
    uint32_t outputEvents();
    uint32_t lineEvents();
    LineSample sampleLine();
    bool watchesInput() const;
    bool watchesLine() const;
    bool needsSampling() const;

    int m_deviceFd = -1;
    Event m_writeNotice;
    std::atomic<uint32_t> m_mask{0};
    std::atomic<uint32_t> m_inputQueueSize{0};
    std::atomic<uint64_t> m_writes{0};
    std::atomic<uint64_t> m_reads{0};
    std::atomic<bool> m_rebaseLine{true};

    // Touched by the waiting thread only.
    bool m_canCountInput = true;
    bool m_canCountOutput = true;
    bool m_hasModemLines = true;
    bool m_hasCounters = true;
    bool m_deviceHungUp = false;
    bool m_lastWakeIdle = false;
    int m_lastInputCount = 0;
    uint64_t m_writesSeen = 0;
    uint64_t m_readsSeen = 0;
    LineSample m_lastLine;
};

} // namespace serial
