#include "controls/Getdata.h"

#include "controls/Beep.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QMenu>
#include <QStyle>
#include <QTest>
#include <QVBoxLayout>
#include <climits>
#include <gtest/gtest.h>

namespace {

// The main window's numeric fields, with their bounds and starting values.
struct FieldSetup
{
    int minValue;
    int maxValue;
    int value;
};
constexpr FieldSetup protocolIdentifier{0, 255, 0};
constexpr FieldSetup destIssi{1, 16777215, 1};
constexpr FieldSetup repetitions{1, 999999999, 1};
constexpr FieldSetup delay{0, INT_MAX, 0};
constexpr FieldSetup unbounded{0, 0, 0};

// A shown, active window with the field under test and a second field to
// move the focus to.
class TGetLongTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setBeepHandler([this] { ++m_beeps; });
        auto *layout = new QVBoxLayout(&m_window);
        m_field = new TGetLong;
        m_other = new QLineEdit;
        layout->addWidget(m_field);
        layout->addWidget(m_other);
        m_window.show();
        m_window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&m_window));
        leave();
    }

    void TearDown() override { setBeepHandler({}); }

    // As the form does: properties first, then the end of loading.
    void load(const FieldSetup &setup, int increment = 0)
    {
        m_field->setMinValue(setup.minValue);
        m_field->setMaxValue(setup.maxValue);
        m_field->setIncrement(increment);
        m_field->setValue(setup.value);
        m_field->Loaded();
    }

    void enter()
    {
        m_field->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(m_field->hasFocus());
    }

    void leave()
    {
        m_other->setFocus(Qt::TabFocusReason);
        ASSERT_FALSE(m_field->hasFocus());
    }

    // Tabbing in selects the whole text, so the typing replaces it.
    void typeAndLeave(const char *keys)
    {
        enter();
        QTest::keyClicks(m_field, QString::fromLatin1(keys));
        leave();
    }

    void sendFocusOut(Qt::FocusReason reason)
    {
        QFocusEvent event(QEvent::FocusOut, reason);
        QApplication::sendEvent(m_field, &event);
    }

    QAbstractButton *spinButton(const char *name) const
    {
        return m_field->findChild<QAbstractButton *>(QString::fromLatin1(name));
    }

    QWidget m_window;
    TGetLong *m_field = nullptr;
    QLineEdit *m_other = nullptr;
    int m_beeps = 0;
};

TEST_F(TGetLongTest, NewFieldShowsZeroAndCarriesVisibleSpinButtons)
{
    EXPECT_EQ(m_field->text(), "0");
    EXPECT_EQ(m_field->Value(), 0);
    EXPECT_TRUE(m_field->EditorEnabled());
    QAbstractButton *up = spinButton("stepUpButton");
    ASSERT_NE(up, nullptr);
    EXPECT_TRUE(up->isVisible());
    EXPECT_EQ(up->parentWidget()->width(), 15);
}

TEST_F(TGetLongTest, FormPropertiesReachTheField)
{
    m_field->setProperty("minValue", 1);
    m_field->setProperty("maxValue", 10);
    m_field->setProperty("increment", 3);
    m_field->setProperty("value", 50);
    m_field->setProperty("editorEnabled", false);
    EXPECT_EQ(m_field->MinValue(), 1);
    EXPECT_EQ(m_field->MaxValue(), 10);
    EXPECT_EQ(m_field->Increment(), 3);
    EXPECT_EQ(m_field->text(), "10");
    EXPECT_EQ(m_field->property("value").toInt(), 10);
    EXPECT_FALSE(m_field->EditorEnabled());
}

// --- key filter

