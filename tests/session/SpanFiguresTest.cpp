// The figures kept as each time comes are those of sorting every time.
#include "session/SpanFigures.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace {

qint64 nearestRank(std::vector<qint64> values, int percent)
{
    std::sort(values.begin(), values.end());
    const qint64 rank = std::max<qint64>(1, (percent * qint64(values.size()) + 99) / 100);
    return values[std::size_t(rank - 1)];
}

TEST(SpanFiguresTest, EachAddedTimeKeepsTheFiguresOfTheSortedSet)
{
    std::mt19937 random(7);
    for (int trial = 0; trial < 200; ++trial) {
        SpanFigures figures;
        std::vector<qint64> times;
        // Few distinct values, so that runs of equal times cross the ranks.
        const int spread = 1 + int(random() % 40);
        const int count = 1 + int(random() % 300);
        for (int i = 0; i < count; ++i) {
            const qint64 ms = 100 + qint64(random() % unsigned(spread));
            figures.add(ms);
            times.push_back(ms);
            ASSERT_EQ(figures.median(), nearestRank(times, 50)) << "trial " << trial << " n " << i;
            ASSERT_EQ(figures.p95(), nearestRank(times, 95)) << "trial " << trial << " n " << i;
        }
        const std::optional<TimeFigures> all = figures.figures();
        ASSERT_TRUE(all);
        EXPECT_EQ(all->samples, count);
        EXPECT_EQ(all->minMs, *std::min_element(times.begin(), times.end()));
        EXPECT_EQ(all->maxMs, *std::max_element(times.begin(), times.end()));
    }
}

TEST(SpanFiguresTest, AnEmptyOrClearedSetHasNoFigures)
{
    SpanFigures figures;
    EXPECT_FALSE(figures.figures());
    figures.add(5);
    figures.clear();
    EXPECT_FALSE(figures.figures());
    figures.add(9);
    EXPECT_EQ(figures.figures()->medianMs, 9);
}

} // namespace
