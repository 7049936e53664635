#include "controls/LogLines.h"

#include "tests/controls/NumberedLines.h"

#include <gtest/gtest.h>

TEST(LogLinesTest, StartsWithOneEmptyLineAndKeepsEveryAppendInOrder)
{
    LogLines lines;
    lines.setLimits(1000000, qint64(1) << 30);
    ASSERT_EQ(lines.count(), 1);
    EXPECT_TRUE(lines.line(0).isEmpty());
    // Enough to fill several blocks.
    appendNumbered(lines, 1, 200000);
    ASSERT_EQ(lines.count(), 200001);
    EXPECT_EQ(lines.droppedCount(), 0);
    for (int i = 1; i <= 200000; ++i)
        ASSERT_EQ(lines.line(i), numbered(i)) << i;
    EXPECT_EQ(lines.longestLength(), numbered(200000).size());
}

TEST(LogLinesTest, EmptyAndHugeLinesKeepTheirPlace)
{
    LogLines lines;
    const QByteArray huge(3 << 20, 'h');
    lines.append("a");
    lines.append("");
    lines.append(huge);
    lines.append("");
    lines.append("b");
    ASSERT_EQ(lines.count(), 6);
    EXPECT_EQ(lines.line(1), QByteArrayView("a"));
    EXPECT_TRUE(lines.line(2).isEmpty());
    EXPECT_EQ(lines.line(3), huge);
    EXPECT_TRUE(lines.line(4).isEmpty());
    EXPECT_EQ(lines.line(5), QByteArrayView("b"));
    EXPECT_EQ(lines.longestLength(), huge.size());
}

TEST(LogLinesTest, ClearLeavesOneEmptyLineAndRemoveAllNone)
{
    LogLines lines;
    lines.setLimits(2, 1000);
    for (int i = 0; i < 5; ++i)
        lines.append("x");
    ASSERT_GT(lines.droppedCount(), 0);
    lines.clear();
    ASSERT_EQ(lines.count(), 1);
    EXPECT_TRUE(lines.line(0).isEmpty());
    EXPECT_EQ(lines.longestLength(), 0);
    EXPECT_EQ(lines.droppedCount(), 0);
    EXPECT_EQ(lines.textBytes(), 0);
    EXPECT_EQ(lines.maxLines(), 2) << "the limits outlast a clear";
    lines.removeAll();
    EXPECT_EQ(lines.count(), 0);
}

TEST(LogLinesTest, TextRunsBetweenTwoPositionsWithLineBreaks)
{
    LogLines lines;
    lines.append("first");
    lines.append("second");
    lines.append("third");
    EXPECT_EQ(lines.text({1, 2}, {3, 3}), QByteArray("rst\nsecond\nthi"));
    EXPECT_EQ(lines.text({2, 0}, {2, 6}), QByteArray("second"));
    EXPECT_EQ(lines.text({0, 0}, {1, 99}), QByteArray("\nfirst"));
}

TEST(LogLinesTest, HoldsLittleMoreThanTheOctetsOfItsLines)
{
    LogLines lines;
    const int count = 100000;
    for (int i = 0; i < count; ++i)
        lines.append(QByteArray(40, 'x'));
    // 40 octets and a 4-octet start per line, the index of the last block
    // growing by doubling, the last block not full.
    EXPECT_LT(lines.bytesHeld(), std::size_t(count) * (40 + 4) + (2 << 20));
}

TEST(LogLinesTest, KeepsTheDefaultNumberOfLinesAndOctets)
{
    LogLines lines;
    EXPECT_EQ(lines.maxLines(), 100000);
    EXPECT_EQ(lines.maxBytes(), 32 << 20);
    appendNumbered(lines, 1, 100500);
    EXPECT_EQ(lines.count(), 100000);
    EXPECT_EQ(lines.droppedCount(), 501);
    EXPECT_EQ(lines.line(0), numbered(501));
}

TEST(LogLinesTest, LinesLeaveTheFrontBeyondTheLineLimit)
{
    LogLines lines;
    lines.setLimits(1000, qint64(1) << 30);
    appendNumbered(lines, 1, 300000);
    ASSERT_EQ(lines.count(), 1000);
    // The empty first line and the numbered ones before the last thousand.
    EXPECT_EQ(lines.droppedCount(), 300001 - 1000);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(lines.line(i), numbered(299001 + i)) << i;
    qint64 octets = 0;
    for (int i = 0; i < 1000; ++i)
        octets += lines.length(i);
    EXPECT_EQ(lines.textBytes(), octets);
    // What has left is let go a block at a time: the lines kept, the block
    // the first of them is in and the one being filled.
    EXPECT_LT(lines.bytesHeld(), std::size_t(octets) + (3 << 20));
}

