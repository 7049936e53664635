#include "controls/LogLines.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <utility>
#include <vector>

namespace {

// A block takes lines while it stays within this size; a longer line gets a
// block of its own, so no line ever spans two blocks.
constexpr qsizetype ChunkSize = 1 << 20;

} // namespace

LogLines::LogLines()
{
    clear();
}

LogLines::Location LogLines::locate(int index) const
{
    const qint64 number = m_dropped + index;
    // Mostly the last lines are asked for.
    if (number >= m_chunks.back().firstNumber)
        return {m_chunks.size() - 1, int(number - m_chunks.back().firstNumber)};
    const auto holder = std::upper_bound(
        m_chunks.begin(), m_chunks.end(), number,
        [](qint64 wanted, const LogChunk &chunk) { return wanted < chunk.firstNumber; });
    const std::size_t chunk = std::size_t(holder - m_chunks.begin()) - 1;
    return {chunk, int(number - m_chunks[chunk].firstNumber)};
}

QByteArrayView LogLines::line(int index) const
{
    const Location at = locate(index);
    return m_chunks[at.chunk].line(at.index);
}

std::vector<LogChunk> LogLines::setLimits(int maxLines, qint64 maxBytes)
{
    m_maxLines = std::max(1, maxLines);
    m_maxBytes = std::max<qint64>(1, maxBytes);
    std::vector<LogChunk> letGo;
    trimToLimits(&letGo);
    return letGo;
}

LogChunk &LogLines::chunkFor(qsizetype length)
{
    if (m_chunks.empty() || m_chunks.back().size + length > m_chunks.back().capacity) {
        LogChunk fresh;
        fresh.capacity = std::max(ChunkSize, length);
        fresh.block = mapLogBlock(std::size_t(fresh.capacity));
        fresh.firstNumber = m_dropped + m_count;
        m_chunks.push_back(std::move(fresh));
    }
    return m_chunks.back();
}

void LogLines::append(QByteArrayView text)
{
    LogChunk &chunk = chunkFor(text.size());
    chunk.starts.append(quint32(chunk.size));
    if (!text.isEmpty())
        std::memcpy(chunk.block.get() + chunk.size, text.data(), std::size_t(text.size()));
    chunk.size += text.size();
    chunk.longest = std::max(chunk.longest, int(text.size()));
    m_longest = std::max(m_longest, chunk.longest);
    ++m_count;
    m_bytes += text.size();
    trimToLimits(nullptr);
}

void LogLines::trimToLimits(std::vector<LogChunk> *letGo)
{
    while (m_count > 1 && (m_count > m_maxLines || m_bytes > m_maxBytes))
        dropFirst(letGo);
}

void LogLines::dropFirst(std::vector<LogChunk> *letGo)
{
    LogChunk &front = m_chunks.front();
    m_bytes -= front.end(m_skip) - front.starts[m_skip];
    ++m_skip;
    --m_count;
    ++m_dropped;
    if (m_skip < front.count())
        return;
    const int longest = front.longest;
    if (letGo)
        letGo->push_back(std::move(front));
    m_chunks.pop_front();
    m_skip = 0;
    if (longest == m_longest) {
        m_longest = 0;
        for (const LogChunk &chunk : m_chunks)
            m_longest = std::max(m_longest, chunk.longest);
    }
}

void LogLines::clear()
{
    removeAll();
    append(QByteArrayView());
}

std::vector<LogChunk> LogLines::takeAll()
{
    std::vector<LogChunk> letGo(std::make_move_iterator(m_chunks.begin()),
                                std::make_move_iterator(m_chunks.end()));
    std::deque<LogChunk>().swap(m_chunks);
    m_skip = 0;
    m_count = 0;
    m_bytes = 0;
    m_dropped = 0;
    m_longest = 0;
    return letGo;
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

LogLines::Run LogLines::run(int first, int end) const
{
    const Location at = locate(first);
    const LogChunk &chunk = m_chunks[at.chunk];
    return {&chunk, at.index, std::min(end - first, chunk.count() - at.index)};
}

LogSnapshot LogLines::snapshot() const
{
    return LogSnapshot(std::vector<LogChunk>(m_chunks.begin(), m_chunks.end()), m_skip, m_count);
}

std::size_t LogLines::bytesHeld() const
{
    std::size_t bytes = 0;
    for (const LogChunk &chunk : m_chunks)
        bytes += chunk.bytesHeld();
    return bytes;
}
