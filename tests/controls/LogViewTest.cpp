#include "controls/LogView.h"

#include "controls/Beep.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
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

    // Finds and waits for the answer; true when found.
    bool findAndWait(const QString &text)
    {
        QSignalSpy finished(m_view, &LogView::findFinished);
        m_view->find(text);
        EXPECT_TRUE(!finished.isEmpty() || finished.wait(60000));
        return finished.size() == 1 && finished.at(0).at(0).toBool();
    }
    void removeLimits() { m_view->setLimits(INT_MAX, qint64(1) << 40); }
    int visibleRows() const
    {
        return m_view->viewport()->height() / QFontMetrics(m_view->font()).lineSpacing();
    }

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

TEST_F(LogViewTest, WithALayoutIntervalLinesSoonAfterALayoutWaitForItsEnd)
{
    // A scroll bar that comes or goes resizes the pane, which lays out
    // everything at once: here they stay.
    m_view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    settle();
    // Far longer than the test: what waits has not been laid out by the clock.
    m_view->setLayoutInterval(3'600'000);
    appendNumbered(100);
    settle();
    const int firstMaximum = m_view->verticalScrollBar()->maximum();
    EXPECT_GT(firstMaximum, 50) << "the first lines after a quiet spell at the next turn";
    appendNumbered(100);
    settle();
    EXPECT_EQ(m_view->verticalScrollBar()->maximum(), firstMaximum) << "within the interval";
    EXPECT_EQ(m_view->lineCount(), 201) << "the lines themselves are there at once";
    // What needs rows and lines to agree lays out at once.
    EXPECT_TRUE(findAndWait("line 99"));
    EXPECT_GT(m_view->verticalScrollBar()->maximum(), firstMaximum + 50);

    // A short interval ends on its own.
    m_view->setLayoutInterval(20);
    appendNumbered(100);
    settle();
    const int secondMaximum = m_view->verticalScrollBar()->maximum();
    appendNumbered(100);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return m_view->verticalScrollBar()->maximum() >= secondMaximum + 100; }, 10000));
    EXPECT_TRUE(m_view->isFollowing());
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
    EXPECT_EQ(texts,
              QStringList({"&Copy", "Select &All", "C&lear", "Lines &kept in view", "&Find..."}));
    EXPECT_FALSE(menuAction(menu.get(), "&Copy")->isEnabled());

    menuAction(menu.get(), "Select &All")->trigger();
    menu.reset(m_view->createContextMenu());
    ASSERT_TRUE(menuAction(menu.get(), "&Copy")->isEnabled());
    menuAction(menu.get(), "&Copy")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "\none\ntwo");

    menuAction(menu.get(), "&Find...")->trigger();
    ASSERT_TRUE(m_view->findField()->isVisible());
    EXPECT_TRUE(m_view->findField()->hasFocus());
    QSignalSpy finished(m_view, &LogView::findFinished);
    QTest::keyClicks(m_view->findField(), "TW");
    QTest::keyClick(m_view->findField(), Qt::Key_Return);
    ASSERT_TRUE(!finished.isEmpty() || finished.wait(60000));
    EXPECT_EQ(m_view->selectedText(), "tw");

    menuAction(menu.get(), "C&lear")->trigger();
    EXPECT_EQ(m_view->lines(), QStringList({""}));
    EXPECT_FALSE(m_view->hasSelection());
}

