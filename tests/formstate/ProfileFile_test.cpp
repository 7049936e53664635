#include "formstate/ProfileFile.h"

#include "TestFiles.h"
#include "formstate/FormStateError.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using formstate::ProfileFile;

namespace {

class ProfileFileTest : public ::testing::Test
{
protected:
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
    EXPECT_EQ(file.keyCount("TForm1"), 2);

    const ProfileFile missing(pathOf("absent.set"));
    EXPECT_EQ(missing.readString("TForm1", "Form1.Left", "d"), "d");
    EXPECT_EQ(missing.keyCount("TForm1"), 0);
}

TEST_F(ProfileFileTest, ReadsTheFirstOfRepeatedSectionsAndKeys)
{
    prepare("[S]\nk=first\nk=second\n[s]\nk=third\nother=x\n");
    const ProfileFile file(path());
    EXPECT_EQ(file.readString("S", "k", {}), "first");
    EXPECT_FALSE(file.contains("S", "other"));
    EXPECT_EQ(file.keyCount("S"), 1);
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
    EXPECT_EQ(file.readString("S", "long", {}), longValue.left(2047));
    EXPECT_EQ(ProfileFile(path()).readString("S", "long", {}).size(), 2047);
    EXPECT_TRUE(fileContent(path()).contains("long=" + longValue + "\n"));
}

TEST_F(ProfileFileTest, EveryWriteReachesTheFileAtOnce)
{
    ProfileFile file(pathOf(QStringLiteral("new/folder/corvane.set")));
    file.writeString("TForm1", "Form1.Left", "10");
    EXPECT_EQ(fileText(file.path()), "[TForm1]\nForm1.Left=10\n");
    file.writeInteger("TForm1", "Form1.Top", -3);
    file.writeBool("TForm1State", "Flag", true);
    EXPECT_EQ(fileText(file.path()),
              "[TForm1]\nForm1.Left=10\nForm1.Top=-3\n[TForm1State]\nFlag=1\n");
    EXPECT_EQ(ProfileFile(file.path()).readInteger("TForm1", "Form1.Top", 0), -3);
}

TEST_F(ProfileFileTest, ReplacesAKeyInPlaceAndAddsNewKeysAtTheEndOfTheirSection)
{
    prepare("; kept\r\n[A]\r\nx=1\r\ny=2\r\n\r\n[B]\r\nx=3\r\n");
    ProfileFile file(path());
    file.writeString("a", "X", "changed");
    file.writeString("A", "z", "new");
    EXPECT_EQ(fileText(path()), "; kept\r\n[A]\r\nX=changed\r\ny=2\r\nz=new\r\n\r\n[B]\r\nx=3\r\n");
    EXPECT_EQ(file.readString("A", "x", {}), "changed");
    EXPECT_EQ(file.readString("B", "x", {}), "3");
}

TEST_F(ProfileFileTest, SeesChangesMadeByOthersBeforeWriting)
{
    ProfileFile first(path());
    ProfileFile second(path());
    first.writeString("S", "a", "1");
    second.writeString("S", "b", "2");
    EXPECT_EQ(fileText(path()), "[S]\na=1\nb=2\n");
}

TEST_F(ProfileFileTest, PassesOctetsThroughUnchanged)
{
    const QByteArray octets = QByteArray("  lead=\xE9\xFC\xFF\x80 \"q\" trail  ");
    ProfileFile file(path());
    file.writeString("S",
                     QString::fromLatin1("Gr\xFC\xDF"
                                         "e"),
                     octets);
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
    EXPECT_EQ(fileText(path()), "[S]\nk=first\n");
}

TEST_F(ProfileFileTest, ErasesEveryBlockOfASectionAndNothingElse)
{
    prepare("[A]\nx=1\n[TForm1]\nx=2\n[B]\nx=3\n[tform1]\ny=4\n");
    ProfileFile file(path());
    file.eraseSection("TForm1");
    EXPECT_EQ(fileText(path()), "[A]\nx=1\n[B]\nx=3\n");
    EXPECT_FALSE(file.contains("TForm1", "x"));

    ProfileFile absent(pathOf("absent.set"));
    absent.eraseSection("TForm1");
    EXPECT_FALSE(QFile::exists(absent.path()));
}

TEST_F(ProfileFileTest, ReportsAFileThatCannotBeWritten)
{
    const QString folder = pathOf(QStringLiteral("is_a_folder"));
    ASSERT_TRUE(QDir().mkpath(folder));
    ProfileFile file(folder);
    try {
        file.writeString("S", "k", "v");
        FAIL() << "no error raised";
    } catch (const EFormState &error) {
        EXPECT_EQ(QString::fromLatin1(error.what()), "Unable to write to " + folder);
    }

    prepare("[S]\nkept=1\n");
    ProfileFile keys(path());
    for (const QString &badKey :
         {QStringLiteral("a=b"), QStringLiteral(""), QStringLiteral("[x"), QStringLiteral("a\nb")})
        EXPECT_THROW(keys.writeString("S", badKey, "v"), EFormState) << qPrintable(badKey);
    EXPECT_EQ(fileText(path()), "[S]\nkept=1\n");
}

} // namespace
