#pragma once

#include "controls/LogBlock.h"

#include <QByteArrayView>
#include <QList>
#include <QtGlobal>
#include <cstddef>
#include <memory>

// A block of log lines: their octets back to back and where each starts.
// A copy shares both and stays unchanged while the original goes on
// growing: the original writes only past the octets the copy knows, and the
// list of starts is copied on its first change. That is what lets a snapshot
// of a log be taken cheaply and read on another thread.
struct LogChunk
{
    std::shared_ptr<char> block;
    qsizetype capacity = 0;
    qsizetype size = 0;
    QList<quint32> starts;
    // Number of the first line, counted from the first line appended since
    // the log was last emptied.
    qint64 firstNumber = 0;
    int longest = 0;

    int count() const { return static_cast<int>(starts.size()); }
    QByteArrayView text() const { return QByteArrayView(block.get(), size); }
    qsizetype end(int index) const { return index + 1 < count() ? starts[index + 1] : size; }
    QByteArrayView line(int index) const
    {
        return QByteArrayView(block.get() + starts[index], end(index) - starts[index]);
    }
    // Memory taken: only the octets written take pages of the block.
    std::size_t bytesHeld() const
    {
        return sizeof(LogChunk) + std::size_t(size) +
               std::size_t(starts.capacity()) * sizeof(quint32);
    }
};
