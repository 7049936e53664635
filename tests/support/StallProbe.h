#pragma once

#include <QObject>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// How long the window thread is kept from its events: a thread of the
// probe's own posts an event to the window thread every 2 ms, and the
// window thread notes how late each one is handled. The worst lateness is
// the longest stall the window thread made a user wait. Made and read on
// the window thread; header-only, for the tests and the benchmarks alike.
class StallProbe : public QObject
{
public:
    static constexpr std::chrono::milliseconds Period{2};

    StallProbe()
    {
        m_thread = std::thread([this] {
            std::unique_lock<std::mutex> lock(m_mutex);
            while (!m_stopping) {
                const auto posted = Clock::now();
                QMetaObject::invokeMethod(
                    this, [this, posted] { note(Clock::now() - posted); }, Qt::QueuedConnection);
                // Woken early only to stop.
                m_stop.wait_until(lock, posted + Period, [this] { return m_stopping; });
            }
        });
    }
    ~StallProbe() override
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_stopping = true;
        }
        m_stop.notify_one();
        m_thread.join();
        // Events still posted to the probe go with it.
    }
    StallProbe(const StallProbe &) = delete;
    StallProbe &operator=(const StallProbe &) = delete;

    // The worst lateness since the probe started or the last take, in ms.
    double takeWorstMs() { return double(m_worstNs.exchange(0)) / 1e6; }
    // How many posted events the window thread has handled so far.
    qint64 handled() const { return m_handled; }

private:
    using Clock = std::chrono::steady_clock;

    void note(Clock::duration late)
    {
        const qint64 ns = std::chrono::duration_cast<std::chrono::nanoseconds>(late).count();
        m_worstNs = std::max<qint64>(m_worstNs, ns);
        ++m_handled;
    }

    std::mutex m_mutex;
    std::condition_variable m_stop;
    bool m_stopping = false;
    std::atomic<qint64> m_worstNs{0};
    std::atomic<qint64> m_handled{0};
    std::thread m_thread;
};
