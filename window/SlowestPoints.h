#pragma once

#include <QList>
#include <QPointF>
#include <QtGlobal>
#include <algorithm>
#include <cstddef>
#include <optional>
#include <utility>

// The points of one plot line over `count` messages: one per run of
// `perPoint` consecutive messages, the slowest of the run, so that outliers
// stay in view however long the series. `sample(i)` gives message i's x
// value and time, or nothing when it has none.
template <typename Sample>
QList<QPointF> slowestPoints(std::size_t count, int perPoint, Sample sample)
{
    const auto step = std::size_t(std::max(1, perPoint));
    QList<QPointF> points;
    points.reserve(qsizetype(count / step) + 1);
    for (std::size_t first = 0; first < count; first += step) {
        const std::size_t end = std::min(count, first + step);
        std::optional<std::pair<int, qint64>> slowest;
        for (std::size_t i = first; i < end; ++i) {
            const std::optional<std::pair<int, qint64>> point = sample(i);
            if (point && (!slowest || point->second > slowest->second))
                slowest = point;
        }
        if (slowest)
            points.append(QPointF(slowest->first, double(slowest->second)));
    }
    return points;
}
