#include "files/AtomicFile.h"

#include "files/FileError.h"
#include "tests/files/FolderListing.h"
#include "tests/files/OtherUser.h"
#include "tests/files/PrintText.h"
#include "tests/files/SmallTmpfs.h"
#include "tests/formstate/TestFiles.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <optional>
#include <sys/stat.h>
#include <thread>

using files::AtomicFile;
using files::FileError;

namespace {

std::string expectedMessage(const QString &path, int errorNumber)
{
    return "Cannot write file \"" + path.toStdString() + "\": " + std::strerror(errorNumber);
}

// Runs the write and returns what it raised.
template <typename Write> std::optional<FileError> failureOf(Write write)
{
    try {
        write();
    } catch (const FileError &error) {
        return error;
    }
    return std::nullopt;
}

mode_t permissionsOf(const QString &path)
{
    struct stat status
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode & 07777 : 0;
}

class AtomicFileTest : public ::testing::Test
{
protected:
    QString pathOf(const QString &name) const { return m_dir.filePath(name); }
    QString folder() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

TEST_F(AtomicFileTest, WritesANewFileWholeAndLeavesNothingElse)
{
    const QString path = pathOf("run.csv");
    files::writeWhole(path, "a,b\r\n1,2\r\n");
    EXPECT_EQ(fileContent(path), "a,b\r\n1,2\r\n");
    EXPECT_EQ(namesIn(folder()), QStringList{"run.csv"});
}

TEST_F(AtomicFileTest, StreamsManyPiecesInOrder)
{
    const QString path = pathOf("pane.log");
    QByteArray expected;
    AtomicFile file(path);
    for (int i = 0; i < 20000; ++i) {
        const QByteArray line = QByteArray::number(i) + QByteArray(i % 37, char('a' + i % 26));
        file.write(line);
        file.write("\r\n");
        expected += line + "\r\n";
    }
    EXPECT_FALSE(QFile::exists(path)) << "nothing is in place before the commit";
    file.commit();
    EXPECT_EQ(fileContent(path), expected);
    EXPECT_EQ(namesIn(folder()), QStringList{"pane.log"});
}

TEST_F(AtomicFileTest, ReplacesAFileKeepingItsPermissions)
{
    const QString path = pathOf("corvane.set");
    writeFileContent(path, "old");
    ASSERT_TRUE(setMode(path, 0640));
    files::writeWhole(path, "new content");
    EXPECT_EQ(fileContent(path), "new content");
    EXPECT_EQ(permissionsOf(path), 0640u);
}

TEST_F(AtomicFileTest, WithoutACommitTheOldFileStaysAndTheTemporaryGoes)
{
    const QString path = pathOf("run.csv");
    writeFileContent(path, "earlier");
    {
        AtomicFile file(path);
        file.write(QByteArray(200000, 'x'));
    }
    EXPECT_EQ(fileContent(path), "earlier");
    EXPECT_EQ(namesIn(folder()), QStringList{"run.csv"});
}

TEST_F(AtomicFileTest, AMissingFolderIsReportedWithTheSystemsReason)
{
    const QString path = pathOf("none/run.csv");
    const auto error = failureOf([&] { files::writeWhole(path, "x"); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->what(), expectedMessage(path, ENOENT));
    EXPECT_EQ(error->errorNumber(), ENOENT);
    EXPECT_EQ(error->path(), path);
    EXPECT_FALSE(QFileInfo::exists(pathOf("none")));
}

TEST_F(AtomicFileTest, AFolderInTheTargetsPlaceStaysAndTheTemporaryGoes)
{
    const QString path = pathOf("taken");
    ASSERT_TRUE(QDir().mkdir(path));
    const auto error = failureOf([&] { files::writeWhole(path, "x"); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->errorNumber(), EISDIR);
    EXPECT_TRUE(QFileInfo(path).isDir());
    EXPECT_EQ(namesIn(folder()), QStringList{"taken"});
}

TEST_F(AtomicFileTest, ALinkStaysALinkToTheNewContent)
{
    const QString target = pathOf("real.set");
    const QString link = pathOf("link.set");
    writeFileContent(target, "old");
    ASSERT_TRUE(QFile::link(target, link));
    files::writeWhole(link, "new");
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(fileContent(target), "new");
}

TEST_F(AtomicFileTest, AReaderSeesTheOldFileOrTheNewOneNeverAPart)
{
    const QString path = pathOf("watched");
    const QByteArray first(64 * 1024, 'A');
    const QByteArray second(96 * 1024, 'B');
    files::writeWhole(path, first);
    std::atomic<bool> done{false};
    std::atomic<int> reads{0};
    std::atomic<int> partial{0};
    std::thread reader([&] {
        while (!done) {
            const QByteArray seen = fileContent(path);
            if (seen != first && seen != second)
                ++partial;
            ++reads;
        }
    });
    for (int i = 0; i < 300; ++i)
        files::writeWhole(path, i % 2 ? first : second);
    done = true;
    reader.join();
    EXPECT_GT(reads.load(), 0);
    EXPECT_EQ(partial.load(), 0) << "of " << reads.load() << " reads";
}

TEST(AtomicFileOnAFullDisk, FailsWithTheSystemsReasonAndKeepsTheEarlierFileExactly)
{
    const SmallTmpfs disk;
    if (!disk.skipReason().isEmpty())
        GTEST_SKIP() << qPrintable(disk.skipReason());
    const QString path = disk.filePath("run.csv");
    QByteArray earlier;
    for (int i = 0; i < 40; ++i)
        earlier += "line " + QByteArray::number(i) + "\r\n";
    files::writeWhole(path, earlier);
    ASSERT_GT(disk.fill("filler"), 0);

    // Small enough to wait in the gathering until the commit, where a
    // buffered writer finds out too late.
    const auto small = failureOf([&] { files::writeWhole(path, "short new content"); });
    ASSERT_TRUE(small) << "a write that does not fit succeeded";
    EXPECT_EQ(small->what(), expectedMessage(path, ENOSPC));
    EXPECT_EQ(fileContent(path), earlier);

    const auto streamed = failureOf([&] {
        AtomicFile file(path);
        for (int i = 0; i < 100; ++i)
            file.write(QByteArray(1000, 'n'));
        file.commit();
    });
    ASSERT_TRUE(streamed);
    EXPECT_EQ(streamed->errorNumber(), ENOSPC);
    EXPECT_EQ(fileContent(path), earlier);
    EXPECT_EQ(namesIn(disk.path()), (QStringList{"filler", "run.csv"}));
}

TEST(AtomicFileOnAReadOnlyDisk, FailsWithTheSystemsReasonAndKeepsTheEarlierFile)
{
    const SmallTmpfs disk;
    if (!disk.skipReason().isEmpty())
        GTEST_SKIP() << qPrintable(disk.skipReason());
    const QString path = disk.filePath("corvane.set");
    files::writeWhole(path, "[S]\nk=1\n");
    if (!disk.remountReadOnly())
        GTEST_SKIP() << "cannot remount the tmpfs read-only";
    const auto error = failureOf([&] { files::writeWhole(path, "[S]\nk=2\n"); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->what(), expectedMessage(path, EROFS));
    EXPECT_EQ(fileContent(path), "[S]\nk=1\n");
}

TEST_F(AtomicFileTest, AFolderThatTakesNoNewFileLeavesItsWritableFileAlone)
{
    // The file itself may be written, its folder may not: the file is still
    // never written in place.
    const QString path = writableFileInLockedFolder(folder(), "old");
    ASSERT_FALSE(path.isEmpty());

    std::optional<FileError> error;
    {
        const OtherUser user;
        if (!OtherUser::permissionsApply())
            GTEST_SKIP() << "file permissions cannot be made to apply here";
        error = failureOf([&] { files::writeWhole(path, "new"); });
    }
    ASSERT_TRUE(error);
    EXPECT_EQ(error->what(), expectedMessage(path, EACCES));
    EXPECT_EQ(fileContent(path), "old");
}

} // namespace
