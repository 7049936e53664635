#include "files/DailyLog.h"

#include "tests/files/FolderListing.h"
#include "tests/files/PrintText.h"
#include "tests/files/SmallTmpfs.h"
#include "tests/formstate/TestFiles.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>

using files::DailyLog;

namespace {

const QDate FirstDay(2026, 12, 8);

// The reports of a log, which arrive on its own thread.
class Reports
{
public:
    DailyLog::Report receiver()
    {
        return [this](const QString &text) {
            {
                const std::lock_guard<std::mutex> lock(m_mutex);
                m_texts += text;
            }
            m_changed.notify_all();
        };
    }
    QStringList texts() const
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_texts;
    }
    // Waits until a report holds the text; false after a generous deadline.
    bool waitFor(const QString &part)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(60), [&] {
            return std::any_of(m_texts.cbegin(), m_texts.cend(),
                               [&](const QString &text) { return text.contains(part); });
        });
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    QStringList m_texts;
};

// A clock that the test turns.
class TestClock
{
public:
    DailyLog::Clock clock()
    {
        return [this] { return QDate::fromJulianDay(m_day.load()); };
    }
    void set(const QDate &day) { m_day = day.toJulianDay(); }

private:
    std::atomic<qint64> m_day{FirstDay.toJulianDay()};
};

QByteArray lineNumber(int i)
{
    // Lengths vary, and octets above 127 pass as they are.
    return "line " + QByteArray::number(i) + ' ' + QByteArray(i % 23, char(0xE0 + i % 16));
}

QByteArray asWritten(const QList<QByteArray> &lines)
{
    QByteArray text;
    for (const QByteArray &line : lines)
        text += line + "\r\n";
    return text;
}

QString reasonOf(int errorNumber)
{
    return QString::fromLocal8Bit(std::strerror(errorNumber));
}

class DailyLogTest : public ::testing::Test
{
protected:
    DailyLog::Settings settings(const QString &pane = "messages") const
    {
        DailyLog::Settings chosen;
        chosen.folder = m_dir.filePath("logs");
        chosen.pane = pane;
        chosen.retryInterval = std::chrono::milliseconds(1);
        return chosen;
    }
    QString logFolder() const { return m_dir.filePath("logs"); }
    QByteArray contentOf(const QString &name) const
    {
        return fileContent(logFolder() + '/' + name);
    }
    QString dirPath(const QString &name) const { return m_dir.filePath(name); }

    TestClock day;
    Reports reports;

private:
    QTemporaryDir m_dir;
};

TEST_F(DailyLogTest, WritesEveryLineInOrderAcrossRotationsAndADayChange)
{
    DailyLog::Settings chosen = settings();
    chosen.rotateSize = 300;
    DailyLog log(chosen, reports.receiver(), day.clock());
    QList<QByteArray> firstDay;
    QList<QByteArray> secondDay;
    for (int i = 0; i < 60; ++i) {
        firstDay += lineNumber(i);
        log.append(firstDay.last());
    }
    const QByteArray longLine(500, 'L');
    firstDay += longLine;
    log.append(longLine);
    day.set(FirstDay.addDays(1));
    for (int i = 60; i < 100; ++i) {
        secondDay += lineNumber(i);
        log.append(secondDay.last());
    }
    log.close();
    EXPECT_TRUE(reports.texts().isEmpty()) << qPrintable(reports.texts().join('\n'));

    const QStringList names = namesIn(logFolder());
    QByteArray firstText;
    QByteArray secondText;
    for (const QString &name : names) {
        const QByteArray content = contentOf(name);
        EXPECT_TRUE(content.endsWith("\r\n")) << qPrintable(name);
        if (content != longLine + "\r\n") {
            EXPECT_LE(content.size(), chosen.rotateSize) << qPrintable(name);
        }
        if (name.startsWith("messages-2026-12-08"))
            firstText += content;
        else if (name.startsWith("messages-2026-12-09"))
            secondText += content;
        else
            ADD_FAILURE() << "unexpected file " << qPrintable(name);
    }
    EXPECT_EQ(firstText, asWritten(firstDay));
    EXPECT_EQ(secondText, asWritten(secondDay));
    EXPECT_EQ(names.first(), "messages-2026-12-08.log");
    EXPECT_TRUE(names.contains("messages-2026-12-08_002.log"));
    EXPECT_TRUE(names.contains("messages-2026-12-09.log"));
    EXPECT_GT(names.size(), 6);
}

TEST_F(DailyLogTest, GoesOnInTheLastFileOfTheDayAfterARestart)
{
    DailyLog::Settings chosen = settings("pei");
    chosen.rotateSize = 200;
    QList<QByteArray> lines;
    for (int run = 0; run < 2; ++run) {
        DailyLog log(chosen, reports.receiver(), day.clock());
        for (int i = 0; i < 15; ++i) {
            lines += lineNumber(run * 100 + i);
            log.append(lines.last());
        }
    }
    QByteArray text;
    for (const QString &name : namesIn(logFolder()))
        text += contentOf(name);
    EXPECT_EQ(text, asWritten(lines));
}

