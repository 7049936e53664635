#include "session/TimeStamp.h"

QString formatTimeStamp(const QTime &time)
{
    const auto pad = [](int value, int width) {
        return QString::number(value).rightJustified(width, QLatin1Char('0'));
    };
    return pad(time.hour(), 2) + QLatin1Char(':') + pad(time.minute(), 2) + QLatin1Char(':') +
           pad(time.second(), 2) + QLatin1Char('.') + pad(time.msec(), 3);
}

QString currentTimeStamp()
{
    return formatTimeStamp(QTime::currentTime());
}
