#include "formstate/FormState.h"

#include "TestFiles.h"
#include "TestForm.h"

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class FormStateTest : public ::testing::Test
{
protected:
    QString path() const { return m_dir.filePath(QStringLiteral("corvane.set")); }
    void prepare(const QByteArray &content) const { writeFileContent(path(), content); }

private:
    QTemporaryDir m_dir;
};

void showAt(QWidget &form, const QPoint &position, const QSize &size)
{
    form.move(position);
    form.resize(size);
    form.show();
    QApplication::processEvents();
}

TEST_F(FormStateTest, PlacementIsWrittenInOrderAndComesBack)
{
    TTestForm saved;
    showAt(saved, {120, 80}, {500, 620});
    SaveFormState(&saved, path());
    EXPECT_EQ(fileText(path()), "[TTestFormState]\nTestForm1.Left=120\nTestForm1.Top=80\n"
                                "TestForm1.Width=500\nTestForm1.Height=620\n"
                                "TestForm1.WindowState=0\n");

    TTestForm restored;
    LoadFormState(&restored, path());
    EXPECT_EQ(restored.pos(), QPoint(120, 80));
    EXPECT_EQ(restored.size(), QSize(500, 620));
    EXPECT_EQ(restored.windowState(), Qt::WindowNoState);
}

TEST_F(FormStateTest, FormPlacedByTheSystemGetsBackOnlyItsSizeAndState)
{
    TTestForm saved;
    showAt(saved, {120, 80}, {500, 620});
    SaveFormState(&saved, path());

    TTestForm restored;
    formstate::setWindowPlacement(&restored, formstate::WindowPlacement::SystemChooses);
    const QPoint designed = restored.pos();
    LoadFormState(&restored, path());
    EXPECT_EQ(restored.pos(), designed);
    EXPECT_EQ(restored.size(), QSize(500, 620));

    // A position-only restore places the form exactly and drops that rule.
    TTestForm placed;
    formstate::setWindowPlacement(&placed, formstate::WindowPlacement::SystemChooses);
    LoadFormPosition(&placed, path());
    EXPECT_EQ(placed.pos(), QPoint(120, 80));
    EXPECT_EQ(formstate::windowPlacement(&placed), formstate::WindowPlacement::AsDesigned);
}

TEST_F(FormStateTest, EdgeOffTheScreenIsSavedAsZero)
{
    TTestForm form;
    showAt(form, {-20, 6000}, {500, 620});
    SaveFormState(&form, path());
    const QByteArray content = fileContent(path());
    EXPECT_TRUE(content.contains("\nTestForm1.Left=0\n")) << content.constData();
    EXPECT_TRUE(content.contains("\nTestForm1.Top=0\n")) << content.constData();
    EXPECT_EQ(form.pos(), QPoint(0, 0));
}

TEST_F(FormStateTest, MaximisedWindowComesBackMaximisedWithItsNormalSize)
{
    TTestForm saved;
    showAt(saved, {30, 40}, {500, 620});
    saved.showMaximized();
    QApplication::processEvents();
    SaveFormState(&saved, path());
    const QByteArray content = fileContent(path());
    EXPECT_TRUE(content.contains("\nTestForm1.WindowState=2\n")) << content.constData();
    EXPECT_TRUE(content.contains("\nTestForm1.Width=500\n")) << content.constData();

    TTestForm restored;
    LoadFormState(&restored, path());
    EXPECT_TRUE(restored.windowState() & Qt::WindowMaximized);
    restored.show();
    QApplication::processEvents();
    EXPECT_TRUE(restored.isMaximized());
}

TEST_F(FormStateTest, MissingOrUnusableKeysLeaveThePlacementAlone)
{
    prepare("[TTestFormState]\nTestForm1.Left=-5000\nTestForm1.Top=abc\nTestForm1.Width=333\n"
            "TestForm1.WindowState=7\n");
    TTestForm form;
    form.move(11, 22);
    form.resize(444, 555);
    LoadFormState(&form, path());
    EXPECT_EQ(form.pos(), QPoint(11, 22));
    EXPECT_EQ(form.size(), QSize(333, 555));
    EXPECT_EQ(form.windowState(), Qt::WindowNoState);
}

TEST_F(FormStateTest, PositionOnlyRestoreLeavesSizeAndStateAlone)
{
    prepare("[TTestFormState]\nTestForm1.Left=-30\nTestForm1.Top=70\nTestForm1.Width=333\n"
            "TestForm1.Height=222\nTestForm1.WindowState=2\n");
    TTestForm form;
    form.resize(444, 555);
    LoadFormPosition(&form, path());
    EXPECT_EQ(form.pos(), QPoint(-30, 70));
    EXPECT_EQ(form.size(), QSize(444, 555));
    EXPECT_EQ(form.windowState(), Qt::WindowNoState);
}

TEST_F(FormStateTest, OnlyAWindowOfFreeSizeHasASizeableBorder)
{
    TTestForm form;
    EXPECT_TRUE(formstate::hasSizeableBorder(&form));
    form.setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    EXPECT_FALSE(formstate::hasSizeableBorder(&form));
    TTestForm fixed;
    fixed.setFixedSize(300, 200);
    EXPECT_FALSE(formstate::hasSizeableBorder(&fixed));
}

} // namespace
