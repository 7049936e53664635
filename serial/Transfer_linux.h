#pragma once

#include "serial/SerialDevice.h"

#include <QByteArray>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

namespace serial {

using SteadyClock = std::chrono::steady_clock;

// When a read of `count` bytes ends under the Win32 read time-outs.
class ReadTimer
{
public:
    ReadTimer(const CommTimeouts &timeouts, uint32_t count, SteadyClock::time_point start);

    // True when the read ends with `got` bytes without waiting any longer.
    bool completeWith(uint32_t got) const;
    // How long to wait for more input: -1 without limit, 0 when time is up.
    int64_t waitMs(SteadyClock::time_point now, uint32_t got,
                   SteadyClock::time_point lastByte) const;

private:
    uint32_t m_count = 0;
    bool m_returnAtOnce = false;
    bool m_returnOnFirstBytes = false;
    bool m_hasDeadline = false;
    SteadyClock::time_point m_deadline;
    uint32_t m_interval = 0;
};

// The background part of a read or write that could not finish at once.
// It runs on its own thread, polls the device with the time-outs and sets
// `done` when it has finished (with success, an errno or ECANCELED).
class Transfer
{
public:
    enum class Kind { Read, Write };

    // Both throw std::system_error when no thread or event can be created.
    // Continues a read into `buffer` (its full size is wanted) after `got`
    // bytes; `destination` receives the bytes when the result is collected.
    static std::shared_ptr<Transfer> startRead(SerialDevice &device, const ReadTimer &timer,
                                               QByteArray buffer, uint32_t got, char *destination,
                                               Event &done);
    // Continues a write of `total` bytes whose tail `remaining` is still to go.
    static std::shared_ptr<Transfer> startWrite(SerialDevice &device, const CommTimeouts &timeouts,
                                                uint32_t total, QByteArray remaining,
                                                SteadyClock::time_point start, Event &done);
    ~Transfer();
    Transfer(const Transfer &) = delete;
    Transfer &operator=(const Transfer &) = delete;

    Kind kind() const { return m_kind; }
    void cancel();
    bool finished() const { return m_finished.load(); }
    // Waits for the thread; afterwards result() and transferred() are final.
    void join();
    int result() const { return m_result; }
    uint32_t transferred() const { return m_transferred; }
    // Copies a finished read's bytes to its destination.
    void deliver() const;

private:
    Transfer(Kind kind, SerialDevice &device, Event &done);
    void runRead(const ReadTimer &timer);
    void runWrite(SteadyClock::time_point deadline, bool hasDeadline);
    void finish(int result, uint32_t transferred);

    const Kind m_kind;
    SerialDevice &m_device;
    Event &m_done;
    Event m_cancel;
    std::atomic<bool> m_finished{false};
    std::mutex m_joinMutex;
    std::thread m_thread;
    QByteArray m_buffer;
    uint32_t m_got = 0;
    uint32_t m_total = 0;
    char *m_destination = nullptr;
    int m_result = 0;
    uint32_t m_transferred = 0;
};

} // namespace serial
