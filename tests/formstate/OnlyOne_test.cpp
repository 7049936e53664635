#include "formstate/OnlyOne.h"

#include "TestFiles.h"
#include "TestForm.h"
#include "tests/files/OtherUser.h"
#include "tests/files/PrintText.h"
#include "tests/files/SmallTmpfs.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <sys/stat.h>

namespace {

QString reasonOf(int errorNumber)
{
    return QString::fromLocal8Bit(std::strerror(errorNumber));
}

class FormEnhTest : public ::testing::Test
{
protected:
    QString path() const { return m_dir.filePath(QStringLiteral("corvane.set")); }
    void prepare(const QByteArray &content) const { writeFileContent(path(), content); }
    std::unique_ptr<TEnhancedForm> makeForm(const EnhancedFormDesign &design = {})
    {
        return std::make_unique<TEnhancedForm>(path(), events, design);
    }

    FormEvents events;
    const QByteArray storedForm = "[TEnhancedForm]\nName_Edit=restored\nFlag_Box=1\n"
                                  "[TEnhancedFormState]\nTestForm1.Left=40\nTestForm1.Top=50\n"
                                  "TestForm1.Width=450\nTestForm1.Height=600\n";

private:
    QTemporaryDir m_dir;
};

TEST_F(FormEnhTest, EverySwitchIsOnByDefault)
{
    QWidget form;
    const TFormEnh component(&form);
    for (const char *name : {"Enabled", "SaveValues", "SaveState", "ReLoadOnClose"})
        EXPECT_TRUE(component.property(name).toBool()) << name;
    EXPECT_EQ(component.parent(), &form);
    EXPECT_TRUE(component.SettingsFile().isEmpty());
}

TEST_F(FormEnhTest, FormIsRestoredBeforeItsCreationHandlerRuns)
{
    prepare(storedForm);
    const auto form = makeForm();
    EXPECT_EQ(events.nameAtCreate, "restored");
    EXPECT_EQ(events.flagClicksAtCreate, 1);
    EXPECT_EQ(form->pos(), QPoint(40, 50));
    EXPECT_EQ(form->size(), QSize(450, 600));
}

TEST_F(FormEnhTest, FormOfFixedSizeGetsOnlyItsPositionBack)
{
    prepare(storedForm);
    EnhancedFormDesign design;
    design.fixedSize = true;
    const auto form = makeForm(design);
    EXPECT_EQ(form->pos(), QPoint(40, 50));
    EXPECT_EQ(form->size(), QSize(420, 560));
}

TEST_F(FormEnhTest, DestructionSavesValuesAndPlacement)
{
    auto form = makeForm();
    form->Name_Edit->setText("changed");
    form->move(70, 90);
    form.reset();
    EXPECT_EQ(events.destroyHandled, 1);
    EXPECT_TRUE(events.saveError.isEmpty());
    EXPECT_TRUE(events.saveFailure.isEmpty());
    const QByteArray content = fileContent(path());
    EXPECT_TRUE(content.contains("[TEnhancedForm]\n")) << content.constData();
    EXPECT_TRUE(content.contains("\nName_Edit=changed\n")) << content.constData();
    EXPECT_TRUE(content.contains("[TEnhancedFormState]\nTestForm1.Left=70\nTestForm1.Top=90\n"))
        << content.constData();
}

TEST_F(FormEnhTest, SwitchesChooseWhatIsLoadedAndSaved)
{
    prepare(storedForm);
    EnhancedFormDesign valuesOnly;
    valuesOnly.saveState = false;
    auto form = makeForm(valuesOnly);
    QFile::remove(path());
    EXPECT_EQ(events.nameAtCreate, "restored");
    EXPECT_NE(form->size(), QSize(450, 600));
    form.reset();
    EXPECT_FALSE(fileContent(path()).contains("[TEnhancedFormState]"));

    prepare(storedForm);
    EnhancedFormDesign stateOnly;
    stateOnly.saveValues = false;
    form = makeForm(stateOnly);
    QFile::remove(path());
    EXPECT_EQ(events.nameAtCreate, "designed");
    EXPECT_EQ(form->size(), QSize(450, 600));
    form.reset();
    EXPECT_FALSE(fileContent(path()).contains("[TEnhancedForm]"));
    EXPECT_TRUE(fileContent(path()).contains("[TEnhancedFormState]"));
}

TEST_F(FormEnhTest, DisabledComponentTouchesNothingWhileTheFormsHandlersRun)
{
    prepare(storedForm);
    EnhancedFormDesign disabled;
    disabled.enabled = false;
    auto form = makeForm(disabled);
    EXPECT_EQ(events.nameAtCreate, "designed");
    EXPECT_EQ(events.flagClicksAtCreate, 0);
    EXPECT_NE(form->pos(), QPoint(40, 50));
    form->Name_Edit->setText("changed");
    form->modalResultOk = true;
    form->close();
    form.reset();
    EXPECT_EQ(events.closeHandled, 1);
    EXPECT_EQ(events.destroyHandled, 1);
    EXPECT_EQ(fileText(path()), storedForm.toStdString());
}

TEST_F(FormEnhTest, CloseSavesValuesOnOkAndOtherwiseReloadsThem)
{
    const auto form = makeForm();
    form->Name_Edit->setText("first");
    form->modalResultOk = true;
    form->close();
    EXPECT_TRUE(fileContent(path()).contains("\nName_Edit=first\n"));
    EXPECT_FALSE(fileContent(path()).contains("State]"));

    form->Name_Edit->setText("second");
    form->modalResultOk = false;
    form->close();
    EXPECT_EQ(form->Name_Edit->text(), "first");
    EXPECT_EQ(events.closeHandled, 2);
}

TEST_F(FormEnhTest, CloseDoesNothingWithoutReloadOnClose)
{
    EnhancedFormDesign design;
    design.reloadOnClose = false;
    const auto form = makeForm(design);
    form->modalResultOk = true;
    form->close();
    EXPECT_EQ(events.closeHandled, 1);
    EXPECT_FALSE(QFile::exists(path()));
}

TEST_F(FormEnhTest, FailureToSaveAtDestructionReachesTheForm)
{
    QTemporaryDir dir;
    // A regular file stands where the settings file's folder would be.
    QFile plain(dir.filePath("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QString unreachable = dir.filePath("plain/corvane.set");
    auto form = std::make_unique<TEnhancedForm>(unreachable, events);
    form.reset();
    EXPECT_TRUE(events.saveError.isEmpty()) << "destruction raises nothing";
    EXPECT_EQ(events.saveFailure, "The settings were not saved: Unable to write to " + unreachable +
                                      ": " + reasonOf(ENOTDIR) +
                                      ". The settings file is as it was.");
}

TEST_F(FormEnhTest, SettingsThatCannotBeReadAreAnnouncedAtStartAndNeverWritten)
{
    ASSERT_TRUE(setMode(QFileInfo(path()).path(), 0755));
    prepare(storedForm);
    ASSERT_TRUE(setMode(path(), 0));
    {
        const OtherUser user;
        if (!OtherUser::permissionsApply())
            GTEST_SKIP() << "file permissions cannot be made to apply here";
        auto form = makeForm();
        EXPECT_EQ(form->FormEnh1->Refusal(),
                  "The settings file " + path() + " cannot be read (" + reasonOf(EACCES) +
                      "): the stored settings are not used, and it will not be written.");
        EXPECT_EQ(events.nameAtCreate, "designed");
        form->Name_Edit->setText("changed");
        form.reset();
    }
    EXPECT_TRUE(events.saveFailure.isEmpty()) << qPrintable(events.saveFailure);
    EXPECT_TRUE(events.saveError.isEmpty()) << qPrintable(events.saveError);
    EXPECT_EQ(fileContent(path()), storedForm);
}

TEST(FormEnhOnAFullDisk, SaysOnceAtDestructionThatTheSettingsWereNotSavedAndKeepsThem)
{
    const SmallTmpfs disk;
    if (!disk.skipReason().isEmpty())
        GTEST_SKIP() << qPrintable(disk.skipReason());
    const QString path = disk.filePath("corvane.set");
    FormEvents events;
    auto form = std::make_unique<TEnhancedForm>(path, events);
    form.reset();
    const QByteArray saved = fileContent(path);
    ASSERT_TRUE(saved.contains("\nName_Edit=designed\n"));

    form = std::make_unique<TEnhancedForm>(path, events);
    EXPECT_TRUE(form->FormEnh1->Refusal().isEmpty());
    form->Name_Edit->setText("changed");
    ASSERT_GT(disk.fill("filler"), 0);
    form.reset();
    EXPECT_EQ(events.saveFailure, "The settings were not saved: Unable to write to " + path + ": " +
                                      reasonOf(ENOSPC) + ". The settings file is as it was.");
    EXPECT_EQ(fileContent(path), saved);
}

} // namespace
