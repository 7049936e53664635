#include "formstate/FolderAccess.h"

#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(FolderAccessTest, DirectoryExistsOnlyForFoldersThatCanBeEntered)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("plain.txt"));
    writeFileContent(file, "x");
    const QString before = QDir::currentPath();

    EXPECT_TRUE(DirectoryExists(dir.path()));
    EXPECT_TRUE(DirectoryExists(dir.path() + "/"));
    EXPECT_FALSE(DirectoryExists(file));
    EXPECT_FALSE(DirectoryExists(dir.filePath(QStringLiteral("missing"))));
    EXPECT_FALSE(DirectoryExists(QString()));
    EXPECT_EQ(QDir::currentPath(), before);
}

TEST(FolderAccessTest, FolderWithoutWritePermissionIsNotWritable)
{
    QTemporaryDir dir;
    const QString readOnly = dir.filePath(QStringLiteral("readonly"));
    ASSERT_TRUE(QDir().mkpath(readOnly));
    const QString file = dir.filePath(QStringLiteral("plain.txt"));
    writeFileContent(file, "x");

    EXPECT_TRUE(formstate::isFolderWritable(dir.path()));
    ASSERT_TRUE(QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ExeOwner));
    EXPECT_FALSE(formstate::isFolderWritable(readOnly));
    EXPECT_FALSE(formstate::isFolderWritable(file));
    EXPECT_FALSE(formstate::isFolderWritable(dir.filePath(QStringLiteral("missing"))));
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace
