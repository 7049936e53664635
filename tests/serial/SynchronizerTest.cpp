#include "serial/Synchronizer.h"

#include <QCoreApplication>
#include <QTest>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using serial::Synchronizer;

// Runs runPending directly (not from the event loop) until a call threw.
bool runPendingUntilThrows(Synchronizer &synchronizer)
{
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline) {
        try {
            synchronizer.runPending();
        } catch (const std::runtime_error &) {
            return true;
        }
        std::this_thread::sleep_for(1ms);
    }
    return false;
}

TEST(SynchronizerTest, CallRunsInOwnerThreadBeforeWorkerGoesOn)
{
    Synchronizer synchronizer;
    synchronizer.workerStarting();
    std::thread::id callThread;
    bool callRan = false;
    std::atomic<bool> sawCallRun{false};
    std::atomic<bool> workerDone{false};

    std::thread worker([&] {
        synchronizer.runInOwnerThread([&] {
            callThread = std::this_thread::get_id();
            callRan = true;
        });
        sawCallRun = callRan;
        synchronizer.workerFinished();
        workerDone = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return workerDone.load(); }, 10000));
    worker.join();

    EXPECT_EQ(callThread, std::this_thread::get_id());
    EXPECT_TRUE(sawCallRun);
}

TEST(SynchronizerTest, WorkerWaitsWhileOwnerIsBusy)
{
    Synchronizer synchronizer;
    synchronizer.workerStarting();
    std::atomic<bool> callRan{false};
    std::atomic<bool> workerReturned{false};

    std::thread worker([&] {
        synchronizer.runInOwnerThread([&] { callRan = true; });
        workerReturned = true;
        synchronizer.workerFinished();
    });
    // The owner is blocked (as in a blocking pause): nothing may run yet.
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(callRan);
    EXPECT_FALSE(workerReturned);

    EXPECT_TRUE(QTest::qWaitFor([&] { return workerReturned.load(); }, 10000));
    EXPECT_TRUE(callRan);
    worker.join();
}

TEST(SynchronizerTest, ServingUntilTheEndRunsCallsWithoutEventLoop)
{
    Synchronizer synchronizer;
    synchronizer.workerStarting();
    std::vector<int> order;
    std::vector<std::thread::id> threads;

    std::thread worker([&] {
        for (int i = 0; i < 3; ++i) {
            synchronizer.runInOwnerThread([&, i] {
                order.push_back(i);
                threads.push_back(std::this_thread::get_id());
            });
        }
        synchronizer.workerFinished();
    });
    EXPECT_EQ(synchronizer.serveUntilWorkerFinished(), nullptr);
    worker.join();

    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    for (const std::thread::id &id : threads)
        EXPECT_EQ(id, std::this_thread::get_id());
}

TEST(SynchronizerTest, ServingReturnsAtOnceWhenWorkerAlreadyFinished)
{
    Synchronizer synchronizer;
    synchronizer.workerStarting();
    std::thread worker([&] { synchronizer.workerFinished(); });
    worker.join();
    EXPECT_EQ(synchronizer.serveUntilWorkerFinished(), nullptr);
}

TEST(SynchronizerTest, StoppingTheWorkerFromInsideItsCallDoesNotDeadlock)
{
    Synchronizer synchronizer;
    synchronizer.workerStarting();
    std::atomic<bool> stop{false};
    std::atomic<bool> stopped{false};
    int callsAfterStop = 0;

    std::thread worker([&] {
        while (!stop) {
            synchronizer.runInOwnerThread([&] {
                if (stop) {
                    ++callsAfterStop;
                    return;
                }
                // What a handler that closes the port does: ask the worker to
                // end and wait for it, while the worker waits for this call.
                stop = true;
                EXPECT_EQ(synchronizer.serveUntilWorkerFinished(), nullptr);
                stopped = true;
            });
        }
        synchronizer.workerFinished();
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return stopped.load(); }, 10000));
    worker.join();
    EXPECT_EQ(callsAfterStop, 0);
}

TEST(SynchronizerTest, ExceptionOfCallReachesOwnerAndFreesWorker)
{
    Synchronizer synchronizer;
    synchronizer.workerStarting();
    std::atomic<bool> workerReturned{false};

    std::thread worker([&] {
        synchronizer.runInOwnerThread([] { throw std::runtime_error("handler failed"); });
        workerReturned = true;
        synchronizer.workerFinished();
    });
    EXPECT_TRUE(runPendingUntilThrows(synchronizer));
    worker.join();
    EXPECT_TRUE(workerReturned);
}

TEST(SynchronizerTest, ServingGoesOnAfterCallThrowsAndReturnsFirstError)
{
    Synchronizer synchronizer;
    synchronizer.workerStarting();
    bool laterCallRan = false;

    std::thread worker([&] {
        synchronizer.runInOwnerThread([] { throw std::runtime_error("first"); });
        synchronizer.runInOwnerThread([] { throw std::logic_error("second"); });
        synchronizer.runInOwnerThread([&] { laterCallRan = true; });
        synchronizer.workerFinished();
    });
    const std::exception_ptr error = synchronizer.serveUntilWorkerFinished();
    worker.join();

    EXPECT_TRUE(laterCallRan);
    ASSERT_NE(error, nullptr);
    EXPECT_THROW(std::rethrow_exception(error), std::runtime_error);
}

TEST(SynchronizerTest, NextWorkerIsServedAfterAnEarlierOneEnded)
{
    Synchronizer synchronizer;
    for (int round = 0; round < 2; ++round) {
        synchronizer.workerStarting();
        std::atomic<bool> callRan{false};
        std::atomic<bool> workerReturned{false};
        std::thread worker([&] {
            // Let the owner start serving first, so an end left over from the
            // earlier worker would make it return without serving.
            std::this_thread::sleep_for(100ms);
            synchronizer.runInOwnerThread([&] { callRan = true; });
            workerReturned = true;
            synchronizer.workerFinished();
        });
        EXPECT_EQ(synchronizer.serveUntilWorkerFinished(), nullptr);
        EXPECT_TRUE(callRan) << "round " << round;
        EXPECT_TRUE(QTest::qWaitFor([&] { return workerReturned.load(); }, 10000));
        worker.join();
    }
}

} // namespace
