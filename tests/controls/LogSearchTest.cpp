#include "controls/LogSearch.h"
#include "tests/controls/NumberedLines.h"

#include <gtest/gtest.h>
#include <optional>

namespace {

using Position = LogLines::Position;

// Where a whole search from `from` ends: the occurrence, or nothing.
std::optional<Position> find(const LogLines &lines, QByteArrayView needle, Position from)
{
    LogSearch search(lines, needle, from);
    if (search.run(lines) != LogSearch::State::Found)
        return std::nullopt;
    return search.found(lines);
}

} // namespace

TEST(LogSearchTest, IgnoresCaseStaysWithinALineAndWrapsToTheTop)
{
    LogLines lines;
    lines.setLimits(1000000, qint64(1) << 30);
    lines.append("alpha CAF\xC9");
    appendNumbered(lines, 0, 99999);
    lines.append("ab");
    lines.append("cd needle");
    EXPECT_EQ(find(lines, "NEEDLE", {0, 0}), (Position{100003, 3}));
    EXPECT_EQ(find(lines, "caf\xE9", {5, 0}), (Position{1, 6})) << "wraps to the top";
    EXPECT_EQ(find(lines, "bcd", {0, 0}), std::nullopt) << "no match across a line end";
    EXPECT_EQ(find(lines, "line 5 ", {1, 0}).value_or(Position{}).line, 7);
    EXPECT_EQ(find(lines, "line", {7, 1}).value_or(Position{}).line, 8)
        << "starts after the given column";
    EXPECT_EQ(find(lines, "", {0, 0}), std::nullopt);
    EXPECT_EQ(find(lines, "absent", {0, 0}), std::nullopt);
}

TEST(LogSearchTest, FindsTheOnlyOccurrenceAgainFromItsEnd)
{
    LogLines lines;
    lines.append("one needle here");
    lines.append("other");
    EXPECT_EQ(find(lines, "needle", {1, 10}), (Position{1, 4}));
    EXPECT_EQ(find(lines, "needle", {1, 4}), (Position{1, 4}));
    EXPECT_EQ(find(lines, "NEEDLE", {2, 3}), (Position{1, 4}));
}

TEST(LogSearchTest, TinyStepsFindWhatAWholeSearchFinds)
{
    LogLines lines;
    lines.setLimits(1000000, qint64(1) << 30);
    appendNumbered(lines, 0, 4999);
    // A block of its own.
    lines.append(QByteArray((1 << 20) + 100, 'x') + "needle");
    lines.append("a needle that lies across a step");
    for (const qsizetype octets : {qsizetype(1), qsizetype(3), qsizetype(1000)}) {
        for (const Position from : {Position{0, 0}, Position{5001, 0}, Position{5002, 5}}) {
            LogSearch search(lines, "needle", from);
            int steps = 0;
            while (search.step(lines, octets) == LogSearch::State::Searching)
                ++steps;
            ASSERT_EQ(search.state(), LogSearch::State::Found);
            EXPECT_EQ(search.found(lines), find(lines, "needle", from).value())
                << octets << " " << from.line;
            EXPECT_GT(steps, 2);
        }
    }
}

TEST(LogSearchTest, GoesOnWhileLinesLeaveTheFront)
{
    LogLines lines;
    lines.setLimits(1000, qint64(1) << 30);
    appendNumbered(lines, 0, 998);
    // Starts at line 500 and has looked a little way on when the lines up
    // to there have left; it goes on from the first line kept.
    LogSearch search(lines, "needle", {500, 0});
    ASSERT_EQ(search.step(lines, 100), LogSearch::State::Searching);
    appendNumbered(lines, 1000, 1699);
    lines.append("the needle");
    appendNumbered(lines, 2000, 2009);
    ASSERT_EQ(search.run(lines), LogSearch::State::Found);
    EXPECT_EQ(search.found(lines), (Position{989, 4}));
    EXPECT_EQ(lines.line(search.found(lines).line), QByteArrayView("the needle"));
}

TEST(LogSearchTest, EndsWhenTheLinesItWouldWrapToHaveLeft)
{
    LogLines lines;
    lines.setLimits(100, qint64(1) << 30);
    lines.append("the needle");
    appendNumbered(lines, 0, 49);
    // From past the needle: it would be found after wrapping, but it has
    // left by then.
    LogSearch search(lines, "needle", {10, 0});
    ASSERT_EQ(search.step(lines, 10), LogSearch::State::Searching);
    appendNumbered(lines, 100, 199);
    EXPECT_EQ(search.run(lines), LogSearch::State::Absent);
}
