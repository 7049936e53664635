#include "radiosim/OutputSchedule.h"
#include "tests/radiosim/ByteArrayPrinter.h"

#include <gtest/gtest.h>

using radiosim::OutputSchedule;

TEST(OutputSchedule, AnswersGoOutInOrderEachNotBeforeItsTime)
{
    OutputSchedule schedule(0);
    schedule.addAnswer("a", 0);
    schedule.addAnswer("b", 100);
    schedule.addAnswer("c", 50);
    EXPECT_EQ(schedule.release(0), "a");
    EXPECT_EQ(schedule.nextDueMs(), 100);
    EXPECT_EQ(schedule.release(99), QByteArray()) << "c waits behind b";
    EXPECT_EQ(schedule.release(100), "bc");
    EXPECT_EQ(schedule.nextDueMs(), std::nullopt);
}

TEST(OutputSchedule, IndicationsWaitForAQuietLine)
{
    OutputSchedule schedule(300);
    schedule.addAnswer("answer", 0);
    EXPECT_TRUE(schedule.addIndication("first", 0));
    EXPECT_TRUE(schedule.addIndication("second", 0));
    EXPECT_EQ(schedule.release(0), "answer");
    EXPECT_EQ(schedule.nextDueMs(), 300);
    EXPECT_EQ(schedule.release(299), QByteArray());
    EXPECT_EQ(schedule.release(300), "first");
    EXPECT_EQ(schedule.release(599), QByteArray());
    EXPECT_EQ(schedule.release(600), "second");
}

TEST(OutputSchedule, IndicationsGoOutByDueTimeButNeverInsideAnAnswer)
{
    OutputSchedule schedule(0);
    EXPECT_TRUE(schedule.addIndication("late", 500));
    EXPECT_TRUE(schedule.addIndication("early", 100));
    schedule.addAnswer("half1", 0);
    schedule.addAnswer("half2", 200);
    EXPECT_EQ(schedule.release(0), "half1");
    EXPECT_EQ(schedule.release(150), QByteArray()) << "the split answer is still pending";
    EXPECT_EQ(schedule.release(200), "half2early");
    EXPECT_EQ(schedule.release(499), QByteArray());
    EXPECT_EQ(schedule.release(500), "late");
}

TEST(OutputSchedule, QueueOfIndicationsIsBounded)
{
    OutputSchedule schedule(1000);
    for (int i = 0; i < OutputSchedule::maxPendingIndications; ++i)
        ASSERT_TRUE(schedule.addIndication("x", 10));
    EXPECT_FALSE(schedule.addIndication("y", 10));
    EXPECT_EQ(schedule.pendingIndications(), OutputSchedule::maxPendingIndications);
}
