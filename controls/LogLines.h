#pragma once

#include "controls/LogChunk.h"
#include "controls/LogSnapshot.h"

#include <QByteArray>
#include <QByteArrayView>
#include <cstddef>
#include <deque>
#include <vector>

// The last lines of a log, kept compactly: the octets of every line (Latin-1,
// one octet per character) packed into blocks of about a megabyte, and per
// line only where it starts. Appending is amortised constant time. At most a
// set number of lines and of octets is kept; older lines leave from the
// front, a whole block being let go once all of its lines have left.
class LogLines
{
public:
    // Position of one character: a line and a column (octet) within it.
    struct Position
    {
        int line = 0;
        int column = 0;
        friend bool operator==(Position a, Position b)
        {
            return a.line == b.line && a.column == b.column;
        }
        friend bool operator<(Position a, Position b)
        {
            return a.line < b.line || (a.line == b.line && a.column < b.column);
        }
    };

    // Lines kept next to each other in one block: `count` lines from line
    // `index` of `chunk`.
    struct Run
    {
        const LogChunk *chunk = nullptr;
        int index = 0;
        int count = 0;
    };

    static constexpr int DefaultMaxLines = 100000;
    static constexpr qint64 DefaultMaxBytes = qint64(32) << 20;

    LogLines();

    int count() const { return m_count; }
    // The octets of line `index`; valid until the next append or clear.
    QByteArrayView line(int index) const;
    int length(int index) const { return static_cast<int>(line(index).size()); }
    // The longest line of the blocks kept: a line that has left may count
    // until its block goes.
    int longestLength() const { return m_longest; }
    // Lines that have left the front since the log was last emptied. Line
    // `index` is the (droppedCount() + index)th line appended since then.
    qint64 droppedCount() const { return m_dropped; }
    // Octets of the lines kept, line ends not counted.
    qint64 textBytes() const { return m_bytes; }

    // At most `maxLines` lines and `maxBytes` octets of them are kept; the
    // last line stays even when it alone is longer. Applies at once, and
    // returns the blocks let go, for the caller to free when it suits (a
    // result ignored frees them at once).
    std::vector<LogChunk> setLimits(int maxLines, qint64 maxBytes);
    int maxLines() const { return m_maxLines; }
    qint64 maxBytes() const { return m_maxBytes; }

    void append(QByteArrayView line);
    // Back to a single empty line, every block freed.
    void clear();
    // No line at all, until the next append.
    void removeAll() { takeAll(); }
    // As removeAll, returning the blocks as setLimits does.
    std::vector<LogChunk> takeAll();

    // The text from `from` to `to` (exclusive), lines joined by "\n".
    QByteArray text(Position from, Position to) const;
    // The lines from `first` on, before `end`, that lie in the block of
    // line `first`.
    Run run(int first, int end) const;
    // The lines kept now, unchanged by later appends and trimming.
    LogSnapshot snapshot() const;

    // Octets held for lines and their index, for measuring.
    std::size_t bytesHeld() const;

private:
    struct Location
    {
        std::size_t chunk;
        int index;
    };

    Location locate(int index) const;
    LogChunk &chunkFor(qsizetype length);
    // Blocks that leave go to `letGo`, or are freed when it is null.
    void trimToLimits(std::vector<LogChunk> *letGo);
    void dropFirst(std::vector<LogChunk> *letGo);

    std::deque<LogChunk> m_chunks;
    // Lines of the front block that have already left.
    int m_skip = 0;
    int m_count = 0;
    qint64 m_bytes = 0;
    qint64 m_dropped = 0;
    int m_longest = 0;
    int m_maxLines = DefaultMaxLines;
    qint64 m_maxBytes = DefaultMaxBytes;
};
