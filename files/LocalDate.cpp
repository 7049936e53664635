#include "files/LocalDate.h"

#include <QDateTime>
#include <QTime>

namespace files {

QDate LocalDate::today()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now >= m_dayStart && now < m_dayEnd)
        return m_day;
    m_day = QDateTime::fromMSecsSinceEpoch(now).date();
    m_dayStart = QDateTime(m_day, QTime(0, 0)).toMSecsSinceEpoch();
    m_dayEnd = QDateTime(m_day.addDays(1), QTime(0, 0)).toMSecsSinceEpoch();
    return m_day;
}

} // namespace files
