#include "formstate/FormValues.h"

#include "TestFiles.h"
#include "TestForm.h"
#include "controls/LogView.h"
#include "formstate/FormStateError.h"
#include "formstate/SettingsLocation.h"

#include <QApplication>
#include <QFileInfo>
#include <QSplitterHandle>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

namespace {

class FormValuesTest : public ::testing::Test
{
protected:
    QString folder() const { return m_dir.path(); }
    QString path() const { return m_dir.filePath(QStringLiteral("corvane.set")); }
    void prepare(const QByteArray &content) const { writeFileContent(path(), content); }

private:
    QTemporaryDir m_dir;
};

// The entries joined by "|", which failures print readably.
std::string itemsOf(const QComboBox &combo)
{
    QStringList items;
    for (int i = 0; i < combo.count(); ++i)
        items << combo.itemText(i);
    return items.join('|').toStdString();
}

void showAt(QWidget &form, const QSize &size)
{
    form.resize(size);
    form.show();
    QApplication::processEvents();
}

TEST_F(FormValuesTest, RoundTripRestoresEveryKindOfControl)
{
    const QString latin1Text = QString::fromLatin1("Gr\xFC\xDF"
                                                   "e \xFF");
    TTestForm saved;
    saved.Name_Edit->setText(latin1Text);
    saved.Flag_Box->setChecked(true);
    saved.choices[2]->setChecked(true);
    saved.modes[1]->setChecked(true);
    saved.Fixed_Combo->setCurrentIndex(2);
    saved.Hist_Combo->clear();
    saved.Hist_Combo->addItems({"newest", "older", "oldest"});
    saved.Hist_Combo->setEditText("being typed");
    saved.Pages->setCurrentIndex(1);
    saved.Rich_Memo->setPlainText("r1\nr2");
    saved.Notes_Memo->setPlainText("line 1\n\nline 3");
    saved.sd->setFileName(folder() + "/logs/pane.txt");
    SaveFormValues(&saved, path());

    EXPECT_TRUE(fileContent(path()).contains("\nName_Edit=Gr\xFC\xDF"
                                             "e \xFF\n"));

    TTestForm restored;
    LoadFormValues(&restored, path());
    EXPECT_EQ(restored.Name_Edit->text(), latin1Text);
    EXPECT_TRUE(restored.Flag_Box->isChecked());
    EXPECT_TRUE(restored.choices[2]->isChecked());
    EXPECT_TRUE(restored.modes[1]->isChecked());
    EXPECT_EQ(restored.Fixed_Combo->currentIndex(), 2);
    EXPECT_EQ(itemsOf(*restored.Hist_Combo), "newest|older|oldest");
    EXPECT_EQ(restored.Hist_Combo->currentText(), "being typed");
    EXPECT_EQ(restored.Pages->currentWidget()->objectName(), "PageB");
    EXPECT_EQ(restored.Rich_Memo->toPlainText(), "r1\nr2");
    EXPECT_EQ(restored.Notes_Memo->toPlainText(), "line 1\n\nline 3");
    EXPECT_EQ(restored.sd->InitialDir(), folder() + "/logs/");
}

TEST_F(FormValuesTest, RestoredCheckBoxTellsItsClickListenersOfEachChange)
{
    TTestForm form; // its box is disabled, as the window's report boxes are at start
    prepare("[TTestForm]\nFlag_Box=1\n");
    LoadFormValues(&form, path());
    EXPECT_TRUE(form.Flag_Box->isChecked());
    EXPECT_EQ(form.flagClicks, 1);

    LoadFormValues(&form, path());
    EXPECT_EQ(form.flagClicks, 1);

    prepare("[TTestForm]\nFlag_Box=0\n");
    LoadFormValues(&form, path());
    EXPECT_FALSE(form.Flag_Box->isChecked());
    EXPECT_EQ(form.flagClicks, 2);
}

TEST_F(FormValuesTest, RadioGroupWithNothingCheckedComesBackSo)
{
    TTestForm saved;
    saved.Mode_Group->setExclusive(false);
    saved.modes[0]->setChecked(false);
    saved.Mode_Group->setExclusive(true);
    SaveFormValues(&saved, path());
    EXPECT_TRUE(fileContent(path()).contains("\nMode_Group=-1\n"));

    TTestForm restored;
    LoadFormValues(&restored, path());
    EXPECT_EQ(restored.Mode_Group->checkedButton(), nullptr);
    EXPECT_TRUE(restored.Mode_Group->exclusive());
}

TEST_F(FormValuesTest, PaneWithNegativeTagIsNeitherWrittenNorRead)
{
    TTestForm saved;
    saved.Log_Memo->setPlainText("traffic\nmore traffic");
    SaveFormValues(&saved, path());
    EXPECT_FALSE(fileContent(path()).contains("Log_Memo"));

    prepare(fileContent(path()) + "Log_Memo0=1\nLog_Memo1=from the file\n");
    TTestForm restored;
    LoadFormValues(&restored, path());
    EXPECT_EQ(restored.Log_Memo->toPlainText(), "log");
}

TEST_F(FormValuesTest, FirstStartKeepsDesignedValuesButEmptiesEditableComboText)
{
    TTestForm form;
    LoadFormValues(&form, path());
    EXPECT_FALSE(QFile::exists(path()));
    EXPECT_EQ(form.Name_Edit->text(), "designed");
    EXPECT_FALSE(form.Flag_Box->isChecked());
    EXPECT_EQ(form.flagClicks, 0);
    EXPECT_TRUE(form.choices[0]->isChecked());
    EXPECT_EQ(form.Notes_Memo->toPlainText(), "note");
    EXPECT_EQ(form.Pages->currentIndex(), 0);
    EXPECT_EQ(itemsOf(*form.Hist_Combo), "one|two");
    EXPECT_EQ(form.Hist_Combo->currentText(), "");
    EXPECT_EQ(form.sd->InitialDir(), formstate::executableFolder());
}

TEST_F(FormValuesTest, DialogFolderIsSavedOnlyWhenItExists)
{
    TTestForm saved;
    saved.sd->setInitialDir(folder());
    SaveFormValues(&saved, path());
    EXPECT_TRUE(fileContent(path()).contains("\nsd_InitialDir=" + folder().toLatin1() + "\n"));

    saved.sd->setInitialDir(folder() + "/gone");
    SaveFormValues(&saved, path());
    EXPECT_FALSE(fileContent(path()).contains("sd_InitialDir"));

    TTestForm restored;
    restored.sd->setInitialDir("/var");
    LoadFormValues(&restored, path());
    EXPECT_EQ(restored.sd->InitialDir(), "/var");
}

TEST_F(FormValuesTest, LongValueIsCutOnReading)
{
    prepare("[TTestForm]\nName_Edit=" + QByteArray(3000, 'n') + "\n");
    TTestForm form;
    LoadFormValues(&form, path());
    EXPECT_EQ(form.Name_Edit->text(), QString(2047, 'n'));
}

TEST_F(FormValuesTest, EditedCountsAddNoMoreThanTheEntriesPresent)
{
    prepare("[TTestForm]\nHist_Combo0=2000000000\nHist_Combo1=a\nHist_Combo2=b\n"
            "Rich_Memo0=2147483647\nNotes_Memo0=-5\nNotes_Memo1=x\nName_Edit=n\n");
    TTestForm form;
    LoadFormValues(&form, path());
    EXPECT_EQ(itemsOf(*form.Hist_Combo), "a|b");
    EXPECT_EQ(form.Rich_Memo->document()->blockCount(), 1);
    EXPECT_EQ(form.Rich_Memo->toPlainText(), "");
    EXPECT_EQ(form.Notes_Memo->toPlainText(), "note");
}

TEST_F(FormValuesTest, SplitterHandleComesBackWhereItWas)
{
    const QSize size(400, 700);
    TTestForm saved;
    showAt(saved, size);
    const QList<int> sizes = saved.Splitter1->sizes();
    saved.Splitter1->setSizes({sizes[0] + 60, sizes[1] - 60});
    const QPoint position = saved.Splitter1->handle(1)->pos();
    SaveFormValues(&saved, path());

    TTestForm shown;
    showAt(shown, size);
    ASSERT_NE(shown.Splitter1->handle(1)->pos(), position);
    LoadFormValues(&shown, path());
    EXPECT_EQ(shown.Splitter1->handle(1)->pos(), position);

    // Restored before the window is first shown, as at start-up.
    TTestForm starting;
    LoadFormValues(&starting, path());
    showAt(starting, size);
    EXPECT_EQ(starting.Splitter1->handle(1)->pos(), position);
}

TEST_F(FormValuesTest, KeyThatCannotBeWrittenStopsSavingAndLeavesTheFileAsItWas)
{
    prepare("[TTestForm]\nName_Edit=earlier\n");
    TTestForm form;
    auto *broken = new QLineEdit(&form);
    broken->setObjectName("Broken=Edit");
    try {
        SaveFormValues(&form, path());
        FAIL() << "no error raised";
    } catch (const EFormState &error) {
        EXPECT_EQ(QString::fromLatin1(error.what()), "Unable to write to " + path());
    }
    EXPECT_EQ(fileContent(path()), "[TTestForm]\nName_Edit=earlier\n");

    // A folder in the file's place is no settings file: it is left alone.
    delete broken;
    EXPECT_NO_THROW(SaveFormValues(&form, folder()));
    EXPECT_TRUE(QFileInfo(folder()).isDir());
}

TEST_F(FormValuesTest, SavingWritesTheWholeSectionInOneGo)
{
    prepare("[Other]\nkept=1\n[TTestForm]\nStale=1\n");
    TTestForm form;
    SaveFormValues(&form, path());
    const QByteArray saved = fileContent(path());
    EXPECT_TRUE(saved.startsWith("[Other]\nkept=1\n[TTestForm]\n")) << saved.constData();
    EXPECT_FALSE(saved.contains("Stale"));
    EXPECT_TRUE(saved.contains("\nName_Edit=designed\n"));
}

TEST_F(FormValuesTest, LogViewWithATagOfZeroOrMoreIsKeptAsAPane)
{
    QWidget saved;
    auto *log = new LogView(&saved);
    log->setObjectName("Trace_View");
    log->setProperty("Tag", 0);
    log->appendLine("first");
    log->appendLine(QByteArray("caf\xE9"));
    SaveFormValues(&saved, path());
    EXPECT_TRUE(fileContent(path()).contains("Trace_View0=3\nTrace_View1=\nTrace_View2=first\n"
                                             "Trace_View3=caf\xE9\n"));

    QWidget restored;
    auto *again = new LogView(&restored);
    again->setObjectName("Trace_View");
    again->appendLine("to be replaced");
    LoadFormValues(&restored, path());
    EXPECT_EQ(again->lines(), QStringList({"", "first", QString::fromLatin1("caf\xE9")}));
}

} // namespace
