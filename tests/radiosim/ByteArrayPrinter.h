#pragma once

#include "radiosim/Printable.h"

#include <QByteArray>
#include <ostream>

// Shows byte strings in failure messages as escaped text, not as lists of
// characters.
inline void PrintTo(const QByteArray &bytes, std::ostream *out)
{
    *out << '"' << radiosim::printable(bytes).toStdString() << '"';
}
