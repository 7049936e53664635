#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Calls `take` with every line of a log entry: "\r\n", "\r" and "\n" each
// end a line, and a line end that closes the entry opens no new line. The
// one rule by which the panes show an entry and its log file holds it.
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
