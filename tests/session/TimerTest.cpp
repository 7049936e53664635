#include "session/Timer.h"

#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

TEST(TimerTest, TicksOnlyWhileEnabledWithPositiveInterval)
{
    TTimer timer;
    int ticks = 0;
    timer.OnTimer = [&] { ++ticks; };
    timer.setEnabled(false);
    timer.setInterval(10);
    QTest::qWait(60);
    EXPECT_EQ(ticks, 0);

    timer.setEnabled(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 2; }, 2000));
}

TEST(TimerTest, IntervalZeroNeverTicks)
{
    TTimer timer;
    int ticks = 0;
    timer.OnTimer = [&] { ++ticks; };
    timer.setInterval(0);
    timer.setEnabled(true);
    EXPECT_FALSE(timer.isTicking());
    QTest::qWait(100);
    EXPECT_EQ(ticks, 0);
}

TEST(TimerTest, ChangingTheIntervalRestartsThePeriod)
{
    TTimer timer(nullptr, Qt::PreciseTimer);
    int ticks = 0;
    timer.OnTimer = [&] { ++ticks; };
    timer.setInterval(300);
    QTest::qWait(200);
    QElapsedTimer clock;
    clock.start();
    timer.setInterval(301); // a new period starts now
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks == 1; }, 3000));
    EXPECT_GE(clock.elapsed(), 290);
}

TEST(TimerTest, SettingTheSameIntervalKeepsTheRunningPeriod)
{
    TTimer timer(nullptr, Qt::PreciseTimer);
    int ticks = 0;
    qint64 firstTick = -1;
    QElapsedTimer clock;
    timer.OnTimer = [&] {
        if (ticks++ == 0)
            firstTick = clock.elapsed();
    };
    clock.start();
    timer.setInterval(400);
    QTest::qWait(250);
    timer.setInterval(400);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 1; }, 3000));
    // Restarting would have pushed the first tick to about 650 ms.
    EXPECT_LT(firstTick, 600);
}
