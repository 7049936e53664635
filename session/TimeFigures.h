#pragma once

#include <QtGlobal>
#include <optional>
#include <vector>

// Min, median, p95 and max of a set of durations, by nearest rank: the
// median is the smallest sample that at least half of them do not exceed.
struct TimeFigures
{
    int samples = 0;
    qint64 minMs = 0;
    qint64 medianMs = 0;
    qint64 p95Ms = 0;
    qint64 maxMs = 0;

    // Nothing for no samples.
    static std::optional<TimeFigures> of(std::vector<qint64> samples);
};
