#include "controls/LogLines.h"

#include "tests/controls/NumberedLines.h"
#include <atomic>

#include <gtest/gtest.h>
#include <thread>

namespace {

// The octets a save of the lines wrote before snapshots: every line and
// CR LF after it, in one buffer.
QByteArray savedBytes(const LogLines &lines)
{
    QByteArray bytes;
    for (int i = 0; i < lines.count(); ++i) {
        bytes.append(lines.line(i));
        bytes.append("\r\n");
    }
    return bytes;
}

struct Written
{
    QByteArray bytes;
    int pieces = 0;
    qsizetype largestPiece = 0;
};

Written written(const LogSnapshot &snapshot)
{
    Written result;
    const bool complete = snapshot.write([&](QByteArrayView piece) {
        result.bytes.append(piece);
        ++result.pieces;
        result.largestPiece = std::max(result.largestPiece, piece.size());
        return true;
    });
    EXPECT_TRUE(complete);
    return result;
}

// Where two octet strings first differ, -1 when they are equal; keeps a
// failure's message short for strings of many megabytes.
qsizetype firstDifference(const QByteArray &a, const QByteArray &b)
{
    const qsizetype common = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < common; ++i) {
        if (a[i] != b[i])
            return i;
    }
    return a.size() == b.size() ? -1 : common;
}

} // namespace

TEST(LogSnapshotTest, WritesTheOctetsOfASaveInPieces)
{
    LogLines lines;
    lines.setLimits(150000, qint64(1) << 30);
    for (int i = 1; i <= 200000; ++i)
        lines.append(i % 1000 == 0 ? QByteArray() : numbered(i));
    lines.append("\x01\xFF latin-1 \xE9");
    ASSERT_GT(lines.droppedCount(), 0) << "the first block partly gone";
    const LogSnapshot snapshot = lines.snapshot();
    EXPECT_EQ(snapshot.lineCount(), lines.count());
    const Written out = written(snapshot);
    EXPECT_EQ(firstDifference(out.bytes, savedBytes(lines)), -1);
    EXPECT_LE(out.largestPiece, LogSnapshot::PieceSize);
    EXPECT_GT(out.pieces, 40) << "not one buffer of the whole";
}

TEST(LogSnapshotTest, ALineLongerThanAPieceComesAlone)
{
    LogLines lines;
    const QByteArray huge(3 * LogSnapshot::PieceSize, 'h');
    lines.append("before");
    lines.append(huge);
    lines.append("after");
    std::vector<QByteArray> pieces;
    ASSERT_TRUE(lines.snapshot().write([&](QByteArrayView piece) {
        pieces.push_back(piece.toByteArray());
        return true;
    }));
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[0], QByteArray("\r\nbefore\r\n"));
    EXPECT_EQ(pieces[1], huge);
    EXPECT_EQ(pieces[2], QByteArray("\r\nafter\r\n"));
}

TEST(LogSnapshotTest, StopsAtThePieceRefused)
{
    LogLines lines;
    appendNumbered(lines, 0, 49999);
    int offered = 0;
    EXPECT_FALSE(lines.snapshot().write([&](QByteArrayView) { return ++offered < 3; }));
    EXPECT_EQ(offered, 3);
}

TEST(LogSnapshotTest, StaysAsTakenWhileTheLogAppendsAndLetsLinesGo)
{
    LogLines lines;
    lines.setLimits(50000, qint64(1) << 30);
    appendNumbered(lines, 1, 60000);
    const QByteArray expected = savedBytes(lines);
    const LogSnapshot snapshot = lines.snapshot();
    // Every line of the snapshot leaves the log, the block being filled
    // when it was taken included.
    appendNumbered(lines, 60001, 200000);
    lines.setLimits(10, 1000);
    ASSERT_EQ(lines.line(0), numbered(199991));
    EXPECT_EQ(firstDifference(written(snapshot).bytes, expected), -1);
    lines.clear();
    EXPECT_EQ(firstDifference(written(snapshot).bytes, expected), -1);
}

TEST(LogSnapshotTest, IsWrittenOnAnotherThreadWhileTheLogGoesOn)
{
    LogLines lines;
    lines.setLimits(100000, qint64(1) << 30);
    appendNumbered(lines, 1, 150000);
    const QByteArray expected = savedBytes(lines);
    const LogSnapshot snapshot = lines.snapshot();

    std::atomic<int> batches{0};
    std::atomic<bool> done{false};
    QByteArray out;
    std::thread writer([&] {
        snapshot.write([&](QByteArrayView piece) {
            // Past the first piece only once every line of the snapshot
            // has left the log.
            while (batches < 120)
                std::this_thread::yield();
            out.append(piece);
            return true;
        });
        done = true;
    });
    // The log appends and trims, also taking new snapshots, until the
    // writer is through.
    int next = 150001;
    while (!done) {
        for (int i = 0; i < 1000; ++i)
            lines.append(numbered(next++));
        const LogSnapshot later = lines.snapshot();
        EXPECT_EQ(later.lineCount(), 100000);
        ++batches;
    }
    writer.join();
    EXPECT_GE(batches, 120);
    EXPECT_EQ(firstDifference(out, expected), -1);
}

TEST(LogSnapshotTest, AnEmptySnapshotWritesNothing)
{
    int pieces = 0;
    EXPECT_TRUE(LogSnapshot().write([&](QByteArrayView) { return ++pieces > 0; }));
    EXPECT_EQ(pieces, 0);
    EXPECT_EQ(LogSnapshot().lineCount(), 0);
}
