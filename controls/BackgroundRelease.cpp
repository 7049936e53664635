#include "controls/BackgroundRelease.h"

#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace {

class Releaser
{
public:
    Releaser() : m_thread([this] { run(); }) {}
    ~Releaser()
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_stopping = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }

    void release(LogSnapshot held)
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_queue.push_back(std::move(held));
        }
        m_changed.notify_all();
    }

    void waitUntilIdle()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_queue.empty() && !m_freeing; });
    }

private:
    void run()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty())
                return;
            std::vector<LogSnapshot> freeing;
            freeing.swap(m_queue);
            m_freeing = true;
            lock.unlock();
            freeing.clear();
            lock.lock();
            m_freeing = false;
            m_changed.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<LogSnapshot> m_queue;
    bool m_freeing = false;
    bool m_stopping = false;
    // Last, so that it starts once the rest is ready.
    std::thread m_thread;
};

Releaser &releaser()
{
    static Releaser instance;
    return instance;
}

} // namespace

void releaseInBackground(LogSnapshot held)
{
    releaser().release(std::move(held));
}

void waitForBackgroundRelease()
{
    releaser().waitUntilIdle();
}
