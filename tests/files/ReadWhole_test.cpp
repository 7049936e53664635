#include "files/ReadWhole.h"

#include "tests/files/OtherUser.h"
#include "tests/files/PrintText.h"
#include "tests/formstate/TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>

using files::ReadResult;
using Outcome = files::ReadResult::Outcome;

namespace {

class ReadWholeTest : public ::testing::Test
{
protected:
    QString pathOf(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};

TEST_F(ReadWholeTest, ReadsARegularFileUpToTheLimit)
{
    const QString path = pathOf("a.set");
    const QByteArray content = QByteArray(1000, 'x') + "\xE9\xFF\r\n";
    writeFileContent(path, content);
    const ReadResult atLimit = files::readWhole(path, content.size());
    EXPECT_EQ(atLimit.outcome, Outcome::Read);
    EXPECT_EQ(atLimit.bytes, content);

    const ReadResult over = files::readWhole(path, content.size() - 1);
    EXPECT_EQ(over.outcome, Outcome::TooLarge);
    EXPECT_TRUE(over.bytes.isEmpty());

    writeFileContent(pathOf("empty"), {});
    const ReadResult empty = files::readWhole(pathOf("empty"), 10);
    EXPECT_EQ(empty.outcome, Outcome::Read);
    EXPECT_TRUE(empty.bytes.isEmpty());
}

TEST_F(ReadWholeTest, TellsMissingFilesFoldersAndOtherKindsApart)
{
    EXPECT_EQ(files::readWhole(pathOf("absent"), 10).outcome, Outcome::Missing);
    writeFileContent(pathOf("plain"), "x");
    EXPECT_EQ(files::readWhole(pathOf("plain/a.set"), 10).outcome, Outcome::Missing);
    ASSERT_TRUE(QDir().mkdir(pathOf("folder")));
    EXPECT_EQ(files::readWhole(pathOf("folder"), 10).outcome, Outcome::Folder);
    const QString fifo = pathOf("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(files::readWhole(fifo, 10).outcome, Outcome::NotRegular);
    EXPECT_EQ(files::readWhole("/dev/zero", 10).outcome, Outcome::NotRegular);
}

TEST_F(ReadWholeTest, AFileThatCannotBeOpenedGivesTheSystemsReason)
{
    const QString loop = pathOf("loop");
    ASSERT_TRUE(QFile::link(loop, loop));
    const ReadResult looped = files::readWhole(loop, 10);
    EXPECT_EQ(looped.outcome, Outcome::Failed);
    EXPECT_EQ(looped.errorNumber, ELOOP);
}

TEST_F(ReadWholeTest, AFileWithoutReadPermissionIsFailedNotMissing)
{
    ASSERT_TRUE(setMode(QFileInfo(pathOf("private.set")).path(), 0755));
    const QString path = pathOf("private.set");
    writeFileContent(path, "[S]\nk=1\n");
    ASSERT_TRUE(setMode(path, 0));
    const OtherUser user;
    if (!OtherUser::permissionsApply())
        GTEST_SKIP() << "file permissions cannot be made to apply here";
    const ReadResult result = files::readWhole(path, 100);
    EXPECT_EQ(result.outcome, Outcome::Failed);
    EXPECT_EQ(result.errorNumber, EACCES);
}

} // namespace
