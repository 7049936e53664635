#include "radiosim/PeerTraffic.h"

namespace radiosim {

QList<QByteArray> PeerTraffic::nextMessage()
{
    ++m_messagesSent;
    const QByteArray text = "Peer message " + QByteArray::number(m_messagesSent);
    const TextCoding &coding = m_settings.coding;
    const quint8 protocolId = m_settings.protocolId;
    if (m_settings.parts > 1) {
        const auto firstReference = quint8(m_referencesUsed % 256);
        const auto parts = quint8(m_settings.parts);
        QList<QByteArray> octets;
        for (int part = 1; part <= m_settings.parts; ++part) {
            const QByteArray partText =
                text + ", part " + QByteArray::number(part) + " of " + QByteArray::number(parts);
            octets.append(sdsTlPart(userDataHeaderProtocolId,
                                    textHeader(coding) +
                                        concatenationHeader(firstReference, parts, quint8(part)) +
                                        encodedText(partText, coding)));
        }
        return octets;
    }
    if (isSimpleText(protocolId)) {
        QByteArray octets(1, char(protocolId));
        octets.append(char(coding.ucs2 ? textCodingUcs2 : textCodingLatin1));
        return {octets + encodedText(text, coding)};
    }
    if (protocolId < firstSdsTlProtocolId)
        return {QByteArray(1, char(protocolId)) + text};
    if (carriesTextHeader(protocolId))
        return {sdsTlPart(protocolId, textHeader(coding) + encodedText(text, coding))};
    return {sdsTlPart(protocolId, text)};
}

// The SDS-TL header of one message (or part) with the next reference, its
// reports awaited.
QByteArray PeerTraffic::sdsTlPart(quint8 protocolId, const QByteArray &userData)
{
    const auto reference = quint8(m_referencesUsed % 256);
    ++m_referencesUsed;
    QByteArray octets;
    octets.append(char(protocolId));
    octets.append(char(m_settings.reportRequest));
    octets.append(char(reference));
    if (m_settings.reportRequest & storageRequested)
        octets.append(char(noStoreForwardControl));
    m_awaited.await(protocolId, reference, m_settings.reportRequest);
    return octets + userData;
}

Verdict PeerTraffic::checkReport(const Identity &destination, const QByteArray &octets)
{
    if (destination != m_settings.identity)
        return {false, QStringLiteral("sent to %1, not to the peer %2")
                           .arg(QString::fromLatin1(destination),
                                QString::fromLatin1(m_settings.identity))};
    return m_awaited.settle(octets);
}

} // namespace radiosim
