#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class LogSnapshot;
class LogView;

// Appends one entry as a new last line of a log pane. Entries are 8-bit
// text; the radio's line ends inside an entry show as line breaks, and the
// line end that closes an entry does not add an empty line.
void appendLogEntry(LogView *pane, const QByteArray &entry);

// The lines of an entry as the pane shows them.
QStringList entryLines(const QByteArray &entry);

// A pane's lines as its saved file holds them.
QStringList paneParagraphs(const LogView *pane);

// Writes a pane's lines (LogView::snapshot) to a file, replacing it whole:
// every line ended by CR LF, in Latin-1; on any thread. Throws
// files::FileError, with the system's reason, when the file cannot be
// written; an earlier file of that name then stays as it was.
void savePaneToFile(const LogSnapshot &lines, const QString &fileName);
