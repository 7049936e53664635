#include "controls/LogLines.h"

#include <gtest/gtest.h>

namespace {

QByteArray numbered(int i)
{
    return "line " + QByteArray::number(i) + " of the log";
}

} // namespace

TEST(LogLinesTest, StartsWithOneEmptyLineAndKeepsEveryAppendInOrder)
{
    LogLines lines;
    ASSERT_EQ(lines.count(), 1);
    EXPECT_TRUE(lines.line(0).isEmpty());
    // Enough to fill several chunks.
    for (int i = 1; i <= 200000; ++i)
        lines.append(numbered(i));
    ASSERT_EQ(lines.count(), 200001);
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
    lines.append("x");
    lines.clear();
    ASSERT_EQ(lines.count(), 1);
    EXPECT_TRUE(lines.line(0).isEmpty());
    EXPECT_EQ(lines.longestLength(), 0);
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

TEST(LogLinesTest, FindIgnoresCaseStaysWithinALineAndWrapsToTheTop)
{
    LogLines lines;
    lines.append("alpha CAF\xC9");
    for (int i = 0; i < 100000; ++i)
        lines.append(numbered(i));
    lines.append("ab");
    lines.append("cd needle");
    LogLines::Position found;
    ASSERT_TRUE(lines.find("NEEDLE", {0, 0}, found));
    EXPECT_EQ(found, (LogLines::Position{100003, 3}));
    ASSERT_TRUE(lines.find("caf\xE9", {5, 0}, found)) << "wraps to the top";
    EXPECT_EQ(found, (LogLines::Position{1, 6}));
    EXPECT_FALSE(lines.find("bcd", {0, 0}, found)) << "no match across a line end";
    ASSERT_TRUE(lines.find("line 5 ", {1, 0}, found));
    EXPECT_EQ(found.line, 7);
    ASSERT_TRUE(lines.find("line", {7, 1}, found)) << "starts after the given column";
    EXPECT_EQ(found.line, 8);
    EXPECT_FALSE(lines.find("", {0, 0}, found));
    EXPECT_FALSE(lines.find("absent", {0, 0}, found));
}

TEST(LogLinesTest, HoldsLittleMoreThanTheOctetsOfItsLines)
{
    LogLines lines;
    const int count = 100000;
    for (int i = 0; i < count; ++i)
        lines.append(QByteArray(40, 'x'));
    // 40 octets and an 8-octet start per line, the index growing by doubling,
    // the last chunk not full.
    EXPECT_LT(lines.bytesHeld(), std::size_t(count) * (40 + 16) + (1 << 20));
}
