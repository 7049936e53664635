#include "session/SpanFigures.h"

#include <algorithm>

void SpanFigures::add(qint64 ms)
{
    ++m_counts[ms];
    ++m_count;
    m_median.follow(m_counts, m_count, ms);
    m_p95.follow(m_counts, m_count, ms);
}

std::optional<TimeFigures> SpanFigures::figures() const
{
    if (m_count == 0)
        return std::nullopt;
    TimeFigures figures;
    figures.samples = int(m_count);
    figures.minMs = min();
    figures.medianMs = median();
    figures.p95Ms = p95();
    figures.maxMs = max();
    return figures;
}

void SpanFigures::clear()
{
    m_counts.clear();
    m_count = 0;
    m_median = Rank(50);
    m_p95 = Rank(95);
}

void SpanFigures::Rank::follow(const Counts &counts, qint64 count, qint64 ms)
{
    if (count == 1)
        m_value = ms;
    else if (ms < m_value)
        ++m_below;
    const qint64 rank = std::max<qint64>(1, (m_percent * count + 99) / 100);
    // The rank moves by at most one time per time added: a step or two.
    auto at = counts.find(m_value);
    while (m_below + at->second < rank) {
        m_below += at->second;
        ++at;
    }
    while (m_below >= rank) {
        --at;
        m_below -= at->second;
    }
    m_value = at->first;
}
