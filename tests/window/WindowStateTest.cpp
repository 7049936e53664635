#include "WindowHarness.h"

#include "controls/Getdata.h"
#include "files/FileError.h"
#include "tests/files/OtherUser.h"
#include "tests/files/SmallTmpfs.h"
#include "window/ActivityLog.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScreen>
#include <QSplitter>
#include <sys/stat.h>

namespace {

class WindowStateTest : public WindowHarness
{
protected:
    QString settingsPath() const { return settingsDir.filePath("corvane.set"); }
    QByteArray settingsText() const
    {
        QFile file(settingsPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void restart() { form = std::make_unique<TForm1>(settingsPath()); }
};

} // namespace

TEST_F(WindowStateTest, ClosingWritesEveryFieldAndThePlacementButNoLogPane)
{
    form->show();
    form->ComPortComboBox->setEditText("COM2");
    form->ProtocolIdentifierEdit->setText("130");
    form->DestISSI_Edit->setText("1234");
    form->Message_Edit->setEditText("Hi");
    form->Message_Edit->AddTextToHistory();
    form->RepititionsEdit->setText("3");
    form->DelayEdit->setText("250");
    form->CheckBoxRec->setChecked(true);
    appendLogEntry(form->MessagesPad_Memo, "a line that must not be saved");
    appendLogEntry(form->CommandLogger_Memo, "nor this one");
    const QString folder = QDir(settingsDir.path()).filePath("logs/");
    QDir().mkpath(folder);
    form->sd->setFileName(folder + "log.txt");
    form.reset();

    const QByteArray expected = "[TForm1]\n"
                                "ComPortComboBox0=4\n"
                                "ComPortComboBoxText=COM2\n"
                                "ComPortComboBox1=COM1\n"
                                "ComPortComboBox2=COM2\n"
                                "ComPortComboBox3=COM3\n"
                                "ComPortComboBox4=COM4\n"
                                "ProtocolIdentifierEdit=130\n"
                                "DestISSI_Edit=1234\n"
                                "Message_Edit0=1\n"
                                "Message_EditText=Hi\n"
                                "Message_Edit1=Hi\n"
                                "RepititionsEdit=3\n"
                                "DelayEdit=250\n"
                                "CheckBoxRec=1\n"
                                "CheckBoxCon=0\n"
                                "Splitter1.Left=0\n"
                                "Splitter1.Top=";
    EXPECT_TRUE(settingsText().startsWith(expected)) << settingsText().constData();
    EXPECT_TRUE(settingsText().contains("\nsd_InitialDir=" + folder.toLocal8Bit() +
                                        "\n[TForm1State]\nForm1.Left="));
    EXPECT_TRUE(
        settingsText().contains("\nForm1.Width=680\nForm1.Height=480\nForm1.WindowState=0\n"));
    EXPECT_FALSE(settingsText().contains("Memo"));
}

TEST_F(WindowStateTest, RestartBringsBackFieldsHistoryAndFlagsBeforeFormCreate)
{
    form->ComPortComboBox->setEditText("COM3");
    form->ProtocolIdentifierEdit->setText("77");
    form->DestISSI_Edit->setText("4321");
    for (const char *text : {"first", "second"}) {
        form->Message_Edit->setEditText(text);
        form->Message_Edit->AddTextToHistory();
    }
    form->CheckBoxCon->setChecked(true);
    form->resize(800, 600);
    form.reset();

    restart();
    EXPECT_EQ(form->ComPortComboBox->currentText(), "COM3");
    EXPECT_EQ(form->ProtocolIdentifierEdit->text(), "77");
    EXPECT_EQ(form->DestISSI_Edit->text(), "4321");
    EXPECT_EQ(form->Message_Edit->count(), 2);
    EXPECT_EQ(form->Message_Edit->itemText(0), "second");
    EXPECT_EQ(form->Message_Edit->itemText(1), "first");
    EXPECT_TRUE(form->CheckBoxCon->isChecked());
    // The restored box ran its click handler, so the flag follows it.
    EXPECT_EQ(form->ReportRequestFlags, 0x08);
    EXPECT_EQ(form->size(), QSize(800, 600));
    // FormCreate ran after the restore: its enabled states hold.
    EXPECT_FALSE(form->ProtocolIdentifierEdit->isEnabled());
    EXPECT_EQ(form->RadioState, 0);
}

TEST_F(WindowStateTest, FirstStartKeepsTheDesignedValuesAndEmptiesTheComboTexts)
{
    const QString fresh = settingsDir.filePath("fresh.set");
    form = std::make_unique<TForm1>(fresh);
    EXPECT_FALSE(QFile::exists(fresh));
    EXPECT_EQ(form->ComPortComboBox->currentText(), "");
    EXPECT_EQ(form->Message_Edit->currentText(), "");
    EXPECT_EQ(form->ComPortComboBox->count(), 4);
    EXPECT_EQ(form->ProtocolIdentifierEdit->text(), "0");
    EXPECT_EQ(form->DestISSI_Edit->text(), "1");
    EXPECT_EQ(form->RepititionsEdit->text(), "1");
    EXPECT_EQ(form->DelayEdit->text(), "0");
    EXPECT_FALSE(form->CheckBoxRec->isChecked());
    EXPECT_EQ(form->ReportRequestFlags, 0);
    EXPECT_FALSE(form->sd->InitialDir().isEmpty());
}

TEST_F(WindowStateTest, SplitterComesBackExactlyWhereItWasAtEveryStart)
{
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    form->Splitter1->setSizes({150, 400});
    const int placed = form->Splitter1->handle(1)->pos().y();
    for (int start = 0; start < 5; ++start) {
        form.reset();
        restart();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        EXPECT_EQ(form->Splitter1->handle(1)->pos().y(), placed) << "start " << start;
    }
}

TEST_F(WindowStateTest, StoredSizeAndPositionStayWithinTheScreen)
{
    form.reset();
    QFile file(settingsPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[TForm1State]\nForm1.Left=50\nForm1.Top=60\nForm1.Width=99999999\n"
               "Form1.Height=99999999\nForm1.WindowState=0\n");
    file.close();
    restart();
    const QRect screen = form->screen()->availableGeometry();
    EXPECT_LE(form->width(), screen.width());
    EXPECT_LE(form->height(), screen.height());
    EXPECT_GE(form->width(), 680);
    form.reset();
    EXPECT_FALSE(settingsText().contains("Form1.Width=99999999")) << settingsText().constData();
}

TEST_F(WindowStateTest, ASettingsFileThatIsNotReadIsSaidAtStartAndNeverWritten)
{
    form.reset();
    const QByteArray large = "[TForm1]\nDestISSI_Edit=77\n" + QByteArray(1 << 20, ';');
    {
        QFile file(settingsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(large);
    }
    restart();
    EXPECT_EQ(form->DestISSI_Edit->text(), "1") << "defaults are used";
    const QString said = lastLine(form->MessagesPad_Memo);
    EXPECT_TRUE(said.contains(settingsPath() + " is larger than 1 MiB")) << qPrintable(said);
    form->DestISSI_Edit->setText("5");
    form.reset();
    EXPECT_EQ(settingsText(), large);

    const QString fifo = settingsDir.filePath("fifo.set");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    form = std::make_unique<TForm1>(fifo);
    EXPECT_TRUE(lastLine(form->MessagesPad_Memo).contains(fifo + " is not a regular file"));
    form.reset();
    EXPECT_FALSE(QFileInfo(fifo).isFile());
}

TEST_F(WindowStateTest, ASettingsFileThatCannotBeReadIsSaidAtStartAndNeverWritten)
{
    form.reset();
    ASSERT_TRUE(setMode(settingsDir.path(), 0755));
    const QByteArray stored = "[TForm1]\nDestISSI_Edit=77\n";
    writeFileContent(settingsPath(), stored);
    ASSERT_TRUE(setMode(settingsPath(), 0));
    {
        const OtherUser user;
        if (!OtherUser::permissionsApply())
            GTEST_SKIP() << "file permissions cannot be made to apply here";
        restart();
        EXPECT_EQ(form->DestISSI_Edit->text(), "1") << "defaults are used";
        EXPECT_TRUE(form->MessagesPad_Memo->lines().join('\n').contains(
            ": The settings file " + settingsPath() + " cannot be read (" +
            files::systemReason(EACCES) +
            "): the stored settings are not used, and it will not be written."))
            << qPrintable(form->MessagesPad_Memo->lines().join('\n'));
        form->show();
        form->DestISSI_Edit->setText("5");
        form->close();
        form.reset();
    }
    EXPECT_TRUE(boxes.isEmpty()) << qPrintable(boxes.first().text);
    EXPECT_EQ(settingsText(), stored);
}

TEST_F(WindowStateTest, SettingsThatCannotBeSavedAreSaidInOneBoxAtCloseAndTheFileIsKept)
{
    const SmallTmpfs disk;
    if (!disk.skipReason().isEmpty())
        GTEST_SKIP() << qPrintable(disk.skipReason());
    const QString path = disk.filePath("corvane.set");
    form = std::make_unique<TForm1>(path);
    form.reset();
    const QByteArray saved = fileContent(path);
    ASSERT_TRUE(saved.contains("\nDestISSI_Edit=1\n")) << saved.constData();

    form = std::make_unique<TForm1>(path);
    form->show();
    form->DestISSI_Edit->setText("4321");
    ASSERT_GT(disk.fill("filler"), 0);
    form->close();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes.first().text, "The settings were not saved: Unable to write to " + path + ": " +
                                      files::systemReason(ENOSPC) +
                                      ". The settings file is as it was.");
    EXPECT_EQ(boxes.first().icon, ModalBoxRequest::Icon::Warning);
    form.reset();
    EXPECT_EQ(boxes.size(), 1) << "nothing more when the window goes";
    EXPECT_EQ(fileContent(path), saved);
}

TEST_F(WindowStateTest, AWindowDestroyedWithoutClosingStillSavesAndAClosedOneSavesOnce)
{
    form->show();
    form->DestISSI_Edit->setText("4321");
    form->close();
    EXPECT_TRUE(settingsText().contains("\nDestISSI_Edit=4321\n"));
    // Shown again and changed: the change is saved when the window goes.
    form->show();
    form->DestISSI_Edit->setText("99");
    form.reset();
    EXPECT_TRUE(settingsText().contains("\nDestISSI_Edit=99\n"));
    EXPECT_TRUE(boxes.isEmpty());
}
