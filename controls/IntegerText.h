#pragma once

#include <QString>
#include <optional>

// Reads a signed 32-bit integer the way the integer fields accept it:
// optional leading blanks, an optional sign, then decimal digits or "$"
// followed by hexadecimal digits, and nothing after them. Returns nothing
// when the text has another form or its value lies outside 32 bits.
std::optional<qint32> integerFromText(const QString &text);