TEST_F(DailyLogTest, RemovesThePanesFilesOlderThanThirtyDays)
{
    ASSERT_TRUE(QDir().mkpath(logFolder()));
    const auto logName = [](const QString &pane, int daysBack, const QString &part = {}) {
        return pane + '-' + FirstDay.addDays(-daysBack).toString("yyyy-MM-dd") + part + ".log";
    };
    const QStringList old{logName("messages", 31), logName("messages", 31, "_002"),
                          logName("messages", 400)};
    const QStringList kept{logName("messages", 30), logName("messages", 1), logName("pei", 40),
                           "messages-notes.txt"};
    for (const QString &name : old + kept)
        writeFileContent(logFolder() + '/' + name, "x\r\n");

    DailyLog log(settings(), reports.receiver(), day.clock());
    log.close();
    QStringList expected = kept;
    expected.sort();
    EXPECT_EQ(namesIn(logFolder()), expected);

    // A new day of lines makes one more day old enough.
    day.set(FirstDay.addDays(1));
    DailyLog nextDay(settings(), reports.receiver(), day.clock());
    nextDay.append("today");
    nextDay.close();
    EXPECT_FALSE(QFileInfo::exists(logFolder() + '/' + logName("messages", 30)));
    EXPECT_TRUE(QFileInfo::exists(logFolder() + '/' + logName("messages", 1)));
    EXPECT_TRUE(QFileInfo::exists(logFolder() + '/' + logName("pei", 40)));
    EXPECT_TRUE(reports.texts().isEmpty()) << qPrintable(reports.texts().join('\n'));
}

TEST_F(DailyLogTest, AFailingDiskIsReportedOnceAndTheHeldLinesFollowWhenItMends)
{
    // A file where the log folder should be: nothing can be written until it goes.
    DailyLog::Settings chosen = settings();
    writeFileContent(chosen.folder, "in the way");
    const QByteArray line(97, 'h'); // with a digit and the line end: 100 octets held
    chosen.holdLimit = 10 * 100;
    DailyLog log(chosen, reports.receiver(), day.clock());
    for (int i = 0; i < 25; ++i)
        log.append(line + QByteArray::number(i % 10));
    ASSERT_TRUE(reports.waitFor(reasonOf(ENOTDIR)));
    ASSERT_TRUE(QFile::remove(chosen.folder));
    ASSERT_TRUE(reports.waitFor("written again"));
    ASSERT_TRUE(reports.waitFor("15 lines of the messages pane could not be written"));
    QList<QByteArray> written;
    for (int i = 0; i < 10; ++i)
        written += line + QByteArray::number(i);
    for (int i = 0; i < 5; ++i) {
        written += "after " + QByteArray::number(i);
        log.append(written.last());
    }
    log.close();

    EXPECT_EQ(contentOf("messages-2026-12-08.log"), asWritten(written));
    const QStringList texts = reports.texts();
    ASSERT_EQ(texts.size(), 3) << qPrintable(texts.join('\n'));
    EXPECT_EQ(texts[0], "Cannot write file \"" + chosen.folder +
                            "/messages-2026-12-08.log\": " + reasonOf(ENOTDIR) +
                            ". The lines of the messages pane are kept until the log file can "
                            "be written.");
    EXPECT_EQ(texts[1], "The log file of the messages pane is written again.");
    EXPECT_EQ(texts[2], "15 lines of the messages pane could not be written to its log file.");
}

TEST_F(DailyLogTest, LinesStillUnwrittenAtCloseAreCountedAfterTheOneFailureReport)
{
    DailyLog::Settings chosen = settings("pei");
    writeFileContent(chosen.folder, "in the way");
    DailyLog log(chosen, reports.receiver(), day.clock());
    for (int i = 0; i < 3; ++i)
        log.append(lineNumber(i));
    ASSERT_TRUE(reports.waitFor(reasonOf(ENOTDIR)));
    log.append("one more");
    log.append("and another");
    log.close();
    const QStringList texts = reports.texts();
    ASSERT_EQ(texts.size(), 2) << qPrintable(texts.join('\n'));
    EXPECT_TRUE(texts[0].contains(reasonOf(ENOTDIR)));
    EXPECT_EQ(texts[1], "5 lines of the pei pane could not be written to its log file.");
    EXPECT_EQ(fileContent(chosen.folder), "in the way");
}

TEST(DailyLogOnAFullDisk, KeepsTheLinesWholeAndInOrderUntilThereIsRoom)
{
    const SmallTmpfs disk;
    if (!disk.skipReason().isEmpty())
        GTEST_SKIP() << qPrintable(disk.skipReason());
    // One page of the two left for the log.
    ASSERT_GT(disk.fill("filler"), 0);
    ASSERT_TRUE(QFile::resize(disk.filePath("filler"), 4096));
    Reports reports;
    TestClock day;
    DailyLog::Settings chosen;
    chosen.folder = disk.path();
    chosen.pane = "messages";
    chosen.retryInterval = std::chrono::milliseconds(1);
    DailyLog log(chosen, reports.receiver(), day.clock());
    QList<QByteArray> lines;
    for (int i = 0; i < 60; ++i) {
        lines += QByteArray::number(i).rightJustified(4, '0') + ' ' + QByteArray(95, 'd');
        log.append(lines.last());
    }
    ASSERT_TRUE(reports.waitFor(reasonOf(ENOSPC)));
    ASSERT_TRUE(QFile::remove(disk.filePath("filler")));
    ASSERT_TRUE(reports.waitFor("written again"));
    log.close();
    EXPECT_EQ(fileContent(disk.filePath("messages-2026-12-08.log")), asWritten(lines));
    EXPECT_EQ(reports.texts().size(), 2) << qPrintable(reports.texts().join('\n'));
}

} // namespace