TEST_F(LogViewTest, FindReachesEveryLineScrollsToItAndWraps)
{
    removeLimits();
    appendNumbered(100000);
    m_view->appendLine("the needle is here");
    appendNumbered(100);
    settle();
    m_view->verticalScrollBar()->setValue(0);
    ASSERT_TRUE(findAndWait("NEEDLE"));
    EXPECT_EQ(m_view->selectedText(), "needle");
    const int needleLine = 100001;
    EXPECT_LE(m_view->firstVisibleLine(), needleLine);
    EXPECT_GT(m_view->firstVisibleLine() + visibleRows(), needleLine);
    ASSERT_TRUE(findAndWait("needle")) << "the only one again, from the top";
    EXPECT_EQ(m_beeps, 0);
    EXPECT_FALSE(findAndWait("nowhere"));
    EXPECT_EQ(m_beeps, 1);
    EXPECT_FALSE(findAndWait(""));
    EXPECT_EQ(m_beeps, 2);
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

TEST_F(LogViewTest, KeepsTheLastLinesAndSaysOnTheFirstRowHowManyLeft)
{
    EXPECT_EQ(m_view->maxLines(), 100000);
    EXPECT_EQ(m_view->maxBytes(), 32 << 20);
    EXPECT_EQ(m_view->droppedNote(), "");
    m_view->setLimits(1000, 1 << 20);
    appendNumbered(5000);
    settle();
    ASSERT_EQ(m_view->lineCount(), 1000) << "the note is no line";
    EXPECT_EQ(m_view->droppedLineCount(), 4001);
    EXPECT_EQ(m_view->droppedNote(), "4,001 earlier lines are in the log file");
    EXPECT_EQ(m_view->lines().first(), "line 4000");
    EXPECT_EQ(m_view->lines().last(), "line 4999");

    m_view->setLimits(1000, 100 * 9);
    EXPECT_EQ(m_view->lineCount(), 100) << "octets of \"line 4900\" and on";
    EXPECT_EQ(m_view->lines().first(), "line 4900");
}

TEST_F(LogViewTest, TheNoteSaysWhatItsOwnerWants)
{
    m_view->setLimits(1, 1 << 20);
    m_view->setDroppedNoteFormat("%1 lines went to /var/log/pane");
    appendNumbered(1234567);
    EXPECT_EQ(m_view->droppedNote(), "1,234,567 lines went to /var/log/pane");
    m_view->appendLine("one more");
    EXPECT_EQ(m_view->droppedNote(), "1,234,568 lines went to /var/log/pane");
}

TEST_F(LogViewTest, TheNoteIsShownButNeverSelectedCopiedOrSaved)
{
    m_view->setLimits(3, 1 << 20);
    appendNumbered(10);
    settle();
    // The note's row has text on it.
    const QImage shown = m_view->viewport()->grab().toImage();
    const int row = QFontMetrics(m_view->font()).lineSpacing();
    const QRgb background = shown.pixel(shown.width() - 1, row / 2);
    bool noteDrawn = false;
    for (int x = 0; x < shown.width() / 2 && !noteDrawn; ++x) {
        for (int y = 0; y < row && !noteDrawn; ++y)
            noteDrawn = shown.pixel(x, y) != background;
    }
    EXPECT_TRUE(noteDrawn);

    m_view->selectAll();
    EXPECT_EQ(m_view->selectedText(), "line 7\nline 8\nline 9");
    m_view->copy();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "line 7\nline 8\nline 9");
    EXPECT_EQ(m_view->lines(), QStringList({"line 7", "line 8", "line 9"}));
    QByteArray saved;
    m_view->snapshot().write([&](QByteArrayView piece) {
        saved.append(piece);
        return true;
    });
    EXPECT_EQ(saved, QByteArray("line 7\r\nline 8\r\nline 9\r\n"));

    // A drag from the note selects from the start of the first line.
    QWidget *area = m_view->viewport();
    const int cell = QFontMetrics(m_view->font()).horizontalAdvance(QLatin1Char('M'));
    QTest::mousePress(area, Qt::LeftButton, {}, QPoint(4 + 3 * cell, row / 2));
    QMouseEvent move(QEvent::MouseMove, QPointF(4 + 3 * cell, 2 * row + row / 2),
                     area->mapToGlobal(QPointF(4 + 3 * cell, 2 * row + row / 2)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(area, &move);
    QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(4 + 3 * cell, 2 * row + row / 2));
    EXPECT_EQ(m_view->selectedText(), "line 7\nlin");
    QTest::mouseDClick(area, Qt::LeftButton, {}, QPoint(4, row / 2));
    EXPECT_EQ(m_view->selectedText(), "line 7\nlin")
        << "a double click on the note selects nothing";
}

TEST_F(LogViewTest, TheSelectionStaysOnItsTextWhileLinesLeaveAndGoesWithThem)
{
    m_view->setLimits(1001, 1 << 20);
    appendNumbered(1000);
    // "line 500" and "line 501" sit on lines 501 and 502, after the empty one.
    m_view->select({501, 0}, {502, 8});
    ASSERT_EQ(m_view->selectedText(), "line 500\nline 501");
    appendNumbered(300);
    EXPECT_EQ(m_view->selectedText(), "line 500\nline 501");
    m_view->copy();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "line 500\nline 501");
    appendNumbered(300);
    EXPECT_FALSE(m_view->hasSelection());
}

