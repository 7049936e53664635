#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class LogView;

// Appends one entry as a new last line of a log pane. Entries are 8-bit
// text; the radio's line ends inside an entry show as line breaks, and the
// line end that closes an entry does not add an empty line.
void appendLogEntry(LogView *pane, const QByteArray &entry);

// The lines of an entry as the pane shows them.
QStringList entryLines(const QByteArray &entry);

// A pane's lines as its saved file holds them.
QStringList paneParagraphs(const LogView *pane);

// Writes a pane to a file, replacing it: every line ended by CR LF, in
// Latin-1. Throws std::runtime_error when the
// file cannot be created or written; the pane is never touched.
void savePaneToFile(const LogView *pane, const QString &fileName);
