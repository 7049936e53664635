#include "serial/Synchronizer.h"

namespace serial {

Synchronizer::Synchronizer() : m_wakeNotifier(m_wake.fd(), QSocketNotifier::Read)
{
    QObject::connect(&m_wakeNotifier, &QSocketNotifier::activated, [this] {
        // Reset before draining: a call queued meanwhile sets it again.
        m_wake.reset();
        runPending();
    });
}

Synchronizer::~Synchronizer() = default;

void Synchronizer::workerStarting()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_ownerWaitsForEnd = false;
    m_workerFinished = false;
}

void Synchronizer::runInOwnerThread(std::function<void()> function)
{
    auto call = std::make_shared<Call>();
    call->function = std::move(function);
    std::unique_lock<std::mutex> lock(m_mutex);
    // One queued invocation drains the whole queue.
    if (m_calls.empty())
        wakeOwner();
    m_calls.push_back(call);
    m_changed.notify_all();
    m_changed.wait(lock, [&] { return call->done || (call->started && m_ownerWaitsForEnd); });
}

void Synchronizer::workerFinished()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_workerFinished = true;
    m_changed.notify_all();
}

void Synchronizer::runPending()
{
    while (const std::shared_ptr<Call> call = takeCall()) {
        try {
            call->function();
        } catch (...) {
            finishCall(*call);
            std::lock_guard<std::mutex> lock(m_mutex);
            if (!m_calls.empty())
                wakeOwner();
            throw;
        }
        finishCall(*call);
    }
}

std::exception_ptr Synchronizer::serveUntilWorkerFinished()
{
    std::exception_ptr firstError;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ownerWaitsForEnd = true;
        m_changed.notify_all();
    }
    for (;;) {
        std::shared_ptr<Call> call;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait(lock, [&] { return !m_calls.empty() || m_workerFinished; });
            if (m_calls.empty())
                return firstError;
            call = popCall();
        }
        try {
            call->function();
        } catch (...) {
            if (!firstError)
                firstError = std::current_exception();
        }
        finishCall(*call);
    }
}

std::shared_ptr<Synchronizer::Call> Synchronizer::takeCall()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls.empty() ? nullptr : popCall();
}

std::shared_ptr<Synchronizer::Call> Synchronizer::popCall()
{
    std::shared_ptr<Call> call = m_calls.front();
    m_calls.pop_front();
    call->started = true;
    return call;
}

void Synchronizer::finishCall(Call &call)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    call.done = true;
    m_changed.notify_all();
}

void Synchronizer::wakeOwner()
{
    m_wake.set();
}

} // namespace serial