TEST_F(LogViewTest, FollowsTheEndAndKeepsTheLinesShownWhileLinesLeave)
{
    m_view->setLimits(1000, 1 << 20);
    for (int turn = 0; turn < 5; ++turn) {
        appendNumbered(700);
        settle();
        ASSERT_TRUE(m_view->isFollowing());
        EXPECT_EQ(m_view->firstVisibleLine() + visibleRows(), m_view->lineCount()) << turn;
    }
    // Scrolled up: the same lines stay on the screen until they leave.
    m_view->verticalScrollBar()->setValue(400);
    const int first = m_view->firstVisibleLine();
    const QByteArray shown = m_view->line(first).toByteArray();
    appendNumbered(200);
    settle();
    EXPECT_FALSE(m_view->isFollowing());
    EXPECT_EQ(m_view->line(m_view->firstVisibleLine()).toByteArray(), shown);
    EXPECT_EQ(m_view->firstVisibleLine(), first - 200);
    appendNumbered(500);
    settle();
    EXPECT_EQ(m_view->verticalScrollBar()->value(), 0) << "the note and the first lines";
    EXPECT_EQ(m_view->firstVisibleLine(), 0);
}

TEST_F(LogViewTest, FindIsRightAfterLinesHaveLeftAndWhileTheyLeave)
{
    m_view->setLimits(1000, 1 << 20);
    appendNumbered(400);
    m_view->appendLine("the needle");
    appendNumbered(3000);
    m_view->appendLine("a second needle");
    appendNumbered(500);
    settle();
    m_view->verticalScrollBar()->setValue(0);
    ASSERT_TRUE(findAndWait("needle"));
    EXPECT_EQ(m_view->selectedText(), "needle");
    const int line = 1000 - 501;
    EXPECT_EQ(m_view->line(line), QByteArrayView("a second needle"));
    EXPECT_LE(m_view->firstVisibleLine(), line);
    EXPECT_GT(m_view->firstVisibleLine() + visibleRows(), line);

    // A long search that goes on while lines come and go.
    removeLimits();
    appendNumbered(1000000);
    m_view->appendLine("needle at the end");
    m_view->setLimits(1000000, qint64(1) << 30);
    QSignalSpy finished(m_view, &LogView::findFinished);
    m_view->find("AT THE END");
    appendNumbered(100);
    ASSERT_TRUE(!finished.isEmpty() || finished.wait(60000));
    ASSERT_TRUE(finished.at(0).at(0).toBool());
    EXPECT_EQ(m_view->selectedText(), "at the end");
    EXPECT_EQ(m_view->lineCount(), 1000000);
}

TEST_F(LogViewTest, ClearGivesTheMemoryBackAndEndsASearch)
{
    removeLimits();
    appendNumbered(1000000);
    settle();
    ASSERT_GT(m_view->bytesHeld(), std::size_t(10) << 20);
    m_view->find("absent");
    std::unique_ptr<QMenu> menu(m_view->createContextMenu());
    menuAction(menu.get(), "C&lear")->trigger();
    EXPECT_FALSE(m_view->isFinding());
    EXPECT_EQ(m_view->lines(), QStringList({""}));
    // Freed in the next turns.
    EXPECT_TRUE(QTest::qWaitFor([this] { return m_view->bytesHeld() < 1024; }, 60000));
    EXPECT_EQ(m_view->droppedNote(), "");
    settle();
    EXPECT_EQ(m_view->verticalScrollBar()->maximum(), 0);
}

TEST_F(LogViewTest, TheContextMenuSetsTheLinesKeptAndTellsTheOwner)
{
    QSignalSpy chosen(m_view, &LogView::limitsChosen);
    m_view->setLimits(100000, 1 << 30);
    EXPECT_TRUE(chosen.isEmpty()) << "only the user's choice is told";
    appendNumbered(20000);
    std::unique_ptr<QMenu> menu(m_view->createContextMenu());
    QMenu *kept = menuAction(menu.get(), "Lines &kept in view")->menu();
    ASSERT_NE(kept, nullptr);
    QStringList choices;
    for (QAction *choice : kept->actions()) {
        choices << choice->text();
        EXPECT_EQ(choice->isChecked(), choice->text() == "100,000");
    }
    EXPECT_EQ(choices, QStringList({"10,000", "100,000", "1,000,000"}));

    menuAction(kept, "10,000")->trigger();
    EXPECT_EQ(m_view->maxLines(), 10000);
    EXPECT_EQ(m_view->maxBytes(), 3355443) << "as many octets a line as by default";
    EXPECT_EQ(m_view->lineCount(), 10000) << "at once";
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen.at(0).at(0).toInt(), 10000);
    EXPECT_EQ(chosen.at(0).at(1).toLongLong(), 3355443);

    menu.reset(m_view->createContextMenu());
    kept = menuAction(menu.get(), "Lines &kept in view")->menu();
    EXPECT_TRUE(menuAction(kept, "10,000")->isChecked());
    menuAction(kept, "1,000,000")->trigger();
    EXPECT_EQ(m_view->maxBytes(), qint64(320) << 20);
}
