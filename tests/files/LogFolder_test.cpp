#include "files/LogFolder.h"

#include "tests/files/PrintText.h"
#include "tests/formstate/TestFiles.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <stdexcept>

using files::LogFolder;

namespace {

const QDate Day(2026, 12, 8);

TEST(LogFolder, NamesTheFilesOfADayInTheOrderTheyAreWritten)
{
    const LogFolder folder("/logs", "messages");
    EXPECT_EQ(folder.pathOf({Day, 1}), "/logs/messages-2026-12-08.log");
    EXPECT_EQ(folder.pathOf({Day, 2}), "/logs/messages-2026-12-08_002.log");
    EXPECT_EQ(folder.pathOf({Day, 1000}), "/logs/messages-2026-12-08_1000.log");
    QStringList names;
    for (int part = 1; part <= 12; ++part)
        names += folder.pathOf({Day, part});
    QStringList sorted = names;
    sorted.sort();
    EXPECT_EQ(sorted, names);
}

TEST(LogFolder, KnowsItsOwnFilesOnly)
{
    const LogFolder folder("/logs", "pei");
    const auto first = folder.partOf("pei-2026-12-08.log");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->day, Day);
    EXPECT_EQ(first->number, 1);
    const auto later = folder.partOf("pei-2026-12-08_017.log");
    ASSERT_TRUE(later);
    EXPECT_EQ(later->number, 17);
    for (const char *other : {"messages-2026-12-08.log", "pei-2026-12-08.log.tmp",
                              "pei-2026-13-08.log", "pei-2026-12-08_7.log", "xpei-2026-12-08.log",
                              "pei-x-2026-12-08.log", "pei-2026-12-08_000.log"})
        EXPECT_FALSE(folder.partOf(other)) << other;
}

TEST(LogFolder, RefusesAPaneNameThatIsNoFileName)
{
    EXPECT_THROW(LogFolder("/logs", ""), std::invalid_argument);
    EXPECT_THROW(LogFolder("/logs", "a/b"), std::invalid_argument);
}

TEST(LogFolder, FindsTheLastPartOfADay)
{
    QTemporaryDir dir;
    const LogFolder folder(dir.path(), "pei");
    EXPECT_EQ(folder.lastPartOf(Day).number, 1);
    for (const char *name :
         {"pei-2026-12-08.log", "pei-2026-12-08_002.log", "pei-2026-12-08_010.log",
          "pei-2026-12-09_020.log", "messages-2026-12-08_030.log"})
        writeFileContent(dir.filePath(name), "x\r\n");
    EXPECT_EQ(folder.lastPartOf(Day).number, 10);
    EXPECT_EQ(folder.lastPartOf(Day.addDays(1)).number, 20);
}

TEST(LogFolder, LivesInTheUsersStateFolder)
{
    const QByteArray saved = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", "/srv/state");
    EXPECT_EQ(files::defaultLogFolder(), "/srv/state/corvane");
    qputenv("XDG_STATE_HOME", "relative/state");
    EXPECT_EQ(files::defaultLogFolder(), QDir::homePath() + "/.local/state/corvane");
    qunsetenv("XDG_STATE_HOME");
    EXPECT_EQ(files::defaultLogFolder(), QDir::homePath() + "/.local/state/corvane");
    if (!saved.isNull())
        qputenv("XDG_STATE_HOME", saved);
}

} // namespace
