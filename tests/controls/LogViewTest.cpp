#include "controls/LogView.h"

#include "controls/Beep.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

// A shown window with a log view and a field after it in the focus chain.
class LogViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setBeepHandler([this] { ++m_beeps; });
        auto *layout = new QVBoxLayout(&m_window);
        m_view = new LogView;
        m_after = new QLineEdit;
        layout->addWidget(m_view);
        layout->addWidget(m_after);
        m_window.resize(400, 300);
        m_window.show();
        m_window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&m_window));
    }
    void TearDown() override { setBeepHandler({}); }

    void appendNumbered(int count)
    {
        for (int i = 0; i < count; ++i)
            m_view->appendLine("line " + QByteArray::number(i));
    }
    static void settle() { QCoreApplication::processEvents(); }

    QAction *menuAction(QMenu *menu, const QString &text)
    {
        for (QAction *action : menu->actions()) {
            if (action->text() == text)
                return action;
        }
        return nullptr;
    }

    QWidget m_window;
    LogView *m_view = nullptr;
    QLineEdit *m_after = nullptr;
    int m_beeps = 0;
};

} // namespace

TEST_F(LogViewTest, AppendsOfOneTurnAreLaidOutTogetherAfterIt)
{
    appendNumbered(1000);
    EXPECT_EQ(m_view->lineCount(), 1001) << "the lines are there at once";
    EXPECT_EQ(m_view->verticalScrollBar()->maximum(), 0) << "laid out only after the turn";
    settle();
    EXPECT_GT(m_view->verticalScrollBar()->maximum(), 900);
}

TEST_F(LogViewTest, FollowsNewLinesUnlessScrolledUp)
{
    appendNumbered(500);
    settle();
    EXPECT_TRUE(m_view->isFollowing());
    appendNumbered(500);
    settle();
    EXPECT_TRUE(m_view->isFollowing());
    EXPECT_GT(m_view->firstVisibleLine(), 900);

    m_view->verticalScrollBar()->setValue(10);
    appendNumbered(500);
    settle();
    EXPECT_EQ(m_view->firstVisibleLine(), 10);
    EXPECT_FALSE(m_view->isFollowing());

    m_view->verticalScrollBar()->setValue(m_view->verticalScrollBar()->maximum());
    appendNumbered(10);
    settle();
    EXPECT_TRUE(m_view->isFollowing());
}

TEST_F(LogViewTest, IsReadOnlyAndTabMovesTheFocusOn)
{
    appendNumbered(3);
    settle();
    m_view->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(m_view->hasFocus());
    QTest::keyClicks(m_view, "typed");
    QTest::keyClick(m_view, Qt::Key_Return);
    QTest::keyClick(m_view, Qt::Key_Backspace);
    EXPECT_EQ(m_view->lines(), QStringList({"", "line 0", "line 1", "line 2"}));
    QTest::keyClick(m_view, Qt::Key_Tab);
    EXPECT_TRUE(m_after->hasFocus());
    EXPECT_EQ(m_view->lineCount(), 4);
}

TEST_F(LogViewTest, MouseSelectsAcrossLinesAndCopyTakesTheSelection)
{
    m_view->appendLine("abcdef");
    m_view->appendLine("ghijkl");
    settle();
    const QFontMetrics metrics(m_view->font());
    const int cell = metrics.horizontalAdvance(QLatin1Char('M'));
    const int row = metrics.lineSpacing();
    QWidget *area = m_view->viewport();
    // From column 2 of line 1 to column 3 of line 2.
    QTest::mousePress(area, Qt::LeftButton, {}, QPoint(4 + 2 * cell, row + row / 2));
    QMouseEvent move(QEvent::MouseMove, QPointF(4 + 3 * cell, 2 * row + row / 2),
                     area->mapToGlobal(QPointF(4 + 3 * cell, 2 * row + row / 2)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(area, &move);
    QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(4 + 3 * cell, 2 * row + row / 2));
    EXPECT_EQ(m_view->selectedText(), "cdef\nghi");
    m_view->setFocus();
    QTest::keySequence(m_view, QKeySequence::Copy);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "cdef\nghi");
}

TEST_F(LogViewTest, ContextMenuCopiesSelectsAllClearsAndFinds)
{
    m_view->appendLine("one");
    m_view->appendLine("two");
    settle();
    std::unique_ptr<QMenu> menu(m_view->createContextMenu());
    QStringList texts;
    for (QAction *action : menu->actions()) {
        if (!action->isSeparator())
            texts << action->text();
    }
    EXPECT_EQ(texts, QStringList({"&Copy", "Select &All", "C&lear", "&Find..."}));
    EXPECT_FALSE(menuAction(menu.get(), "&Copy")->isEnabled());

    menuAction(menu.get(), "Select &All")->trigger();
    menu.reset(m_view->createContextMenu());
    ASSERT_TRUE(menuAction(menu.get(), "&Copy")->isEnabled());
    menuAction(menu.get(), "&Copy")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "\none\ntwo");

    menuAction(menu.get(), "&Find...")->trigger();
    ASSERT_TRUE(m_view->findField()->isVisible());
    EXPECT_TRUE(m_view->findField()->hasFocus());
    QTest::keyClicks(m_view->findField(), "TW");
    QTest::keyClick(m_view->findField(), Qt::Key_Return);
    EXPECT_EQ(m_view->selectedText(), "tw");

    menuAction(menu.get(), "C&lear")->trigger();
    EXPECT_EQ(m_view->lines(), QStringList({""}));
    EXPECT_FALSE(m_view->hasSelection());
}

TEST_F(LogViewTest, FindReachesEveryLineScrollsToItAndWraps)
{
    appendNumbered(100000);
    m_view->appendLine("the needle is here");
    appendNumbered(100);
    settle();
    m_view->verticalScrollBar()->setValue(0);
    ASSERT_TRUE(m_view->find("NEEDLE"));
    EXPECT_EQ(m_view->selectedText(), "needle");
    const int needleLine = 100001;
    EXPECT_LE(m_view->firstVisibleLine(), needleLine);
    EXPECT_GT(m_view->firstVisibleLine() +
                  m_view->viewport()->height() / QFontMetrics(m_view->font()).lineSpacing(),
              needleLine);
    ASSERT_TRUE(m_view->find("needle")) << "the only one again, from the top";
    EXPECT_EQ(m_beeps, 0);
    EXPECT_FALSE(m_view->find("nowhere"));
    EXPECT_EQ(m_beeps, 1);
}

TEST_F(LogViewTest, SelectAllCopiesTheWholePane)
{
    appendNumbered(50000);
    m_view->selectAll();
    m_view->copy();
    const QString copied = QGuiApplication::clipboard()->text();
    EXPECT_TRUE(copied.startsWith("\nline 0\nline 1\n"));
    EXPECT_TRUE(copied.endsWith("\nline 49999"));
    EXPECT_EQ(copied.count(QLatin1Char('\n')), 50000);
}

TEST_F(LogViewTest, SetLinesReplacesEverything)
{
    appendNumbered(5);
    m_view->setLines({"a", "b"});
    EXPECT_EQ(m_view->lines(), QStringList({"a", "b"}));
    m_view->setLines({});
    EXPECT_EQ(m_view->lines(), QStringList({""}));
}