TEST_F(TGetLongTest, DigitsMinusAndControlCharactersAreTyped)
{
    load(delay);
    enter();
    QTest::keyClicks(m_field, "-1234567890");
    EXPECT_EQ(m_field->text(), "-1234567890");
    QTest::keyClick(m_field, Qt::Key_Backspace);
    EXPECT_EQ(m_field->text(), "-123456789");
    QTest::keyClick(m_field, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(m_field->selectedText(), "-123456789");
    QTest::keyClick(m_field, Qt::Key_Escape);
    EXPECT_EQ(m_beeps, 0);
}

TEST_F(TGetLongTest, OtherCharactersAndEnterBeepAndChangeNothing)
{
    load(delay);
    enter();
    QTest::keyClicks(m_field, "12");
    int expectedBeeps = 0;
    for (const char key : {'+', '.', ',', 'a', 'Z', ' ', '$', 'e'}) {
        QTest::keyClick(m_field, key);
        EXPECT_EQ(m_beeps, ++expectedBeeps) << key;
    }
    QTest::keyClick(m_field, Qt::Key_Return);
    QTest::keyClick(m_field, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(m_beeps, expectedBeeps + 2);
    EXPECT_EQ(m_field->text(), "12");
}

TEST_F(TGetLongTest, WithEditorDisabledOnlyControlCharactersOtherThanBackspacePass)
{
    load(delay);
    m_field->setText("42");
    m_field->setEditorEnabled(false);
    enter();
    m_field->end(false);
    for (const char key : {'7', '-', 'x'})
        QTest::keyClick(m_field, key);
    QTest::keyClick(m_field, Qt::Key_Backspace);
    EXPECT_EQ(m_beeps, 4);
    EXPECT_EQ(m_field->text(), "42");
    int returns = 0;
    QObject::connect(m_field, &QLineEdit::returnPressed, [&] { ++returns; });
    QTest::keyClick(m_field, Qt::Key_Return);
    EXPECT_EQ(m_beeps, 5);
    EXPECT_EQ(returns, 0);

    QTest::keyClick(m_field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(m_field, Qt::Key_Escape);
    EXPECT_EQ(m_beeps, 5);
    EXPECT_EQ(m_field->selectedText(), "42");
}

// A field that only steps must not lose its text to the keys that delete
// or undo without typing a character.
TEST_F(TGetLongTest, WithEditorDisabledDeletingAndUndoingKeysAreRefused)
{
    load(delay);
    enter();
    QTest::keyClicks(m_field, "42");
    m_field->setEditorEnabled(false);
    m_field->home(false);
    QTest::keyClick(m_field, Qt::Key_Delete);
    QTest::keyClick(m_field, Qt::Key_Delete, Qt::ControlModifier);
    m_field->end(false);
    QTest::keyClick(m_field, Qt::Key_Backspace, Qt::ControlModifier);
    QTest::keyClick(m_field, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(m_field->text(), "42");
    EXPECT_EQ(m_beeps, 4);
}

TEST_F(TGetLongTest, DeleteKeyEditsAnEnabledField)
{
    load(delay);
    m_field->setText("42");
    enter();
    m_field->home(false);
    QTest::keyClick(m_field, Qt::Key_Delete);
    EXPECT_EQ(m_field->text(), "2");
    EXPECT_EQ(m_beeps, 0);
}

TEST_F(TGetLongTest, InputMethodCommitsPassTheSameFilter)
{
    load(delay);
    m_field->setText("1");
    enter();
    m_field->end(false);
    QInputMethodEvent digit;
    digit.setCommitString("7");
    QApplication::sendEvent(m_field, &digit);
    EXPECT_EQ(m_field->text(), "17");
    QInputMethodEvent letters;
    letters.setCommitString("x9");
    QApplication::sendEvent(m_field, &letters);
    EXPECT_EQ(m_field->text(), "17");
    EXPECT_EQ(m_beeps, 1);

    m_field->setEditorEnabled(false);
    QApplication::sendEvent(m_field, &digit);
    QInputMethodEvent deletion;
    deletion.setCommitString({}, -1, 1);
    QApplication::sendEvent(m_field, &deletion);
    EXPECT_EQ(m_field->text(), "17");
    EXPECT_EQ(m_beeps, 3);
}

TEST_F(TGetLongTest, DroppedTextIsNotAccepted)
{
    EXPECT_FALSE(m_field->acceptDrops());
}

// --- paste and cut

TEST_F(TGetLongTest, PasteAndCutWorkInAnEditableField)
{
    load(delay);
    QGuiApplication::clipboard()->setText("77");
    m_field->setText("1");
    enter();
    m_field->end(false);
    QTest::keyClick(m_field, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(m_field->text(), "177");
    QTest::keyClick(m_field, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(m_field->text(), "17777");
    m_field->selectAll();
    QTest::keyClick(m_field, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(m_field->text(), "");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "17777");
}

TEST_F(TGetLongTest, PasteAndCutAreIgnoredWhenTheEditorIsDisabledOrReadOnly)
{
    load(delay);
    for (const bool editorDisabled : {true, false}) {
        m_field->setEditorEnabled(!editorDisabled);
        m_field->setReadOnly(!editorDisabled);
        QGuiApplication::clipboard()->setText("77");
        m_field->setText("5");
        enter();
        m_field->selectAll();
        QTest::keyClick(m_field, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(m_field, Qt::Key_Insert, Qt::ShiftModifier);
        QTest::keyClick(m_field, Qt::Key_X, Qt::ControlModifier);
        QTest::keyClick(m_field, Qt::Key_Delete, Qt::ShiftModifier);
        EXPECT_EQ(m_field->text(), "5") << editorDisabled;
        EXPECT_EQ(QGuiApplication::clipboard()->text(), "77") << editorDisabled;
        EXPECT_EQ(m_beeps, 0);
    }
}

class TGetLongContextMenuTest : public TGetLongTest
{
protected:
    // Opens the field's context menu and triggers every enabled action in
    // turn; returns how many of them changed the text.
    int textChangingMenuActions()
    {
        QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(2, 2),
                                m_field->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(m_field, &event);
        auto *menu = m_field->findChild<QMenu *>();
        if (menu == nullptr) {
            ADD_FAILURE() << "no context menu";
            return 0;
        }
        int changes = 0;
        for (QAction *action : menu->actions()) {
            if (!action->isEnabled() || action->isSeparator())
                continue;
            const QString before = m_field->text();
            m_field->selectAll();
            action->trigger();
            if (m_field->text() != before)
                ++changes;
        }
        menu->close();
        delete menu;
        return changes;
    }
};

TEST_F(TGetLongContextMenuTest, OffersNoTextChangeWhenTheEditorIsDisabled)
{
    QGuiApplication::clipboard()->setText("77");
    m_field->setText("5");
    m_field->setEditorEnabled(false);
    EXPECT_EQ(textChangingMenuActions(), 0);
    EXPECT_EQ(m_field->text(), "5");
    EXPECT_FALSE(m_field->isReadOnly());
}

TEST_F(TGetLongContextMenuTest, EditsAnEnabledField)
{
    QGuiApplication::clipboard()->setText("77");
    m_field->setText("5");
    EXPECT_GT(textChangingMenuActions(), 0);
}

TEST_F(TGetLongTest, MiddleButtonPastesNoSelectionIntoADisabledEditor)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard->supportsSelection())
        GTEST_SKIP() << "the platform has no selection clipboard";
    clipboard->setText("77", QClipboard::Selection);
    m_field->setText("5");
    m_field->setEditorEnabled(false);
    QTest::mouseClick(m_field, Qt::MiddleButton);
    EXPECT_EQ(m_field->text(), "5");
    m_field->setEditorEnabled(true);
    QTest::mouseClick(m_field, Qt::MiddleButton);
    EXPECT_NE(m_field->text(), "5");
}

// --- reading and writing the value

TEST_F(TGetLongTest, UnconvertibleTextReadsAsMinValue)
{
    load(destIssi);
    for (const char *text : {"", "-", "abc", "12a", "2147483648", "$"}) {
        m_field->setText(QString::fromLatin1(text));
        EXPECT_EQ(m_field->Value(), 1) << text;
    }
    m_field->setText(" $1F");
    EXPECT_EQ(m_field->Value(), 31);
    m_field->setText("300000000");
    EXPECT_EQ(m_field->Value(), 16777215) << "a value is used only within its bounds";
    m_field->setText("-3");
    EXPECT_EQ(m_field->Value(), 1);
}

TEST_F(TGetLongTest, BoundedTextKeepsAnInRangeFormAndReplacesAnythingElse)
{
    load(destIssi);
    const std::pair<const char *, const char *> cases[] = {
        {"00123", "00123"},
        {"$1F", "$1F"},
        {"16777215", "16777215"},
        {"16777216", "16777215"},
        {"0", "1"},
        {"99999999999", "1"},
        {"abc", "1"},
        {"", "1"},
    };
    for (const auto &[typed, handedOn] : cases) {
        m_field->setText(QString::fromLatin1(typed));
        EXPECT_EQ(m_field->boundedText(), handedOn) << typed;
    }
}

TEST_F(TGetLongTest, WritingClampsAndWritesDecimal)
{
    load(protocolIdentifier);
    m_field->setValue(300);
    EXPECT_EQ(m_field->text(), "255");
    m_field->setValue(-1);
    EXPECT_EQ(m_field->text(), "0");
    m_field->setValue(0x7f);
    EXPECT_EQ(m_field->text(), "127");
}

TEST_F(TGetLongTest, EqualBoundsMeanNoBounds)
{
    load(unbounded);
    m_field->setValue(-250);
    EXPECT_EQ(m_field->text(), "-250");
    typeAndLeave("-2147483648");
    EXPECT_EQ(m_field->text(), "-2147483648");
    EXPECT_EQ(m_field->Value(), INT_MIN);

    m_field->setMinValue(7);
    m_field->setMaxValue(7);
    typeAndLeave("-9");
    EXPECT_EQ(m_field->text(), "-9");
}

// --- leaving the field

TEST_F(TGetLongTest, ProtocolIdentifierClampsOnLeaving)
{
    load(protocolIdentifier);
    typeAndLeave("300");
    EXPECT_EQ(m_field->text(), "255");
    typeAndLeave("-5");
    EXPECT_EQ(m_field->text(), "0");
}

TEST_F(TGetLongTest, DestIssiClampsOnLeaving)
{
    load(destIssi);
    typeAndLeave("16777216");
    EXPECT_EQ(m_field->text(), "16777215");
    typeAndLeave("0");
    EXPECT_EQ(m_field->text(), "1");
    typeAndLeave("16777215");
    EXPECT_EQ(m_field->text(), "16777215");
}

TEST_F(TGetLongTest, AFieldThatDoesNotClampKeepsItsTextOnLeaving)
{
    load(destIssi);
    m_field->setClampsOnExit(false);
    typeAndLeave("262100009876543");
    EXPECT_EQ(m_field->text(), "262100009876543");
    // What it hands on is still bounded; its owner reads the text itself.
    EXPECT_EQ(m_field->boundedText(), "1");
}

TEST_F(TGetLongTest, RepetitionsClampsOnLeavingAndAnEmptyFieldShowsItsValue)
{
    load(repetitions);
    typeAndLeave("1000000000");
    EXPECT_EQ(m_field->text(), "999999999");
    enter();
    QTest::keyClick(m_field, Qt::Key_Backspace);
    leave();
    EXPECT_EQ(m_field->text(), "1");
    EXPECT_EQ(m_field->Value(), 1);
}

TEST_F(TGetLongTest, DelayIsNeverNegative)
{
    load(delay);
    m_field->setText("-1000");
    EXPECT_EQ(m_field->Value(), 0);
    typeAndLeave("-1000");
    EXPECT_EQ(m_field->text(), "0");
    typeAndLeave("2147483647");
    EXPECT_EQ(m_field->text(), "2147483647");
}

TEST_F(TGetLongTest, InRangeTextKeepsItsFormOnLeaving)
{
    load(protocolIdentifier);
    typeAndLeave("007");
    EXPECT_EQ(m_field->text(), "007");
    m_field->setText("$FF");
    enter();
    leave();
    EXPECT_EQ(m_field->text(), "$FF");
    m_field->setText("$100");
    enter();
    leave();
    EXPECT_EQ(m_field->text(), "255");
}

TEST_F(TGetLongTest, UnconvertibleTextShowsItsClampedValueOnLeaving)
{
    load(destIssi);
    for (const char *text : {"abc", "-", "", "99999999999"}) {
        m_field->setText(QString::fromLatin1(text));
        enter();
        leave();
        EXPECT_EQ(m_field->text(), "1") << text;
    }
}

// Switching to another window or opening a menu does not leave the field.
TEST_F(TGetLongTest, LosingTheWindowOrOpeningAPopupDoesNotClamp)
{
    load(protocolIdentifier);
    m_field->setText("300");
    sendFocusOut(Qt::ActiveWindowFocusReason);
    sendFocusOut(Qt::PopupFocusReason);
    EXPECT_EQ(m_field->text(), "300");
    sendFocusOut(Qt::MouseFocusReason);
    EXPECT_EQ(m_field->text(), "255");
}

TEST_F(TGetLongTest, ExitHandlingRunsBeforeTheClamp)
{
    load(protocolIdentifier);
    QString textAtExit;
    QObject::connect(m_field, &QLineEdit::editingFinished,
                     [this, &textAtExit] { textAtExit = m_field->text(); });
    typeAndLeave("300");
    EXPECT_EQ(textAtExit, "300");
    EXPECT_EQ(m_field->text(), "255");
}

// --- entering the field

TEST_F(TGetLongTest, EnteringSelectsAllUnlessByMouse)
{
    m_field->setText("1234");
    m_field->setFocus(Qt::OtherFocusReason);
    EXPECT_EQ(m_field->selectedText(), "1234");
    leave();
    m_field->deselect();
    m_field->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(m_field->selectedText(), "");
    leave();
    m_field->deselect();
    m_field->setAutoSelect(false);
    m_field->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(m_field->selectedText(), "");
}

// --- stepping

TEST_F(TGetLongTest, StepsByIncrementAndClamps)
{
    load({0, 100, 95}, 5);
    m_field->StepUp();
    EXPECT_EQ(m_field->text(), "100");
    m_field->StepUp();
    EXPECT_EQ(m_field->text(), "100");
    m_field->setValue(7);
    m_field->StepDown();
    EXPECT_EQ(m_field->text(), "2");
    m_field->StepDown();
    EXPECT_EQ(m_field->text(), "0");
    EXPECT_EQ(m_beeps, 0);
}

TEST_F(TGetLongTest, ArrowKeysStep)
{
    load({0, 0, 10}, 3);
    enter();
    QTest::keyClick(m_field, Qt::Key_Up);
    EXPECT_EQ(m_field->text(), "13");
    QTest::keyClick(m_field, Qt::Key_Down);
    QTest::keyClick(m_field, Qt::Key_Down);
    EXPECT_EQ(m_field->text(), "7");

    m_field->setEditorEnabled(false);
    QTest::keyClick(m_field, Qt::Key_Up);
    EXPECT_EQ(m_field->text(), "10");
    EXPECT_EQ(m_beeps, 0);
}

TEST_F(TGetLongTest, SteppingWrapsAtThe32BitLimitsBeforeClamping)
{
    load(unbounded, 1);
    m_field->setValue(INT_MAX);
    m_field->StepUp();
    EXPECT_EQ(m_field->Value(), INT_MIN);
    m_field->StepDown();
    EXPECT_EQ(m_field->Value(), INT_MAX);

    // A stored number beyond the bounds steps from the bound it is read as.
    load({-10, 10, 0}, 1);
    m_field->setText("2147483647");
    m_field->StepDown();
    EXPECT_EQ(m_field->text(), "9");
}

TEST_F(TGetLongTest, ArrowKeysWithoutIncrementRewriteTheClampedNumber)
{
    load(protocolIdentifier);
    enter();
    m_field->setText("$0A");
    QTest::keyClick(m_field, Qt::Key_Up);
    EXPECT_EQ(m_field->text(), "10");
    m_field->setText("300");
    QTest::keyClick(m_field, Qt::Key_Down);
    EXPECT_EQ(m_field->text(), "255");

    load(repetitions);
    m_field->setText("");
    QTest::keyClick(m_field, Qt::Key_Up);
    EXPECT_EQ(m_field->text(), "1");
}

TEST_F(TGetLongTest, ReadOnlyFieldOnlyBeepsWhenStepped)
{
    load({0, 100, 50}, 5);
    m_field->setReadOnly(true);
    m_field->StepUp();
    m_field->StepDown();
    EXPECT_EQ(m_field->text(), "50");
    EXPECT_EQ(m_beeps, 2);
}

// --- spin buttons and geometry

TEST_F(TGetLongTest, LoadingWithoutPositiveIncrementHidesTheSpinButtons)
{
    load(protocolIdentifier, 0);
    EXPECT_FALSE(spinButton("stepUpButton")->isVisible());

    m_field->setIncrement(-3);
    m_field->Loaded();
    EXPECT_EQ(m_field->Increment(), 0);
}

TEST_F(TGetLongTest, SpinButtonsStepTheField)
{
    load({0, 100, 10}, 2);
    QAbstractButton *up = spinButton("stepUpButton");
    ASSERT_TRUE(up->isVisible());
    QTest::mouseClick(up, Qt::LeftButton);
    EXPECT_EQ(m_field->text(), "12");
    EXPECT_TRUE(m_field->hasFocus());
    QTest::mouseClick(spinButton("stepDownButton"), Qt::LeftButton);
    QTest::mouseClick(spinButton("stepDownButton"), Qt::LeftButton);
    EXPECT_EQ(m_field->text(), "8");
}

TEST_F(TGetLongTest, SpinButtonsSitAtTheRightEdgeClearOfTheText)
{
    load({0, 100, 10}, 2);
    m_field->resize(120, 40);
    const QWidget *pair = spinButton("stepUpButton")->parentWidget();
    const int frame = m_field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, m_field);
    EXPECT_EQ(pair->width(), 15);
    EXPECT_EQ(pair->geometry().right(), 120 - frame - 2);
    EXPECT_EQ(pair->geometry().top(), frame);
    EXPECT_EQ(pair->geometry().bottom(), 40 - frame - 1);
    EXPECT_EQ(m_field->textMargins().right(), 17);

    m_field->setFrame(false);
    m_field->resize(100, 40);
    EXPECT_EQ(pair->geometry().right(), 100 - 2);
    EXPECT_EQ(pair->height(), 40);
}

TEST_F(TGetLongTest, HeightNeverDropsBelowTheFontsMinimum)
{
    const auto expectedMinimum = [this] {
        const int field = m_field->fontMetrics().height();
        const int system = QFontMetrics(QApplication::font()).height();
        const int frame =
            m_field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, m_field);
        return field + std::min(field, system) / 4 + 4 * frame + 2;
    };
    m_field->resize(100, 3);
    EXPECT_EQ(m_field->height(), expectedMinimum());

    QFont large = m_field->font();
    large.setPixelSize(40);
    m_field->setFont(large);
    m_field->resize(100, 3);
    EXPECT_GT(m_field->height(), 40);
    EXPECT_EQ(m_field->height(), expectedMinimum());
}

// --- history combo box

class THistComboBoxTest : public ::testing::Test
{
protected:
    void add(const QString &text)
    {
        m_box.setEditText(text);
        m_box.AddTextToHistory();
    }

    QStringList entries() const
    {
        QStringList list;
        for (int index = 0; index < m_box.count(); ++index)
            list << m_box.itemText(index);
        return list;
    }

    THistComboBox m_box;
};

TEST_F(THistComboBoxTest, IsEditableAndKeepsNineByDefault)
{
    EXPECT_TRUE(m_box.isEditable());
    EXPECT_EQ(m_box.property("maxHistoryLength").toInt(), 9);
    m_box.setProperty("maxHistoryLength", 4);
    EXPECT_EQ(m_box.MaxHistoryLength(), 4);
}

TEST_F(THistComboBoxTest, TypingAPrefixOfAnEntryKeepsWhatWasTyped)
{
    add("hello world");
    m_box.show();
    m_box.setEditText(QString());
    m_box.lineEdit()->setFocus();
    QTest::keyClicks(m_box.lineEdit(), "hel");
    EXPECT_EQ(m_box.currentText(), "hel");
}

TEST_F(THistComboBoxTest, BlankTextAddsNothing)
{
    add("first");
    for (const QString &blank :
         {QString(), QStringLiteral("   "), QStringLiteral(" \t\r\n\x01 ")}) {
        add(blank);
        EXPECT_EQ(entries(), QStringList{"first"});
        EXPECT_EQ(m_box.currentText(), blank);
    }
}

TEST_F(THistComboBoxTest, StoresAndShowsTheTextWithoutSurroundingBlanks)
{
    add("  hello world\t\r\n");
    EXPECT_EQ(entries(), QStringList{"hello world"});
    EXPECT_EQ(m_box.currentText(), "hello world");
    EXPECT_EQ(m_box.currentIndex(), 0);

    add(QString::fromLatin1("\x1f\xa0x\xa0 "));
    EXPECT_EQ(m_box.itemText(0), QString::fromLatin1("\xa0x\xa0"));
}

TEST_F(THistComboBoxTest, NewestComesFirstAndIsSelected)
{
    for (const char *text : {"a", "b", "c"})
        add(text);
    EXPECT_EQ(entries(), (QStringList{"c", "b", "a"}));
    m_box.setCurrentIndex(2);
    add("d");
    EXPECT_EQ(m_box.currentIndex(), 0);
    EXPECT_EQ(m_box.currentText(), "d");
}

TEST_F(THistComboBoxTest, ReusedTextMovesToTheTopWithoutGrowth)
{
    for (const char *text : {"a", "b", "c", "d", "e"})
        add(text);
    m_box.setCurrentIndex(3);
    ASSERT_EQ(m_box.currentText(), "b");
    m_box.AddTextToHistory();
    EXPECT_EQ(entries(), (QStringList{"b", "e", "d", "c", "a"}));
    add("b");
    EXPECT_EQ(entries(), (QStringList{"b", "e", "d", "c", "a"}));
}

TEST_F(THistComboBoxTest, TheSameTextAgainChangesNothing)
{
    add("a");
    add("series");
    int changes = 0;
    for (const auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        QObject::connect(m_box.model(), signal, &m_box, [&changes] { ++changes; });
    add("series");
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(entries(), (QStringList{"series", "a"}));
    // With blanks around it, the field is still trimmed.
    add(" series ");
    EXPECT_EQ(m_box.currentText(), "series");
}

TEST_F(THistComboBoxTest, EntriesAreCaseSensitive)
{
    add("Hello");
    add("hello");
    add("HELLO");
    EXPECT_EQ(entries(), (QStringList{"HELLO", "hello", "Hello"}));
}

TEST_F(THistComboBoxTest, TheTenthTextDropsTheOldest)
{
    for (int number = 1; number <= 10; ++number)
        add(QString::number(number));
    QStringList expected;
    for (int number = 10; number >= 2; --number)
        expected << QString::number(number);
    EXPECT_EQ(entries(), expected);
}

TEST_F(THistComboBoxTest, OverlongRestoredListIsCutAtTheNextAddition)
{
    QStringList restored;
    for (int number = 1; number <= 12; ++number)
        restored << QString::number(number);
    restored << "new";
    m_box.addItems(restored);
    add("new");
    EXPECT_EQ(entries(), (QStringList{"new", "1", "2", "3", "4", "5", "6", "7", "8"}));
}

TEST_F(THistComboBoxTest, TheNewEntryStaysWhateverTheMaximum)
{
    for (const int maximum : {1, 0, -5}) {
        m_box.clear();
        m_box.setMaxHistoryLength(maximum);
        add("old");
        add("new");
        EXPECT_EQ(entries(), QStringList{"new"}) << maximum;
        EXPECT_EQ(m_box.currentText(), "new") << maximum;
    }
}

TEST_F(THistComboBoxTest, EnterInTheEditAddsNoEntry)
{
    add("kept");
    m_box.setEditText("typed");
    QTest::keyClick(m_box.lineEdit(), Qt::Key_Return);
    EXPECT_EQ(entries(), QStringList{"kept"});
}

} // namespace
