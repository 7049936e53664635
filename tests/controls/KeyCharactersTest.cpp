#include "controls/KeyCharacters.h"

#include <QKeyEvent>
#include <gtest/gtest.h>

namespace {

QString typed(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString &text = {})
{
    const QKeyEvent event(QEvent::KeyPress, key, modifiers, text);
    return typedCharacters(event);
}

QString character(int code)
{
    return QString(QChar(code));
}

TEST(KeyCharacters, EditingKeysTypeTheirControlCharacterWhateverTheirText)
{
    EXPECT_EQ(typed(Qt::Key_Backspace), character(8));
    EXPECT_EQ(typed(Qt::Key_Backspace, Qt::NoModifier, character(8)), character(8));
    EXPECT_EQ(typed(Qt::Key_Tab), character(9));
    EXPECT_EQ(typed(Qt::Key_Backtab, Qt::ShiftModifier), character(9));
    EXPECT_EQ(typed(Qt::Key_Return), character(13));
    EXPECT_EQ(typed(Qt::Key_Enter, Qt::KeypadModifier), character(13));
    EXPECT_EQ(typed(Qt::Key_Escape), character(27));
    EXPECT_EQ(typed(Qt::Key_Backspace, Qt::ControlModifier), character(8));
}

TEST(KeyCharacters, KeysThatTypeNothing)
{
    EXPECT_TRUE(typed(Qt::Key_Delete, Qt::NoModifier, character(127)).isEmpty());
    EXPECT_TRUE(typed(Qt::Key_Delete).isEmpty());
    EXPECT_TRUE(typed(Qt::Key_Up).isEmpty());
    EXPECT_TRUE(typed(Qt::Key_F5).isEmpty());
    EXPECT_TRUE(typed(Qt::Key_1, Qt::ControlModifier, "1").isEmpty());
}

TEST(KeyCharacters, ControlWithLetterTypesItsControlCode)
{
    EXPECT_EQ(typed(Qt::Key_A, Qt::ControlModifier, "a"), character(1));
    EXPECT_EQ(typed(Qt::Key_C, Qt::ControlModifier, character(3)), character(3));
    EXPECT_EQ(typed(Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier, "V"), character(22));
    EXPECT_EQ(typed(Qt::Key_Z, Qt::ControlModifier, "z"), character(26));
}

TEST(KeyCharacters, PrintableKeysTypeTheirText)
{
    EXPECT_EQ(typed(Qt::Key_5, Qt::NoModifier, "5"), "5");
    EXPECT_EQ(typed(Qt::Key_5, Qt::KeypadModifier, "5"), "5");
    EXPECT_EQ(typed(Qt::Key_Minus, Qt::NoModifier, "-"), "-");
    EXPECT_EQ(typed(Qt::Key_Space, Qt::NoModifier, " "), " ");
    EXPECT_EQ(typed(Qt::Key_Q, Qt::ControlModifier | Qt::AltModifier, "@"), "@");
}

} // namespace
