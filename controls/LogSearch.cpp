#include "controls/LogSearch.h"

#include <QChar>
#include <algorithm>
#include <array>

namespace {

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

void fold(QByteArrayView text, QByteArray &into)
{
    const std::array<char, 256> &table = caseFolding();
    into.resize(text.size());
    char *out = into.data();
    for (qsizetype i = 0; i < text.size(); ++i)
        out[i] = table[static_cast<unsigned char>(text[i])];
}

} // namespace

LogSearch::LogSearch(const LogLines &lines, QByteArrayView needle, LogLines::Position from)
    : m_line(lines.droppedCount() + from.line), m_column(from.column),
      m_wrapEnd(lines.droppedCount() + from.line + 1)
{
    fold(needle, m_needle);
    if (m_needle.isEmpty())
        m_state = State::Absent;
}

LogSearch::State LogSearch::step(const LogLines &lines, qsizetype octets)
{
    if (m_state != State::Searching)
        return m_state;
    const qint64 dropped = lines.droppedCount();
    if (m_line < dropped) {
        m_line = dropped;
        m_column = 0;
    }
    const qint64 end =
        m_wrapped ? std::min(dropped + lines.count(), m_wrapEnd) : dropped + lines.count();
    if (m_line >= end) {
        if (m_wrapped) {
            m_state = State::Absent;
        } else {
            m_wrapped = true;
            m_line = dropped;
            m_column = 0;
        }
        return m_state;
    }
    const int first = int(m_line - dropped);
    searchRun(lines.run(first, int(end - dropped)), octets);
    return m_state;
}

LogSearch::State LogSearch::run(const LogLines &lines)
{
    while (step(lines, lines.textBytes() + 1) == State::Searching) {
    }
    return m_state;
}

// Looks from the next position through at most `octets` octets of `run`;
// an occurrence must start before that many octets and lie within its line.
void LogSearch::searchRun(LogLines::Run run, qsizetype octets)
{
    const LogChunk &chunk = *run.chunk;
    const qsizetype runEnd = chunk.end(run.index + run.count - 1);
    const qsizetype firstStart = chunk.starts[run.index];
    const qsizetype begin =
        firstStart + std::min<qsizetype>(m_column, chunk.end(run.index) - firstStart);
    const qsizetype stop = std::min(runEnd, begin + std::max<qsizetype>(octets, 1));
    fold(chunk.text().sliced(begin, std::min(runEnd, stop + m_needle.size() - 1) - begin),
         m_haystack);

    const quint32 *starts = chunk.starts.constData();
    // The line of the run that holds `offset`.
    const auto holder = [&](qsizetype offset) {
        return int(std::upper_bound(starts + run.index, starts + run.index + run.count,
                                    quint32(offset)) -
                   starts) -
               1;
    };
    for (qsizetype at = m_haystack.indexOf(m_needle); at >= 0 && begin + at < stop;
         at = m_haystack.indexOf(m_needle, at + 1)) {
        const int index = holder(begin + at);
        if (begin + at + m_needle.size() <= chunk.end(index)) {
            m_line = chunk.firstNumber + index;
            m_column = int(begin + at - starts[index]);
            m_state = State::Found;
            return;
        }
    }
    if (stop == runEnd) {
        m_line = chunk.firstNumber + run.index + run.count;
        m_column = 0;
    } else {
        const int index = holder(stop);
        m_line = chunk.firstNumber + index;
        m_column = int(stop - starts[index]);
    }
}

LogLines::Position LogSearch::found(const LogLines &lines) const
{
    return {int(m_line - lines.droppedCount()), m_column};
}
