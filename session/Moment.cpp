#include "session/Moment.h"

#include <QDateTime>
#include <chrono>

qint64 monotonicNowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

Moment momentNow()
{
    return {monotonicNowMs(), QDateTime::currentMSecsSinceEpoch()};
}

Moment momentAt(qint64 monotonicMs)
{
    const Moment now = momentNow();
    return {monotonicMs, now.wallMs - (now.monotonicMs - monotonicMs)};
}
