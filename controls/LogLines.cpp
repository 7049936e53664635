#include "controls/LogLines.h"

#include <QChar>
#include <algorithm>
#include <array>

namespace {

// Lines are packed into chunks of this size; a longer line gets a chunk of
// its own, so no line ever spans two chunks.
constexpr int ChunkSize = 1 << 20;

const std::array<char, 256> &caseFolding()
{
    static const std::array<char, 256> table = [] {
        std::array<char, 256> folded{};
        for (int c = 0; c < 256; ++c)
            folded[c] = static_cast<char>(QChar::toLower(static_cast<char32_t>(c)));
        return folded;
    }();
    return table;
}

QByteArray folded(QByteArrayView text)
{
    const std::array<char, 256> &table = caseFolding();
    QByteArray result(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        result[i] = table[static_cast<unsigned char>(text[i])];
    return result;
}

} // namespace

LogLines::LogLines()
{
    clear();
}

QByteArrayView LogLines::line(int index) const
{
    const Start start = m_lines[static_cast<std::size_t>(index)];
    const QByteArray &chunk = m_chunks[start.chunk];
    const bool nextInSameChunk = static_cast<std::size_t>(index) + 1 < m_lines.size() &&
                                 m_lines[static_cast<std::size_t>(index) + 1].chunk == start.chunk;
    const qsizetype end =
        nextInSameChunk ? m_lines[static_cast<std::size_t>(index) + 1].offset : chunk.size();
    return QByteArrayView(chunk.constData() + start.offset, end - start.offset);
}

void LogLines::append(QByteArrayView text)
{
    QByteArray *chunk = &m_chunks.back();
    if (chunk->size() + text.size() > chunk->capacity()) {
        m_chunks.emplace_back();
        chunk = &m_chunks.back();
        chunk->reserve(std::max<qsizetype>(ChunkSize, text.size()));
    }
    m_lines.push_back({static_cast<std::uint32_t>(m_chunks.size() - 1),
                       static_cast<std::uint32_t>(chunk->size())});
    chunk->append(text);
    m_longest = std::max(m_longest, static_cast<int>(text.size()));
}

void LogLines::clear()
{
    removeAll();
    append(QByteArrayView());
}

void LogLines::removeAll()
{
    m_chunks.clear();
    m_chunks.emplace_back();
    m_chunks.back().reserve(ChunkSize);
    std::vector<Start>().swap(m_lines);
    m_longest = 0;
}

QByteArray LogLines::text(Position from, Position to) const
{
    QByteArray result;
    for (int i = from.line; i <= to.line && i < count(); ++i) {
        const QByteArrayView whole = line(i);
        const qsizetype start = i == from.line ? std::min<qsizetype>(from.column, whole.size()) : 0;
        const qsizetype end =
            i == to.line ? std::min<qsizetype>(to.column, whole.size()) : whole.size();
        if (i > from.line)
            result += '\n';
        if (end > start)
            result.append(whole.sliced(start, end - start));
    }
    return result;
}

bool LogLines::find(const QByteArray &needle, Position from, Position &found) const
{
    if (needle.isEmpty())
        return false;
    const QByteArray foldedNeedle = folded(needle);
    return findForward(foldedNeedle, from, found) ||
           findForward(foldedNeedle, Position{0, 0}, found);
}

bool LogLines::findForward(const QByteArray &foldedNeedle, Position from, Position &found) const
{
    if (from.line >= count())
        return false;
    // Searched a chunk at a time; a match that runs over the end of its line
    // into the next is no match.
    std::size_t lineIndex = static_cast<std::size_t>(from.line);
    const Start first = m_lines[lineIndex];
    qsizetype offset = first.offset + std::min<qsizetype>(from.column, length(from.line));
    for (std::size_t chunkIndex = first.chunk; chunkIndex < m_chunks.size(); ++chunkIndex) {
        const QByteArray haystack = folded(m_chunks[chunkIndex]);
        for (;;) {
            const qsizetype at = haystack.indexOf(foldedNeedle, offset);
            if (at < 0)
                break;
            // The line that holds the match start.
            const auto holder = std::upper_bound(
                m_lines.begin() + static_cast<std::ptrdiff_t>(lineIndex), m_lines.end(),
                Start{static_cast<std::uint32_t>(chunkIndex), static_cast<std::uint32_t>(at)},
                [](const Start &a, const Start &b) {
                    return a.chunk < b.chunk || (a.chunk == b.chunk && a.offset < b.offset);
                });
            lineIndex = static_cast<std::size_t>(holder - m_lines.begin()) - 1;
            const int lineNumber = static_cast<int>(lineIndex);
            const qsizetype column = at - m_lines[lineIndex].offset;
            if (column + foldedNeedle.size() <= length(lineNumber)) {
                found = {lineNumber, static_cast<int>(column)};
                return true;
            }
            offset = at + 1;
        }
        offset = 0;
    }
    return false;
}

std::size_t LogLines::bytesHeld() const
{
    std::size_t bytes = m_lines.capacity() * sizeof(Start);
    for (const QByteArray &chunk : m_chunks)
        bytes += static_cast<std::size_t>(chunk.capacity());
    return bytes;
}
