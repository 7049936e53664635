#pragma once

#include "session/SeriesExport.h"
#include "session/SeriesStatistics.h"

// Fills `series` as a session leaves a long series with both reports: every
// message completed 3 ms after its write, its reports 40 and 90 ms after;
// the newest 10,000 in memory, older ones in the archive as their rows.
inline void fillLongSeries(SeriesStatistics &series, int messages)
{
    constexpr qint64 epochMs = 1'700'000'000'000;
    series.start();
    series.archiveOlderThan(10000, SeriesExport::csvLine);
    for (int i = 0; i < messages; ++i) {
        const Moment written{i, epochMs + i};
        const SeriesStatistics::Ticket ticket = series.messageScheduled(
            quint8(i), "4321",
            SeriesStatistics::ReceivedReportFlag | SeriesStatistics::ConsumedReportFlag, written);
        series.messageWritten(ticket, written);
        series.completed(ticket, {i + 3, epochMs + 3 + i});
        series.reportReceived(quint8(i), "00", {i + 40, epochMs + 40 + i});
        series.reportReceived(quint8(i), "02", {i + 90, epochMs + 90 + i});
    }
}
