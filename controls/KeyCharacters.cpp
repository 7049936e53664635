#include "controls/KeyCharacters.h"

#include <QKeyEvent>

namespace {

QString controlCharacter(int code)
{
    return QString(QChar(code));
}

} // namespace

QString typedCharacters(const QKeyEvent &event)
{
    // Named by key, because their text differs between platforms (Delete
    // brings "\x7f" on X11 and nothing elsewhere).
    switch (event.key()) {
    case Qt::Key_Backspace:
        return controlCharacter(8);
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return controlCharacter(9);
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return controlCharacter(13);
    case Qt::Key_Escape:
        return controlCharacter(27);
    case Qt::Key_Delete:
        return {};
    default:
        break;
    }

    // Ctrl with Alt is how some keyboards reach their third-level characters.
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    if (modifiers.testFlag(Qt::ControlModifier) && !modifiers.testFlag(Qt::AltModifier)) {
        if (event.key() >= Qt::Key_A && event.key() <= Qt::Key_Z)
            return controlCharacter(event.key() - Qt::Key_A + 1);
        return {};
    }
    return event.text();
}
