#pragma once

#include <QDate>

namespace files {

// Today's local date, cheap enough to ask for every line: the wall clock is
// read each time, and the calendar is worked out again only once that clock
// leaves the day found last (a change of time zone meanwhile shows from the
// next day on). Asking for the local date outright costs some microseconds.
// One thread at a time.
class LocalDate
{
public:
    QDate today();

private:
    QDate m_day;
    qint64 m_dayStart = 0; // milliseconds since the epoch, from ...
    qint64 m_dayEnd = 0;   // ... up to this one
};

} // namespace files
