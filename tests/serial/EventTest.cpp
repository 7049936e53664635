#include "serial/Event.h"

#include <chrono>
#include <gtest/gtest.h>
#include <poll.h>
#include <thread>

namespace {

using namespace std::chrono_literals;

TEST(Event, StaysSetUntilReset)
{
    serial::Event event;
    EXPECT_FALSE(event.isSet());
    EXPECT_EQ(event.wait(0), serial::WAIT_TIMEOUT);
    event.set();
    event.set();
    EXPECT_EQ(event.wait(0), serial::WAIT_OBJECT_0);
    EXPECT_EQ(event.wait(serial::INFINITE), serial::WAIT_OBJECT_0);
    event.reset();
    EXPECT_FALSE(event.isSet());
    event.reset();
    EXPECT_FALSE(event.isSet());
}

TEST(Event, CanStartSet)
{
    serial::Event event(true);
    EXPECT_TRUE(event.isSet());
}

TEST(Event, TimedWaitLastsItsTime)
{
    serial::Event event;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(event.wait(50), serial::WAIT_TIMEOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);
}

TEST(Event, WakesAWaiterInAnotherThread)
{
    serial::Event event;
    std::thread setter([&] {
        std::this_thread::sleep_for(20ms);
        event.set();
    });
    EXPECT_EQ(event.wait(10000), serial::WAIT_OBJECT_0);
    setter.join();
}

bool pollsReadable(const serial::Event &event)
{
    pollfd target{event.fd(), POLLIN, 0};
    return ::poll(&target, 1, 0) == 1 && (target.revents & POLLIN);
}

TEST(Event, DescriptorPollsReadableWhileSet)
{
    serial::Event event;
    EXPECT_FALSE(pollsReadable(event));
    event.set();
    EXPECT_TRUE(pollsReadable(event));
    EXPECT_TRUE(pollsReadable(event)) << "polling must not reset the event";
    event.reset();
    EXPECT_FALSE(pollsReadable(event));
}

} // namespace
