#pragma once

#include <QByteArray>
#include <QString>

// The bytes the command line sends for a typed text: its printable Latin-1
// characters without surrounding blanks, then "\r". Control characters (a
// line break or a Ctrl-Z from a restored history entry) are dropped, so a
// typed command is always one command line. Empty when nothing is left.
QByteArray typedCommand(const QString &text);
