#include "session/SlowestPerRun.h"

namespace {

template <typename Slowest>
std::optional<Slowest> slower(const std::optional<Slowest> &first,
                              const std::optional<Slowest> &second)
{
    if (!second || (first && first->ms >= second->ms))
        return first;
    return second;
}

} // namespace

void SlowestPerRun::setMessages(int messages)
{
    while (messages > m_maxRuns * m_runLength) {
        // Twice as long: each new run is two old ones.
        std::vector<std::optional<Slowest>> merged((m_runs.size() + 1) / 2);
        for (std::size_t i = 0; i < m_runs.size(); ++i)
            merged[i / 2] = slower(merged[i / 2], m_runs[i]);
        m_runs.swap(merged);
        m_runLength *= 2;
    }
}

void SlowestPerRun::add(int index, qint64 ms)
{
    const auto run = std::size_t((index - 1) / m_runLength);
    if (run >= m_runs.size())
        m_runs.resize(run + 1);
    m_runs[run] = slower(m_runs[run], std::optional<Slowest>(Slowest{index, ms}));
}

void SlowestPerRun::clear()
{
    m_runLength = 1;
    m_runs.clear();
}

QList<QPointF> SlowestPerRun::points() const
{
    QList<QPointF> points;
    points.reserve(qsizetype(m_runs.size()));
    for (const std::optional<Slowest> &slowest : m_runs) {
        if (slowest)
            points.append(QPointF(slowest->index, double(slowest->ms)));
    }
    return points;
}
