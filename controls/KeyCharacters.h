#pragma once

#include <QString>

class QKeyEvent;

// The characters a key press types, as a character filter sees them: the
// key's printable text, or the control character of an editing key
// (Backspace 8, Tab 9, Enter 13, Escape 27) or of Ctrl with a letter
// (Ctrl+A 1 to Ctrl+Z 26). Empty for keys that type nothing, such as the
// arrows, Delete and the function keys.
QString typedCharacters(const QKeyEvent &event);
