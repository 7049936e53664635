#pragma once

#include <QFile>
#include <QString>

// "1.52 1.51 1.74": the machine's load over 1, 5 and 15 minutes, printed
// beside timing figures, which depend on it.
inline QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    return QString::fromLatin1(file.readLine()).section(QLatin1Char(' '), 0, 2);
}
