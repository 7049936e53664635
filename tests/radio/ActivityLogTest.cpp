#include "radio/ActivityLog.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
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

TEST(LogEntryTest, RadioLineEndsBreakLinesWithoutTrailingEmptyLine)
{
    EXPECT_EQ(entryLines("12:00:00.000 ms:\r\nOK\r\n"), QStringList({"12:00:00.000 ms:", "OK"}));
    EXPECT_EQ(entryLines("12:00:00.000 pc: AT\r"), QStringList({"12:00:00.000 pc: AT"}));
    EXPECT_EQ(entryLines("a\r\n\r\nb"), QStringList({"a", "", "b"}));
    EXPECT_EQ(entryLines("plain"), QStringList({"plain"}));
    EXPECT_EQ(entryLines(""), QStringList({""}));
}

TEST(LogEntryTest, OctetsAboveAsciiShowAsLatin1)
{
    const QStringList lines = entryLines(QByteArray("caf\xe9\x1a", 5));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines.first().size(), 5);
    EXPECT_EQ(lines.first().at(3), QChar(0xE9));
    EXPECT_EQ(lines.first().at(4), QChar(0x1A));
}

TEST(LogPaneTest, PaneStartsWithOneEmptyLineAndEntriesFollowIt)
{
    QPlainTextEdit pane;
    EXPECT_EQ(paneParagraphs(&pane), QStringList({""}));
    appendLogEntry(&pane, "10:00:00.000: Trying to connect to radio.");
    appendLogEntry(&pane, "10:00:00.200 ms:\r\nOK\r\n");
    EXPECT_EQ(paneParagraphs(&pane), QStringList({"", "10:00:00.000: Trying to connect to radio.",
                                                  "10:00:00.200 ms:", "OK"}));
}

TEST(LogPaneTest, SavedFileHoldsExactlyThePaneLinesWithCrLfInLatin1)
{
    QPlainTextEdit pane;
    appendLogEntry(&pane, QByteArray("10:00:00.000 pc: AT+CMGS=1,1,0,32\r82000000\x1a"));
    appendLogEntry(&pane, QByteArray("caf\xe9"));
    QTemporaryDir dir;
    const QString path = dir.filePath("log.txt");
    savePaneToFile(&pane, path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(),
              QByteArray("\r\n10:00:00.000 pc: AT+CMGS=1,1,0,32\r\n82000000\x1a\r\ncaf\xe9\r\n"));
}

TEST(LogPaneTest, SavingReplacesAnExistingFile)
{
    QPlainTextEdit pane;
    appendLogEntry(&pane, "short");
    QTemporaryDir dir;
    const QString path = dir.filePath("log.txt");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(1000, 'x'));
    }
    savePaneToFile(&pane, path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("\r\nshort\r\n"));
}

TEST(LogPaneTest, UnwritableFileRaisesAndLeavesThePaneAlone)
{
    QPlainTextEdit pane;
    appendLogEntry(&pane, "entry");
    QTemporaryDir dir;
    EXPECT_THROW(savePaneToFile(&pane, dir.filePath("missing/folder/log.txt")), std::runtime_error);
    EXPECT_EQ(paneParagraphs(&pane), QStringList({"", "entry"}));
}
