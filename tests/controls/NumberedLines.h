#pragma once

#include "controls/LogLines.h"

#include <QByteArray>

// Lines that say where they stand, for the tests of the log classes.
inline QByteArray numbered(int i)
{
    return "line " + QByteArray::number(i) + " of the log";
}

// Appends numbered(first) up to numbered(last), both included.
inline void appendNumbered(LogLines &lines, int first, int last)
{
    for (int i = first; i <= last; ++i)
        lines.append(numbered(i));
}
