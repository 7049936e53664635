#include "formstate/ProfileFile.h"

#include "TestFiles.h"
#include "formstate/FormStateError.h"
#include "tests/files/OtherUser.h"
#include "tests/files/PrintText.h"
#include "tests/files/SmallTmpfs.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

using formstate::ProfileFile;

namespace {

QString reasonOf(int errorNumber)
{
    return QString::fromLocal8Bit(std::strerror(errorNumber));
}

// Saves one changed key and returns the message of what was raised, if anything.
QString saveFailure(const QString &path)
{
    ProfileFile file(path);
    file.writeString("S", "k", "changed");
    try {
        file.save();
    } catch (const EFormState &error) {
        return QString::fromLatin1(error.what());
    }
    return {};
}

class ProfileFileTest : public ::testing::Test
{
protected:
    QString folder() const { return m_dir.path(); }
    QString pathOf(const QString &name) const { return m_dir.filePath(name); }
    QString path() const { return pathOf(QStringLiteral("corvane.set")); }
    void prepare(const QByteArray &content) const { writeFileContent(path(), content); }

private:
    QTemporaryDir m_dir;
};

TEST_F(ProfileFileTest, ReadsValuesWithDefaultsMatchingNamesInAnyCase)
{
    prepare(
        "top=outside\n[TForm1]\r\n  Form1.Left = 12\r\nEmpty=\n; note\n[Other]\nForm1.Left=99\n");
    const ProfileFile file(path());
    EXPECT_EQ(file.readString("tform1", "FORM1.LEFT", "d"), " 12");
    EXPECT_EQ(file.readInteger("TForm1", "Form1.Left", -1), 12);
    EXPECT_EQ(file.readString("TForm1", "Empty", "d"), "");
    EXPECT_EQ(file.readString("TForm1", "Missing", "d"), "d");
    EXPECT_EQ(file.readString("Nowhere", "Form1.Left", "d"), "d");
    EXPECT_EQ(file.readString("TForm1", "top", "d"), "d");
    EXPECT_EQ(file.readInteger("Other", "form1.left", -1), 99);
    EXPECT_EQ(file.status(), ProfileFile::Status::Read);

    const ProfileFile missing(pathOf("absent.set"));
    EXPECT_EQ(missing.readString("TForm1", "Form1.Left", "d"), "d");
    EXPECT_EQ(missing.status(), ProfileFile::Status::Missing);
    EXPECT_TRUE(missing.refusal().isEmpty());
}

TEST_F(ProfileFileTest, ReadsTheFirstOfRepeatedSectionsAndKeys)
{
    prepare("[S]\nk=first\nk=second\n[s]\nk=third\nother=x\n");
    const ProfileFile file(path());
    EXPECT_EQ(file.readString("S", "k", {}), "first");
    EXPECT_FALSE(file.contains("S", "other"));
}

TEST_F(ProfileFileTest, ConvertsIntegersAndBooleansOrFallsBackToTheDefault)
{
    prepare("[S]\nn= -7 \nbig=99999999999\ntext=12abc\nzero=0\ntwo=2\n");
    const ProfileFile file(path());
    EXPECT_EQ(file.readInteger("S", "n", 1), -7);
    EXPECT_EQ(file.readInteger("S", "big", 1), 1);
    EXPECT_EQ(file.readInteger("S", "text", 1), 1);
    EXPECT_FALSE(file.readBool("S", "zero", true));
    EXPECT_TRUE(file.readBool("S", "two", false));
    EXPECT_TRUE(file.readBool("S", "text", true));
    EXPECT_FALSE(file.readBool("S", "missing", false));
}

TEST_F(ProfileFileTest, CutsLongValuesOnReadingOnly)
{
    const QByteArray longValue(3000, 'x');
    ProfileFile file(path());
    file.writeString("S", "long", longValue);
    file.save();
    EXPECT_EQ(file.readString("S", "long", {}), longValue.left(2047));
    EXPECT_EQ(ProfileFile(path()).readString("S", "long", {}).size(), 2047);
    EXPECT_TRUE(fileContent(path()).contains("long=" + longValue + "\n"));
}

TEST_F(ProfileFileTest, WritesReachTheFileTogetherAtTheSave)
{
    ProfileFile file(pathOf(QStringLiteral("new/folder/corvane.set")));
    file.writeString("TForm1", "Form1.Left", "10");
    file.writeInteger("TForm1", "Form1.Top", -3);
    file.writeBool("TForm1State", "Flag", true);
    EXPECT_EQ(file.readInteger("TForm1", "Form1.Top", 0), -3);
    EXPECT_FALSE(QFile::exists(file.path()));
    file.save();
    EXPECT_EQ(fileText(file.path()),
              "[TForm1]\nForm1.Left=10\nForm1.Top=-3\n[TForm1State]\nFlag=1\n");
    EXPECT_EQ(ProfileFile(file.path()).readInteger("TForm1", "Form1.Top", 0), -3);
}

TEST_F(ProfileFileTest, NothingChangedWritesNothing)
{
    ProfileFile absent(pathOf("absent.set"));
    absent.readString("S", "k", {});
    absent.save();
    EXPECT_FALSE(QFile::exists(absent.path()));
}

TEST_F(ProfileFileTest, ReplacesAKeyInPlaceAndAddsNewKeysAtTheEndOfTheirSection)
{
    prepare("; kept\r\n[A]\r\nx=1\r\ny=2\r\n\r\n[B]\r\nx=3\r\n");
    ProfileFile file(path());
    file.writeString("a", "X", "changed");
    file.writeString("A", "z", "new");
    file.save();
    EXPECT_EQ(fileText(path()), "; kept\r\n[A]\r\nX=changed\r\ny=2\r\nz=new\r\n\r\n[B]\r\nx=3\r\n");
    EXPECT_EQ(file.readString("A", "x", {}), "changed");
    EXPECT_EQ(file.readString("B", "x", {}), "3");
}

TEST_F(ProfileFileTest, PassesOctetsThroughUnchanged)
{
    const QByteArray octets = QByteArray("  lead=\xE9\xFC\xFF\x80 \"q\" trail  ");
    ProfileFile file(path());
    file.writeString("S",
                     QString::fromLatin1("Gr\xFC\xDF"
                                         "e"),
                     octets);
    file.save();
    EXPECT_TRUE(fileContent(path()).contains("Gr\xFC\xDF"
                                             "e=" +
                                             octets + "\n"));
    EXPECT_EQ(ProfileFile(path()).readString("S",
                                             QString::fromLatin1("GR\xDC\xDF"
                                                                 "E"),
                                             {}),
              octets);
}

TEST_F(ProfileFileTest, KeepsEveryValueOnOneLine)
{
    ProfileFile file(path());
    file.writeString("S", "k", "first\nForm1.Left=-30000\r\nrest");
    file.save();
    EXPECT_EQ(fileText(path()), "[S]\nk=first\n");
}

TEST_F(ProfileFileTest, ErasesEveryBlockOfASectionAndNothingElse)
{
    prepare("[A]\nx=1\n[TForm1]\nx=2\n[B]\nx=3\n[tform1]\ny=4\n");
    ProfileFile file(path());
    file.eraseSection("TForm1");
    file.save();
    EXPECT_EQ(fileText(path()), "[A]\nx=1\n[B]\nx=3\n");
    EXPECT_FALSE(file.contains("TForm1", "x"));

    ProfileFile absent(pathOf("absent.set"));
    absent.eraseSection("TForm1");
    absent.save();
    EXPECT_FALSE(QFile::exists(absent.path()));
}

TEST_F(ProfileFileTest, ReportsAFileThatCannotBeWritten)
{
    // A regular file stands where the folder of the settings file would be.
    writeFileContent(pathOf(QStringLiteral("plain")), "x");
    const QString unreachable = pathOf(QStringLiteral("plain/corvane.set"));
    ProfileFile file(unreachable);
    file.writeString("S", "k", "v");
    try {
        file.save();
        FAIL() << "no error raised";
    } catch (const EFormState &error) {
        EXPECT_EQ(QString::fromLatin1(error.what()),
                  "Unable to write to " + unreachable + ": " + reasonOf(ENOTDIR));
    }

    prepare("[S]\nkept=1\n");
    ProfileFile keys(path());
    for (const QString &badKey :
         {QStringLiteral("a=b"), QStringLiteral(""), QStringLiteral("[x"), QStringLiteral("a\nb")})
        EXPECT_THROW(keys.writeString("S", badKey, "v"), EFormState) << qPrintable(badKey);
    keys.save();
    EXPECT_EQ(fileText(path()), "[S]\nkept=1\n");
}

TEST_F(ProfileFileTest, ReadsOnlyARegularFileOfAtMostOneMebibyteAndNeverWritesAnotherOne)
{
    const QString fifo = pathOf(QStringLiteral("fifo.set"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString folder = pathOf(QStringLiteral("folder.set"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString tooLarge = pathOf(QStringLiteral("large.set"));
    const QByteArray overLimit = "[S]\nk=1\n" + QByteArray(ProfileFile::MaxFileSize, ';');
    writeFileContent(tooLarge, overLimit);

    for (const QString &refused : {fifo, folder, tooLarge, QStringLiteral("/dev/zero")}) {
        ProfileFile file(refused);
        EXPECT_EQ(file.status(), ProfileFile::Status::Refused) << qPrintable(refused);
        EXPECT_TRUE(file.refusal().contains(refused)) << qPrintable(file.refusal());
        EXPECT_EQ(file.readString("S", "k", "default"), "default");
        file.writeString("S", "k", "2");
        file.save();
    }
    EXPECT_EQ(fileContent(tooLarge), overLimit);
    EXPECT_FALSE(QFileInfo(fifo).isFile()) << "the FIFO was not replaced";
    EXPECT_TRUE(QFileInfo(folder).isDir());

    const QString atLimit = pathOf(QStringLiteral("limit.set"));
    writeFileContent(atLimit, overLimit.left(ProfileFile::MaxFileSize));
    const ProfileFile read(atLimit);
    EXPECT_EQ(read.status(), ProfileFile::Status::Read);
    EXPECT_EQ(read.readString("S", "k", {}), "1");
}

TEST_F(ProfileFileTest, KeepsThePermissionsOfTheFileItReplaces)
{
    prepare("[S]\nk=1\n");
    ASSERT_TRUE(setMode(path(), 0600));
    EXPECT_TRUE(saveFailure(path()).isEmpty());
    EXPECT_EQ(QFileInfo(path()).permissions() & 0x7777,
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    EXPECT_EQ(fileText(path()), "[S]\nk=changed\n");
}

TEST(ProfileFileOnAFullDisk, FailsWithTheSystemsReasonAndKeepsTheFileAsItWas)
{
    const SmallTmpfs disk;
    if (!disk.skipReason().isEmpty())
        GTEST_SKIP() << qPrintable(disk.skipReason());
    const QString path = disk.filePath("corvane.set");
    const QByteArray stored = "[TForm1]\nForm1.Left=10\n[S]\nk=stored\n";
    writeFileContent(path, stored);
    ASSERT_GT(disk.fill("filler"), 0);
    EXPECT_EQ(saveFailure(path), "Unable to write to " + path + ": " + reasonOf(ENOSPC));
    EXPECT_EQ(fileContent(path), stored);
}

TEST_F(ProfileFileTest, NeverWritesInPlaceWhenItsFolderTakesNoNewFile)
{
    // The file itself could be written; only its folder takes no new file.
    const QString path = writableFileInLockedFolder(folder(), "[S]\nk=stored\n");
    ASSERT_FALSE(path.isEmpty());
    QString failure;
    {
        const OtherUser user;
        if (!OtherUser::permissionsApply())
            GTEST_SKIP() << "file permissions cannot be made to apply here";
        failure = saveFailure(path);
    }
    EXPECT_EQ(failure, "Unable to write to " + path + ": " + reasonOf(EACCES));
    EXPECT_EQ(fileText(path), "[S]\nk=stored\n");
}

TEST_F(ProfileFileTest, AFileThatCannotBeReadIsAnnouncedWithTheReasonAndNeverWritten)
{
    ASSERT_TRUE(setMode(folder(), 0755));
    prepare("[S]\nk=stored\n");
    ASSERT_TRUE(setMode(path(), 0));
    {
        const OtherUser user;
        if (!OtherUser::permissionsApply())
            GTEST_SKIP() << "file permissions cannot be made to apply here";
        ProfileFile file(path());
        EXPECT_EQ(file.status(), ProfileFile::Status::Unreadable);
        EXPECT_EQ(file.refusal(), "The settings file " + path() + " cannot be read (" +
                                      reasonOf(EACCES) +
                                      "): the stored settings are not used, and it will not "
                                      "be written.");
        file.writeString("S", "k", "changed");
        EXPECT_NO_THROW(file.save());
    }
    EXPECT_EQ(fileText(path()), "[S]\nk=stored\n");
}

TEST_F(ProfileFileTest, AFolderInTheFilesPlaceIsAnnouncedAsOne)
{
    const QString folderPath = pathOf("folder.set");
    ASSERT_TRUE(QDir().mkdir(folderPath));
    const ProfileFile file(folderPath);
    EXPECT_EQ(file.refusal(), "The settings file " + folderPath +
                                  " is a folder: the stored settings are not used, and it will "
                                  "not be written.");
}

} // namespace
