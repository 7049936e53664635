#include "window/ActivityLog.h"

#include "controls/LogView.h"
#include "files/AtomicFile.h"

namespace {

// Calls `take` with every line of an entry: "\r\n", "\r" and "\n" each end a
// line, and a line end that closes the entry opens no new line.
template <typename Take> void forEachEntryLine(const QByteArray &entry, Take take)
{
    qsizetype start = 0;
    for (qsizetype i = 0; i < entry.size(); ++i) {
        const char c = entry.at(i);
        if (c != '\r' && c != '\n')
            continue;
        take(QByteArrayView(entry).sliced(start, i - start));
        if (c == '\r' && i + 1 < entry.size() && entry.at(i + 1) == '\n')
            ++i;
        start = i + 1;
    }
    if (start < entry.size() || start == 0)
        take(QByteArrayView(entry).sliced(start));
}

} // namespace

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

void savePaneToFile(const LogView *pane, const QString &fileName)
{
    // The octets as held, without a detour through text; a failed save
    // leaves an earlier file of that name as it was.
    files::AtomicFile file(fileName);
    for (int i = 0; i < pane->lineCount(); ++i) {
        file.write(pane->line(i));
        file.write("\r\n");
    }
    file.commit();
}
