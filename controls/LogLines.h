#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>
#include <vector>

// The lines of a log, kept compactly: the octets of every line (Latin-1, one
// octet per character) packed into large chunks, and per line only where it
// starts. Appending is amortised constant time and nothing is ever dropped.
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

    LogLines();

    int count() const { return static_cast<int>(m_lines.size()); }
    // The octets of line `index`; valid until the next append or clear.
    QByteArrayView line(int index) const;
    int length(int index) const { return static_cast<int>(line(index).size()); }
    int longestLength() const { return m_longest; }

    void append(QByteArrayView line);
    // Back to a single empty line.
    void clear();
    // No line at all, until the next append.
    void removeAll();

    // The text from `from` to `to` (exclusive), lines joined by "\n".
    QByteArray text(Position from, Position to) const;
    // The first occurrence of `needle` (Latin-1, compared without regard to
    // letter case) that starts at or after `from` within one line; when there
    // is none up to the end, the search goes on from the top. Returns false
    // when the log holds it nowhere.
    bool find(const QByteArray &needle, Position from, Position &found) const;

    // Octets held for lines and their index, for measuring.
    std::size_t bytesHeld() const;

private:
    struct Start
    {
        std::uint32_t chunk;
        std::uint32_t offset;
    };

    bool findForward(const QByteArray &foldedNeedle, Position from, Position &found) const;

    std::vector<QByteArray> m_chunks;
    std::vector<Start> m_lines;
    int m_longest = 0;
};