TEST(LogLinesTest, LinesLeaveTheFrontBeyondTheOctetLimit)
{
    LogLines lines;
    lines.setLimits(1000000, 10000);
    for (int i = 0; i < 5000; ++i)
        lines.append(QByteArray(100, char('a' + i % 26)));
    EXPECT_EQ(lines.count(), 100);
    EXPECT_EQ(lines.textBytes(), 10000);
    EXPECT_EQ(lines.line(99), QByteArray(100, char('a' + 4999 % 26)));
    EXPECT_EQ(lines.line(0), QByteArray(100, char('a' + 4900 % 26)));
}

TEST(LogLinesTest, TheLastLineStaysEvenWhenLongerThanTheOctetLimit)
{
    LogLines lines;
    lines.setLimits(1000, 50);
    lines.append("short");
    const QByteArray longer(200, 'l');
    lines.append(longer);
    ASSERT_EQ(lines.count(), 1);
    EXPECT_EQ(lines.line(0), longer);
    lines.append("next");
    ASSERT_EQ(lines.count(), 1);
    EXPECT_EQ(lines.line(0), QByteArrayView("next"));
    EXPECT_EQ(lines.droppedCount(), 3);
}

TEST(LogLinesTest, LowerLimitsApplyAtOnce)
{
    LogLines lines;
    appendNumbered(lines, 1, 5000);
    lines.setLimits(10, qint64(1) << 20);
    ASSERT_EQ(lines.count(), 10);
    EXPECT_EQ(lines.line(0), numbered(4991));
    lines.setLimits(10, numbered(5000).size() * 3);
    ASSERT_EQ(lines.count(), 3);
    EXPECT_EQ(lines.line(0), numbered(4998));
    lines.setLimits(0, 0);
    EXPECT_EQ(lines.maxLines(), 1) << "a limit below one line is one line";
    EXPECT_EQ(lines.count(), 1);
}

TEST(LogLinesTest, TheLongestLengthFallsWhenItsBlockLeaves)
{
    LogLines lines;
    lines.setLimits(1000, qint64(1) << 30);
    lines.append(QByteArray(5000, 'w'));
    for (int i = 0; i < 1000; ++i)
        lines.append("short");
    // The long line has left, but its block has not: it still counts.
    EXPECT_EQ(lines.longestLength(), 5000);
    for (int i = 0; i < 300000; ++i)
        lines.append("short");
    EXPECT_EQ(lines.longestLength(), 5);
}

TEST(LogLinesTest, ClearGivesTheMemoryBack)
{
    LogLines lines;
    lines.setLimits(1000000, qint64(1) << 30);
    appendNumbered(lines, 0, 999999);
    ASSERT_GT(lines.bytesHeld(), std::size_t(20) << 20);
    lines.clear();
    EXPECT_LT(lines.bytesHeld(), std::size_t(1024));
}

TEST(LogLinesTest, TheBlocksLetGoAreHandedToTheCaller)
{
    LogLines lines;
    lines.setLimits(1000000, qint64(1) << 30);
    appendNumbered(lines, 1, 300000);
    const std::size_t before = lines.bytesHeld();
    const std::vector<LogChunk> trimmed = lines.setLimits(10, qint64(1) << 30);
    ASSERT_GT(trimmed.size(), 3u);
    std::size_t handed = 0;
    for (const LogChunk &chunk : trimmed)
        handed += chunk.bytesHeld();
    EXPECT_EQ(lines.bytesHeld() + handed, before) << "every block kept or handed over";
    EXPECT_EQ(trimmed.front().line(1), numbered(1));
    EXPECT_EQ(lines.line(9), numbered(300000));

    const std::vector<LogChunk> rest = lines.takeAll();
    ASSERT_FALSE(rest.empty());
    EXPECT_EQ(rest.back().line(rest.back().count() - 1), numbered(300000));
    EXPECT_EQ(lines.count(), 0);
    EXPECT_EQ(lines.bytesHeld(), 0u);
}

TEST(LogLinesTest, RunsHoldTheLinesOfOneBlock)
{
    LogLines lines;
    lines.setLimits(1000000, qint64(1) << 30);
    appendNumbered(lines, 1, 100000);
    int covered = 0;
    while (covered < lines.count()) {
        const LogLines::Run run = lines.run(covered, lines.count());
        ASSERT_GT(run.count, 0);
        for (int k = 0; k < run.count; ++k)
            ASSERT_EQ(run.chunk->line(run.index + k), lines.line(covered + k)) << covered + k;
        covered += run.count;
    }
    EXPECT_EQ(covered, lines.count());
    EXPECT_EQ(lines.run(10, 15).count, 5) << "a run ends where asked";
}
