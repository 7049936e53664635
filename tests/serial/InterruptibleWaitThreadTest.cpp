#include "serial/InterruptibleWaitThread_linux.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <unistd.h>

namespace serial {
namespace {

using namespace std::chrono_literals;

constexpr uint32_t PatienceMs = 10000;

// A pipe whose read end blocks until the test writes a byte.
class Pipe
{
public:
    Pipe()
    {
        if (::pipe2(m_fds, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe2 failed");
    }
    ~Pipe()
    {
        ::close(m_fds[0]);
        ::close(m_fds[1]);
    }
    Pipe(const Pipe &) = delete;
    Pipe &operator=(const Pipe &) = delete;

    // Blocks in read(2) for one byte, as a call without time-out does.
    int blockingReadOfOneByte() const
    {
        char byte = 0;
        const ssize_t n = ::read(m_fds[0], &byte, 1);
        return n == 1 ? 0 : (n == 0 ? EPIPE : errno);
    }
    void writeByte() const { ASSERT_EQ(::write(m_fds[1], "x", 1), 1); }

private:
    int m_fds[2] = {-1, -1};
};

// Destroys `thread` on another thread; false when that did not end in
// time (the thread is then left behind, still blocked).
bool stopsWithinPatience(std::unique_ptr<InterruptibleWaitThread> thread)
{
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> stopped = done->get_future();
    std::thread([thread = std::move(thread), done]() mutable {
        thread.reset();
        done->set_value();
    }).detach();
    return stopped.wait_for(std::chrono::milliseconds(PatienceMs)) == std::future_status::ready;
}

TEST(InterruptibleWaitThreadTest, EachReturnOfTheCallSetsTheEvent)
{
    Pipe pipe;
    Event happened;
    std::atomic<int> calls{0};
    auto thread = std::make_unique<InterruptibleWaitThread>(
        [&] {
            ++calls;
            return pipe.blockingReadOfOneByte();
        },
        happened);
    for (int round = 1; round <= 3; ++round) {
        pipe.writeByte();
        ASSERT_EQ(happened.wait(PatienceMs), WAIT_OBJECT_0) << "round " << round;
        happened.reset();
    }
    EXPECT_EQ(thread->failure(), 0);
    EXPECT_TRUE(stopsWithinPatience(std::move(thread)));
    EXPECT_GE(calls.load(), 3);
}

TEST(InterruptibleWaitThreadTest, StopInterruptsTheBlockedCall)
{
    Pipe pipe;
    Event happened;
    Event entered;
    auto thread = std::make_unique<InterruptibleWaitThread>(
        [&] {
            entered.set();
            return pipe.blockingReadOfOneByte();
        },
        happened);
    ASSERT_EQ(entered.wait(PatienceMs), WAIT_OBJECT_0);
    EXPECT_TRUE(stopsWithinPatience(std::move(thread)))
        << "a call blocked without time-out must end on stop";
    EXPECT_FALSE(happened.isSet()) << "an interrupted call is no event";
}

// A stop that comes at any moment, also just before the call blocks, must
// end the thread.
TEST(InterruptibleWaitThreadTest, StopEndsTheThreadWhateverItWasDoing)
{
    Pipe pipe;
    Event happened;
    for (int round = 0; round < 200; ++round) {
        auto thread = std::make_unique<InterruptibleWaitThread>(
            [&] { return pipe.blockingReadOfOneByte(); }, happened);
        if (round % 2 == 0)
            std::this_thread::yield();
        ASSERT_TRUE(stopsWithinPatience(std::move(thread))) << "round " << round;
    }
}

TEST(InterruptibleWaitThreadTest, FailingCallEndsTheThreadAndSaysWhy)
{
    Event happened;
    std::atomic<int> calls{0};
    auto thread = std::make_unique<InterruptibleWaitThread>(
        [&] {
            ++calls;
            return ENOTTY;
        },
        happened);
    ASSERT_EQ(happened.wait(PatienceMs), WAIT_OBJECT_0);
    EXPECT_EQ(thread->failure(), ENOTTY);
    EXPECT_TRUE(stopsWithinPatience(std::move(thread)));
    EXPECT_EQ(calls.load(), 1) << "a call that cannot work is not tried again";
}

TEST(InterruptibleWaitThreadTest, SignalsFromOutsideLeaveTheWaitGoing)
{
    Pipe pipe;
    Event happened;
    Event called;
    std::atomic<int> calls{0};
    std::atomic<pthread_t> waiter{};
    auto thread = std::make_unique<InterruptibleWaitThread>(
        [&] {
            waiter = ::pthread_self();
            ++calls;
            called.set();
            return pipe.blockingReadOfOneByte();
        },
        happened);
    ASSERT_EQ(called.wait(PatienceMs), WAIT_OBJECT_0);
    // Someone else's interruption, until one has landed inside the call:
    // the call is made again, not given up.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (calls < 2 && thread->failure() == 0 && std::chrono::steady_clock::now() < deadline) {
        called.reset();
        ASSERT_EQ(::pthread_kill(waiter.load(), InterruptibleWaitThread::interruptSignal()), 0);
        called.wait(5);
    }
    EXPECT_EQ(thread->failure(), 0);
    EXPECT_GE(calls.load(), 2);
    EXPECT_FALSE(happened.isSet());
    pipe.writeByte();
    EXPECT_EQ(happened.wait(PatienceMs), WAIT_OBJECT_0);
    EXPECT_TRUE(stopsWithinPatience(std::move(thread)));
}

} // namespace
} // namespace serial
