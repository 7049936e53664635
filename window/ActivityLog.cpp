#include "window/ActivityLog.h"

#include "controls/LogView.h"
#include "files/AtomicFile.h"
#include "session/EntryLines.h"

QStringList entryLines(const QByteArray &entry)
{
    QStringList lines;
    forEachEntryLine(entry, [&](QByteArrayView line) { lines.append(QString::fromLatin1(line)); });
    return lines;
}

void appendLogEntry(LogView *pane, const QByteArray &entry)
{
    forEachEntryLine(entry, [pane](QByteArrayView line) { pane->appendLine(line); });
}

QStringList paneParagraphs(const LogView *pane)
{
    return pane->lines();
}

void savePaneToFile(const LogSnapshot &lines, const QString &fileName)
{
    // The octets as held, without a detour through text, in pieces: a pane
    // of a million lines is never copied whole.
    files::AtomicFile file(fileName);
    lines.write([&file](QByteArrayView piece) {
        file.write(piece);
        return true;
    });
    file.commit();
}
