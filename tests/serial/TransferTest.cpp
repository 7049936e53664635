#include "serial/Transfer_linux.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using serial::CommTimeouts;
using serial::MAXDWORD;
using serial::ReadTimer;
using serial::SteadyClock;

CommTimeouts readTimeouts(uint32_t interval, uint32_t multiplier, uint32_t constant)
{
    CommTimeouts t;
    t.ReadIntervalTimeout = interval;
    t.ReadTotalTimeoutMultiplier = multiplier;
    t.ReadTotalTimeoutConstant = constant;
    return t;
}

const SteadyClock::time_point kStart = SteadyClock::now();

TEST(ReadTimer, IntervalMaxWithoutTotalsReturnsAtOnce)
{
    const ReadTimer timer(readTimeouts(MAXDWORD, 0, 0), 100, kStart);
    EXPECT_TRUE(timer.completeWith(0));
    EXPECT_TRUE(timer.completeWith(30));
}

TEST(ReadTimer, NoTimeoutsWaitForTheWholeCount)
{
    const ReadTimer timer(readTimeouts(0, 0, 0), 10, kStart);
    EXPECT_FALSE(timer.completeWith(0));
    EXPECT_FALSE(timer.completeWith(9));
    EXPECT_TRUE(timer.completeWith(10));
    EXPECT_EQ(timer.waitMs(kStart + 1h, 9, kStart), -1);
}

TEST(ReadTimer, TotalTimeoutIsMultiplierTimesCountPlusConstant)
{
    const ReadTimer timer(readTimeouts(0, 10, 50), 5, kStart);
    EXPECT_EQ(timer.waitMs(kStart, 0, kStart), 100);
    EXPECT_EQ(timer.waitMs(kStart + 60ms, 3, kStart), 40);
    EXPECT_EQ(timer.waitMs(kStart + 100ms, 3, kStart), 0);
    EXPECT_EQ(timer.waitMs(kStart + 150ms, 3, kStart), 0);
}

TEST(ReadTimer, IntervalRunsOnlyAfterTheFirstByte)
{
    const ReadTimer timer(readTimeouts(20, 0, 0), 5, kStart);
    EXPECT_EQ(timer.waitMs(kStart + 1h, 0, kStart), -1);
    const auto lastByte = kStart + 1h;
    EXPECT_EQ(timer.waitMs(lastByte + 5ms, 1, lastByte), 15);
    EXPECT_EQ(timer.waitMs(lastByte + 25ms, 1, lastByte), 0);
}

TEST(ReadTimer, IntervalAndTotalTakeTheEarlier)
{
    const ReadTimer timer(readTimeouts(30, 0, 100), 5, kStart);
    EXPECT_EQ(timer.waitMs(kStart + 10ms, 2, kStart + 5ms), 25);
    EXPECT_EQ(timer.waitMs(kStart + 90ms, 2, kStart + 85ms), 10);
}

TEST(ReadTimer, IntervalAndMultiplierMaxWaitForTheFirstBytesOnly)
{
    const ReadTimer timer(readTimeouts(MAXDWORD, MAXDWORD, 200), 50, kStart);
    EXPECT_FALSE(timer.completeWith(0));
    EXPECT_TRUE(timer.completeWith(1));
    EXPECT_EQ(timer.waitMs(kStart + 50ms, 0, kStart), 150);
    EXPECT_EQ(timer.waitMs(kStart + 250ms, 0, kStart), 0);
}

TEST(ReadTimer, LargeTotalsDoNotOverflow)
{
    const int64_t aYear = int64_t(365) * 24 * 3600 * 1000;
    const ReadTimer timer(readTimeouts(0, MAXDWORD, MAXDWORD), MAXDWORD, kStart);
    EXPECT_GT(timer.waitMs(kStart, 0, kStart), aYear);
    EXPECT_GT(timer.waitMs(kStart + 1h, 0, kStart), aYear);
}

} // namespace
