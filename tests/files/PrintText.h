#pragma once

#include "tests/support/PrintByteArray.h"

#include <QString>

#include <ostream>

// Failures show texts as text, never as lists of characters.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}
