#pragma once

#include <QtGlobal>

// Min, median, p95 and max of a set of durations, by nearest rank: the
// median is the smallest sample that at least half of them do not exceed
// (kept by SpanFigures).
struct TimeFigures
{
    int samples = 0;
    qint64 minMs = 0;
    qint64 medianMs = 0;
    qint64 p95Ms = 0;
    qint64 maxMs = 0;
};
