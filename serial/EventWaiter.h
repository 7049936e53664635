#pragma once

#include "serial/Event.h"
#include "serial/ModemLines.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace serial {

class InterruptibleWaitThread;

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
// - EV_CTS, EV_DSR, EV_RLSD, EV_RING: changes of the modem lines or of their
//   interrupt counters (see ModemLines).
// - EV_BREAK, EV_ERR: the break, frame, overrun and parity counters.
// - EV_RXFLAG is never reported: a terminal cannot peek at its input, so the
//   event character cannot be found without consuming the bytes.
// Every wake-up compares the modem lines and counters with the last look.
// Where the driver can wait for a modem-line change (TIOCMIWAIT), a helper
// thread waits there and wakes the wait; the lines are then also looked at
// once a second, for a change that fell between two of its waits (and for
// breaks and line errors, which come with input in raw mode anyway). Where
// it cannot, the lines are sampled every 100 ms: the radio's ready line
// (CTS) is read directly before each command, and a refused command is
// retried every 100 ms, so nothing that depends on the line waits longer
// for the event. A pseudo-terminal has no modem lines or counters and an
// always-empty output queue, so it reports received bytes, the 80% mark
// and transmit-empty (at once after a write) only, and an idle wait
// sleeps until the device or an event fd wakes it.
class EventWaiter
{
public:
    // Takes the modem lines of the tty itself.
    explicit EventWaiter(int deviceFd);
    EventWaiter(int deviceFd, std::unique_ptr<ModemLines> lines);
    ~EventWaiter(); // stops the helper thread
    EventWaiter(const EventWaiter &) = delete;
    EventWaiter &operator=(const EventWaiter &) = delete;

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
    void startLineWatch();
    void noteLineWatchWake();
    bool watchesInput() const;
    bool watchesLine() const;
    bool samplesLine() const;
    int pollTimeoutMs() const;

    int m_deviceFd = -1;
    std::unique_ptr<ModemLines> m_lines;
    Event m_writeNotice;
    Event m_lineChanged;
    std::atomic<uint32_t> m_mask{0};
    std::atomic<uint32_t> m_inputQueueSize{0};
    std::atomic<uint64_t> m_writes{0};
    std::atomic<uint64_t> m_reads{0};
    std::atomic<bool> m_rebaseLine{true};

    // Touched by the waiting thread only (and by the destructor after it).
    bool m_canCountInput = true;
    bool m_canCountOutput = true;
    bool m_deviceHungUp = false;
    bool m_lastWakeIdle = false;
    bool m_lineWatchUnavailable = false;
    int m_lastInputCount = 0;
    uint64_t m_writesSeen = 0;
    uint64_t m_readsSeen = 0;
    LineSample m_lastLine;
    // Declared last: stopped before the lines it waits on go.
    std::unique_ptr<InterruptibleWaitThread> m_lineWatch;
};

} // namespace serial
