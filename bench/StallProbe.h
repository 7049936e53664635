#pragma once

#include <QObject>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

// How long the window thread is kept from its events: a thread of the
// probe's own posts an event to the window thread every 2 ms, and the
// window thread notes how late each one is handled. The worst lateness is
// the longest stall the window thread made a user wait. Made and read on
// the window thread.
class StallProbe : public QObject
{
public:
    static constexpr std::chrono::milliseconds Period{2};

    StallProbe()
    {
        m_thread = std::thread([this] {
            while (m_running) {
                const auto posted = Clock::now();
                QMetaObject::invokeMethod(
                    this, [this, posted] { note(Clock::now() - posted); }, Qt::QueuedConnection);
                std::this_thread::sleep_for(Period);
            }
        });
    }
    ~StallProbe() override
    {
        m_running = false;
        m_thread.join();
    }
    StallProbe(const StallProbe &) = delete;
    StallProbe &operator=(const StallProbe &) = delete;

    // The worst lateness since the probe started or the last take, in ms.
    double takeWorstMs() { return double(m_worstNs.exchange(0)) / 1e6; }

private:
    using Clock = std::chrono::steady_clock;

    void note(Clock::duration late)
    {
        const qint64 ns = std::chrono::duration_cast<std::chrono::nanoseconds>(late).count();
        m_worstNs = std::max<qint64>(m_worstNs, ns);
    }

    std::atomic<bool> m_running{true};
    std::atomic<qint64> m_worstNs{0};
    std::thread m_thread;
};
