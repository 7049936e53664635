#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The one integer conversion for every number text, typed into a field or
// received from the radio: optional leading blanks, an optional sign, then
// decimal digits or "$" followed by hexadecimal digits in either case, and
// nothing after them. Only ASCII digits count. Any other text, and a value
// outside the signed 32-bit range, is not an integer.

// The value of the text, or nothing when it is not an integer.
std::optional<qint32> tryParseInteger(const QString &text);
// The same for 8-bit text, one octet per character.
std::optional<qint32> tryParseInteger(const QByteArray &text);

// As tryParseInteger, but throws IntegerConversionError
// ("text/IntegerConversionError.h") for a text that is not an integer.
qint32 parseInteger(const QByteArray &text);
