#pragma once

#include <QString>
#include <QTime>

// The time of day as HH:MM:SS.mmm (24-hour clock, no date, no zone).
QString formatTimeStamp(const QTime &time);
// The timestamp of the current local time.
QString currentTimeStamp();
