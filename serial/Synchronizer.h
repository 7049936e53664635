#pragma once

#include "serial/Event.h"

#include <QSocketNotifier>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

namespace serial {

// Runs calls of a worker thread in the thread that created the synchroniser
// (its owner, the window thread) and lets the worker wait until each has
// run. The owner runs them from its event loop, or directly while it waits
// for the worker to end, so neither thread ever waits for the other while
// the other waits for it. Only the waiting calls run then; the owner's
// event loop is not pumped.
class Synchronizer
{
public:
    Synchronizer();
    ~Synchronizer();
    Synchronizer(const Synchronizer &) = delete;
    Synchronizer &operator=(const Synchronizer &) = delete;

    // Owner, before it starts a worker.
    void workerStarting();

    // Worker: returns once `call` has run in the owner thread. It returns
    // early only when the owner, while running this very call, began to
    // wait for the worker's end (the call stopped the worker itself).
    void runInOwnerThread(std::function<void()> call);

    // Worker, as its last act.
    void workerFinished();

    // Owner: runs the calls that are waiting. Its event loop does this by
    // itself. An exception of a call passes on after the worker was freed.
    void runPending();

    // Owner: runs the worker's calls as they come until the worker has
    // finished. The calls go on after one throws; the first exception is
    // returned, for the caller to raise once the worker is gone.
    std::exception_ptr serveUntilWorkerFinished();

private:
    struct Call
    {
        std::function<void()> function;
        bool started = false;
        bool done = false;
    };

    std::shared_ptr<Call> takeCall();
    // With the lock held and a call waiting.
    std::shared_ptr<Call> popCall();
    void finishCall(Call &call);
    // Wakes the owner's event loop to run the waiting calls.
    void wakeOwner();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::shared_ptr<Call>> m_calls;
    bool m_ownerWaitsForEnd = false;
    bool m_workerFinished = false;
    // The worker wakes the owner through an event descriptor that the
    // owner's event loop watches, not through the toolkit's posted-event
    // queue: the worker thread never touches toolkit state, so every
    // hand-over between the threads goes through m_mutex alone.
    Event m_wake;
    QSocketNotifier m_wakeNotifier;
};

} // namespace serial
