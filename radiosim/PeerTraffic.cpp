#include "radiosim/PeerTraffic.h"

#include "radiosim/SdsWire.h"

namespace radiosim {

namespace {

// The protocol identifier whose text messages carry a text coding octet.
constexpr quint8 textMessagingProtocolId = 130;
constexpr char textCodingLatin1 = 0x01;

QString hexByte(quint8 value)
{
    return QString::asprintf("%02X", value);
}

} // namespace

QByteArray PeerTraffic::nextMessage()
{
    const auto reference = quint8(m_messagesSent % 256);
    ++m_messagesSent;

    QByteArray octets;
    octets.append(char(m_settings.protocolId));
    octets.append(char(m_settings.reportRequest));
    octets.append(char(reference));
    if (m_settings.protocolId == textMessagingProtocolId)
        octets.append(textCodingLatin1);
    octets.append("Peer message " + QByteArray::number(m_messagesSent));

    quint8 awaited = 0;
    if (m_settings.reportRequest & receivedReportRequested)
        awaited |= awaitingReceived;
    if (m_settings.reportRequest & consumedReportRequested)
        awaited |= awaitingConsumed;
    m_awaited[reference] = awaited;
    return octets;
}

PeerTraffic::Verdict PeerTraffic::checkReport(quint64 destination, const QByteArray &octets)
{
    if (destination != m_settings.issi)
        return {
            false,
            QStringLiteral("sent to %1, not to the peer %2").arg(destination).arg(m_settings.issi)};
    if (octets.size() != 4)
        return {false, QStringLiteral("%1 octets instead of 4").arg(octets.size())};
    const auto protocolId = quint8(octets.at(0));
    const auto status = quint8(octets.at(2));
    const auto reference = quint8(octets.at(3));
    if (protocolId != m_settings.protocolId)
        return {false, QStringLiteral("protocol identifier %1 instead of %2")
                           .arg(hexByte(protocolId), hexByte(m_settings.protocolId))};
    quint8 awaited = 0;
    if (status == statusReceived)
        awaited = awaitingReceived;
    else if (status == statusConsumed)
        awaited = awaitingConsumed;
    else
        return {false, QStringLiteral("unknown status %1").arg(hexByte(status))};
    if (!(m_awaited[reference] & awaited))
        return {false, QStringLiteral("status %1 for reference %2 was not awaited")
                           .arg(hexByte(status), hexByte(reference))};
    m_awaited[reference] &= quint8(~awaited);
    return {true, {}};
}

} // namespace radiosim
