#pragma once

#include <QIcon>

// The program's icon: "corvane" from the desktop's icon theme, where an
// installed Corvane has put it, otherwise the same picture built into the
// program.
QIcon corvaneIcon();
