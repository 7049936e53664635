#pragma once

#include <QtGlobal>

// A moment of the session: the monotonic clock measures every duration,
// the wall clock only stamps. A wall clock stepped back or forth never
// changes a time difference.
struct Moment
{
    qint64 monotonicMs = 0;
    qint64 wallMs = 0;
};

// Milliseconds on the monotonic clock.
qint64 monotonicNowMs();
Moment momentNow();
// The moment of an earlier reading of the monotonic clock, stamped with the
// wall time it had then.
Moment momentAt(qint64 monotonicMs);
