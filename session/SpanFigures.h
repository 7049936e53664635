#pragma once

#include "session/TimeFigures.h"

#include <QtGlobal>
#include <map>
#include <optional>

// Exact nearest-rank figures of a growing set of whole-millisecond times,
// kept up to date as each time comes: the times are counted per value, so
// memory grows with the number of different values (bounded by the range
// of the times), not with the number of times, and a look at the figures
// costs nothing.
class SpanFigures
{
public:
    void add(qint64 ms);
    void clear();

    qint64 count() const { return m_count; }
    // The figures of an empty set are 0.
    qint64 min() const { return m_count ? m_counts.begin()->first : 0; }
    qint64 max() const { return m_count ? m_counts.rbegin()->first : 0; }
    qint64 median() const { return m_median.value(); }
    qint64 p95() const { return m_p95.value(); }
    // All of them at once; nothing for an empty set.
    std::optional<TimeFigures> figures() const;

private:
    using Counts = std::map<qint64, qint64>;

    // The value at one nearest rank: the smallest value that at least
    // `percent` of the times do not exceed.
    class Rank
    {
    public:
        explicit Rank(int percent) : m_percent(percent) {}
        qint64 value() const { return m_value; }
        // After `ms` was counted in `counts`, which now hold `count` times.
        void follow(const Counts &counts, qint64 count, qint64 ms);

    private:
        int m_percent;
        qint64 m_value = 0;
        qint64 m_below = 0; // times of the values below m_value
    };

    Counts m_counts;
    qint64 m_count = 0;
    Rank m_median{50};
    Rank m_p95{95};
};
