#include "serial/InterruptibleWaitThread_linux.h"

#include <cerrno>
#include <csignal>
#include <pthread.h>
#include <system_error>

namespace serial {

namespace {

// How long Stop waits for the thread's end before it sends the signal again.
constexpr uint32_t ResendAfterMs = 5;

void doNothing(int) {}

// Installs the handler once per process; returns the errno of a failure.
int installInterruptHandler()
{
    static const int result = [] {
        struct sigaction action
        {
        };
        action.sa_handler = doNothing;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0; // no SA_RESTART: the blocked call must return
        return ::sigaction(InterruptibleWaitThread::interruptSignal(), &action, nullptr) == 0
                   ? 0
                   : errno;
    }();
    return result;
}

} // namespace

int InterruptibleWaitThread::interruptSignal()
{
    return SIGRTMIN + 6;
}

InterruptibleWaitThread::InterruptibleWaitThread(BlockingCall call, Event &happened)
    : m_call(std::move(call)), m_happened(happened)
{
    if (const int err = installInterruptHandler(); err != 0)
        throw std::system_error(err, std::generic_category(), "sigaction");
    m_thread = std::thread([this] { run(); });
}

InterruptibleWaitThread::~InterruptibleWaitThread()
{
    m_stopping = true;
    while (!m_ended.isSet()) {
        // Fails only once the thread has ended, which the loop then sees.
        ::pthread_kill(m_thread.native_handle(), interruptSignal());
        m_ended.wait(ResendAfterMs);
    }
    m_thread.join();
}

void InterruptibleWaitThread::run()
{
    sigset_t others;
    sigfillset(&others);
    sigdelset(&others, interruptSignal());
    if (const int err = ::pthread_sigmask(SIG_SETMASK, &others, nullptr); err != 0)
        m_failure = err;
    while (m_failure == 0 && !m_stopping) {
        const int err = m_call();
        if (err == 0)
            m_happened.set();
        else if (err != EINTR)
            m_failure = err;
    }
    if (m_failure != 0)
        m_happened.set();
    m_ended.set();
}

} // namespace serial
