#include "session/TimeStamp.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

TEST(TimeStampTest, PadsEveryFieldToItsWidth)
{
    EXPECT_EQ(formatTimeStamp(QTime(0, 0, 0, 0)), "00:00:00.000");
    EXPECT_EQ(formatTimeStamp(QTime(0, 0, 0, 7)), "00:00:00.007");
    EXPECT_EQ(formatTimeStamp(QTime(0, 0, 0, 45)), "00:00:00.045");
    EXPECT_EQ(formatTimeStamp(QTime(9, 5, 7, 42)), "09:05:07.042");
    EXPECT_EQ(formatTimeStamp(QTime(23, 59, 59, 999)), "23:59:59.999");
}

TEST(TimeStampTest, CurrentTimeHasTheShapeAndIsNow)
{
    const QTime before = QTime::currentTime();
    const QString stamp = currentTimeStamp();
    EXPECT_TRUE(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d$").match(stamp).hasMatch())
        << stamp.toStdString();
    const QTime parsed = QTime::fromString(stamp, "HH:mm:ss.zzz");
    ASSERT_TRUE(parsed.isValid());
    // Allow for a midnight roll-over between the two readings.
    const int diff = (before.msecsTo(parsed) + 86400000) % 86400000;
    EXPECT_LT(diff, 2000);
}
