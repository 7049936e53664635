#pragma once

#include "serial/Event.h"

#include <atomic>
#include <functional>
#include <thread>

namespace serial {

// Runs a blocking call over and over on a thread of its own and sets an
// event each time the call returns with what it waited for. It serves
// calls that have neither a descriptor to poll nor a time-out, such as
// TIOCMIWAIT. To stop, the thread is sent a signal whose handler does
// nothing and was installed without SA_RESTART, so that the call fails with
// EINTR; the signal is sent again until the thread has ended, since one
// that lands just before the call begins is not noticed by it.
//
// The signal is a real-time signal that nothing else in this program uses;
// the thread leaves every other signal to the program's other threads.
class InterruptibleWaitThread
{
public:
    // Returns 0 once what it waits for happened, or an errno value; EINTR
    // makes it run again unless the thread is stopping, any other value
    // ends the thread.
    using BlockingCall = std::function<int()>;

    // Throws std::system_error when the signal handler cannot be installed
    // or the thread cannot be started.
    InterruptibleWaitThread(BlockingCall call, Event &happened);
    // Stops the thread and waits for its end.
    ~InterruptibleWaitThread();
    InterruptibleWaitThread(const InterruptibleWaitThread &) = delete;
    InterruptibleWaitThread &operator=(const InterruptibleWaitThread &) = delete;

    // The errno value that ended the thread (the call is not supported or
    // failed), 0 while it runs. `happened` is set when it ends this way.
    int failure() const { return m_failure.load(); }

    static int interruptSignal();

private:
    void run();

    BlockingCall m_call;
    Event &m_happened;
    Event m_ended;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_failure{0};
    std::thread m_thread;
};

} // namespace serial
