#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QtGlobal>

// A block of log lines: their octets back to back and where each starts.
// Both are shared implicitly, so a copy costs two reference counts and stays
// unchanged while the original goes on growing: that is what lets a
// snapshot of a log be taken cheaply and read on another thread.
struct LogChunk
{
    QByteArray text;
    QList<quint32> starts;
    // Number of the first line, counted from the first line appended since
    // the log was last emptied.
    qint64 firstNumber = 0;
    int longest = 0;

    int count() const { return static_cast<int>(starts.size()); }
    qsizetype end(int index) const { return index + 1 < count() ? starts[index + 1] : text.size(); }
    QByteArrayView line(int index) const
    {
        return QByteArrayView(text.constData() + starts[index], end(index) - starts[index]);
    }
};
