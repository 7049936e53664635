#include "controls/BackgroundRelease.h"
#include "controls/LogLines.h"

#include <gtest/gtest.h>

TEST(BackgroundReleaseTest, TheWorkerDropsTheLastHoldOnTheBlocks)
{
    LogLines lines;
    for (int i = 0; i < 1000; ++i)
        lines.append("a line of the log");
    // A copy of the block's octets, to see who else holds them.
    const QByteArray watched = lines.run(0, 1).chunk->text;
    ASSERT_FALSE(watched.isDetached());
    releaseInBackground(lines.snapshot());
    lines.removeAll();
    waitForBackgroundRelease();
    EXPECT_TRUE(watched.isDetached()) << "the snapshot handed over let go of the block";
}

TEST(BackgroundReleaseTest, WaitsForEveryHandOver)
{
    std::vector<QByteArray> watched;
    for (int round = 0; round < 50; ++round) {
        LogLines lines;
        lines.append(QByteArray(100000, char('a' + round % 26)));
        watched.push_back(lines.run(0, 1).chunk->text);
        releaseInBackground(lines.snapshot());
    }
    waitForBackgroundRelease();
    for (const QByteArray &text : watched)
        EXPECT_TRUE(text.isDetached());
}
