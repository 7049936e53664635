#include "formstate/OnlyOne.h"

#include "TestFiles.h"
#include "TestForm.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

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
    EXPECT_EQ(events.saveError, "Unable to write to " + unreachable);
}

} // namespace
