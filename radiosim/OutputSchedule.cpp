#include "radiosim/OutputSchedule.h"

#include <algorithm>

namespace radiosim {

void OutputSchedule::addAnswer(const QByteArray &bytes, qint64 dueMs)
{
    if (!bytes.isEmpty())
        m_answers.push_back({dueMs, bytes, {}});
}

bool OutputSchedule::addIndication(const QByteArray &bytes, qint64 dueMs, const QString &note)
{
    if (bytes.isEmpty())
        return true;
    if (int(m_indications.size()) >= maxPendingIndications)
        return false;
    const auto later =
        std::upper_bound(m_indications.begin(), m_indications.end(), dueMs,
                         [](qint64 due, const Item &item) { return due < item.dueMs; });
    m_indications.insert(later, {dueMs, bytes, note});
    return true;
}

QByteArray OutputSchedule::release(qint64 nowMs, QStringList *notes)
{
    QByteArray out;
    while (!m_answers.empty() && m_answers.front().dueMs <= nowMs) {
        out += m_answers.front().bytes;
        m_answers.pop_front();
    }
    if (!out.isEmpty())
        m_lastOutputMs = nowMs;
    const bool quiet = !m_lastOutputMs || nowMs - *m_lastOutputMs >= m_quietGapMs;
    if (m_answers.empty() && quiet && !m_indications.empty() &&
        m_indications.front().dueMs <= nowMs) {
        out += m_indications.front().bytes;
        if (notes && !m_indications.front().note.isEmpty())
            notes->append(m_indications.front().note);
        m_indications.pop_front();
        m_lastOutputMs = nowMs;
    }
    return out;
}

std::optional<qint64> OutputSchedule::nextDueMs() const
{
    if (!m_answers.empty())
        return m_answers.front().dueMs;
    if (m_indications.empty())
        return std::nullopt;
    const qint64 due = m_indications.front().dueMs;
    return m_lastOutputMs ? std::max(due, *m_lastOutputMs + m_quietGapMs) : due;
}

} // namespace radiosim
