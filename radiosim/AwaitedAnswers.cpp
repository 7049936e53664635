#include "radiosim/AwaitedAnswers.h"

#include <algorithm>

namespace radiosim {

namespace {

QString hexByte(quint8 value)
{
    return QString::asprintf("%02X", value);
}

} // namespace

void AwaitedReports::await(quint8 protocolId, quint8 reference, quint8 requestOctet)
{
    quint8 statuses = 0;
    if (requestOctet & receivedReportRequested)
        statuses |= awaitingReceived;
    if (requestOctet & consumedReportRequested)
        statuses |= awaitingConsumed;
    m_awaited[reference] = {protocolId, statuses};
}

Verdict AwaitedReports::settle(const QByteArray &octets)
{
    if (octets.size() != 4)
        return {false, QStringLiteral("%1 octets instead of 4").arg(octets.size())};
    const auto protocolId = quint8(octets.at(0));
    const auto status = quint8(octets.at(2));
    const auto reference = quint8(octets.at(3));
    Awaited &awaited = m_awaited[reference];
    quint8 statusBit = 0;
    if (status == statusReceived)
        statusBit = awaitingReceived;
    else if (status == statusConsumed)
        statusBit = awaitingConsumed;
    else
        return {false, QStringLiteral("unknown status %1").arg(hexByte(status))};
    if (!(awaited.statuses & statusBit))
        return {false, QStringLiteral("status %1 for reference %2 was not awaited")
                           .arg(hexByte(status), hexByte(reference))};
    if (protocolId != awaited.protocolId)
        return {false, QStringLiteral("protocol identifier %1 instead of %2")
                           .arg(hexByte(protocolId), hexByte(awaited.protocolId))};
    awaited.statuses &= quint8(~statusBit);
    return {true, {}};
}

void AwaitedAcks::await(const Identity &from, quint8 reference, qint64 deadlineMs)
{
    m_deadlines.insert({{from, reference}, deadlineMs});
}

Verdict AwaitedAcks::settle(const Identity &to, const QByteArray &octets)
{
    if (octets.size() != 4)
        return {false, QStringLiteral("%1 octets instead of 4").arg(octets.size())};
    const auto reference = quint8(octets.at(3));
    const auto awaited = m_deadlines.find({to, reference});
    if (awaited == m_deadlines.end())
        return {false, QStringLiteral("no report from %1 with reference %2 asked for one")
                           .arg(QString::fromLatin1(to), hexByte(reference))};
    m_deadlines.erase(awaited);
    return {true, {}};
}

QList<std::pair<Identity, quint8>> AwaitedAcks::takeOverdue(qint64 nowMs)
{
    QList<std::pair<Identity, quint8>> overdue;
    for (auto it = m_deadlines.begin(); it != m_deadlines.end();) {
        if (it->second <= nowMs) {
            overdue.append(it->first);
            it = m_deadlines.erase(it);
        } else {
            ++it;
        }
    }
    return overdue;
}

std::optional<qint64> AwaitedAcks::nextDeadlineMs() const
{
    if (m_deadlines.empty())
        return std::nullopt;
    return std::min_element(m_deadlines.begin(), m_deadlines.end(),
                            [](const auto &a, const auto &b) { return a.second < b.second; })
        ->second;
}

} // namespace radiosim
