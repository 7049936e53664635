#include "window/ActivityLog.h"

#include "controls/LogView.h"
#include "files/FileError.h"
#include "tests/files/SmallTmpfs.h"
#include "tests/formstate/TestFiles.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <gtest/gtest.h>

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
    LogView pane;
    EXPECT_EQ(paneParagraphs(&pane), QStringList({""}));
    appendLogEntry(&pane, "10:00:00.000: Trying to connect to radio.");
    appendLogEntry(&pane, "10:00:00.200 ms:\r\nOK\r\n");
    EXPECT_EQ(paneParagraphs(&pane), QStringList({"", "10:00:00.000: Trying to connect to radio.",
                                                  "10:00:00.200 ms:", "OK"}));
}

TEST(LogPaneTest, SavedFileHoldsExactlyThePaneLinesWithCrLfInLatin1)
{
    LogView pane;
    appendLogEntry(&pane, QByteArray("10:00:00.000 pc: AT+CMGS=1,1,0,32\r82000000\x1a"));
    appendLogEntry(&pane, QByteArray("caf\xe9"));
    QTemporaryDir dir;
    const QString path = dir.filePath("log.txt");
    savePaneToFile(pane.snapshot(), path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(),
              QByteArray("\r\n10:00:00.000 pc: AT+CMGS=1,1,0,32\r\n82000000\x1a\r\ncaf\xe9\r\n"));
}

TEST(LogPaneTest, SavingReplacesAnExistingFile)
{
    LogView pane;
    appendLogEntry(&pane, "short");
    QTemporaryDir dir;
    const QString path = dir.filePath("log.txt");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(1000, 'x'));
    }
    savePaneToFile(pane.snapshot(), path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("\r\nshort\r\n"));
}

TEST(LogPaneTest, UnwritableFileRaisesAndLeavesThePaneAlone)
{
    LogView pane;
    appendLogEntry(&pane, "entry");
    QTemporaryDir dir;
    const QString path = dir.filePath("missing/folder/log.txt");
    try {
        savePaneToFile(pane.snapshot(), path);
        ADD_FAILURE() << "a file in a missing folder was saved";
    } catch (const files::FileError &error) {
        EXPECT_EQ(error.message(),
                  "Cannot write file \"" + path + "\": " + files::systemReason(ENOENT));
    }
    EXPECT_EQ(paneParagraphs(&pane), QStringList({"", "entry"}));
}

TEST(LogPaneTest, SaveOntoAFullDiskGivesTheReasonAndKeepsTheEarlierFile)
{
    const SmallTmpfs disk;
    if (!disk.skipReason().isEmpty())
        GTEST_SKIP() << qPrintable(disk.skipReason());
    const QString path = disk.filePath("log.txt");
    LogView earlier;
    appendLogEntry(&earlier, "earlier");
    savePaneToFile(earlier.snapshot(), path);
    ASSERT_EQ(fileContent(path), QByteArray("\r\nearlier\r\n"));

    LogView pane;
    appendLogEntry(&pane, "later");
    ASSERT_GT(disk.fill("filler"), 0);
    try {
        savePaneToFile(pane.snapshot(), path);
        ADD_FAILURE() << "the save onto a full disk reported success";
    } catch (const files::FileError &error) {
        EXPECT_EQ(error.message(),
                  "Cannot write file \"" + path + "\": " + files::systemReason(ENOSPC));
    }
    EXPECT_EQ(fileContent(path), QByteArray("\r\nearlier\r\n"));
}

namespace {

QByteArray savedBytes(const LogView &pane)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("log.txt");
    savePaneToFile(pane.snapshot(), path);
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// The panes used to be plain text editors; a log saved from the same entries
// must come out octet for octet as it did from them.
TEST(LogPaneTest, SavedFileIsTheSameAsFromAPlainTextPaneWithTheSameEntries)
{
    QByteArray everyOctet;
    for (int c = 1; c < 256; ++c)
        everyOctet += char(c);
    const QList<QByteArray> entries = {
        "10:00:00.000 pc: AT\r",
        "10:00:00.200 ms:\r\nOK\r\n",
        QByteArray("10:00:01.000 pc: AT+CMGS=1,1,0,32\r82000000\x1a"),
        "tab\there, blank at end ",
        "\r\n\r\n",
        "",
        everyOctet,
    };
    LogView pane;
    QPlainTextEdit plain;
    for (const QByteArray &entry : entries) {
        appendLogEntry(&pane, entry);
        QTextCursor cursor(plain.document());
        cursor.movePosition(QTextCursor::End);
        for (const QString &line : entryLines(entry)) {
            cursor.insertBlock();
            cursor.insertText(line);
        }
    }
    QByteArray expected;
    for (QTextBlock block = plain.document()->begin(); block.isValid(); block = block.next())
        expected += block.text().toLatin1() + "\r\n";
    EXPECT_EQ(savedBytes(pane), expected);
}

TEST(LogPaneTest, AMegabyteLineIsKeptWhole)
{
    LogView pane;
    QByteArray big(1 << 20, 'x');
    big[0] = 'a';
    big[big.size() - 1] = 'z';
    appendLogEntry(&pane, "before");
    appendLogEntry(&pane, "10:00:00.000 ms:" + big);
    appendLogEntry(&pane, "after");
    ASSERT_EQ(pane.lineCount(), 4);
    EXPECT_EQ(pane.line(2).size(), 16 + big.size());
    EXPECT_TRUE(pane.line(2).endsWith("xz"));
    EXPECT_EQ(pane.line(3), QByteArrayView("after"));
}
