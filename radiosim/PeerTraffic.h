#pragma once

#include "radiosim/AwaitedAnswers.h"
#include "radiosim/SdsText.h"
#include "radiosim/SdsWire.h"

#include <QByteArray>
#include <QList>
#include <QtGlobal>

namespace radiosim {

// A simulated peer that sends text messages to the terminal's radio and
// checks the SDS-TL reports the terminal answers them with: each report
// must go to the peer, carry the protocol identifier and reference of a
// message the peer sent, and a status that message asked for, once.
class PeerTraffic
{
public:
    struct Settings
    {
        Identity identity;
        quint8 protocolId = 0;
        quint8 reportRequest = 0; // octet 2 of the peer's SDS-TL messages
        TextCoding coding;
        // From 2: each message is a long one, sent in this many parts with
        // the user data header (protocol identifier 0x8A).
        int parts = 1;
    };

    explicit PeerTraffic(const Settings &settings) : m_settings(settings) {}

    // The octets of the peer's next message, one entry per part. SDS-TL
    // references count up from 0 over every part and wrap after 255.
    QList<QByteArray> nextMessage();
    // Checks the octets of a report the terminal sent to destination.
    Verdict checkReport(const Identity &destination, const QByteArray &octets);

    const Settings &settings() const { return m_settings; }

private:
    QByteArray sdsTlPart(quint8 protocolId, const QByteArray &userData);

    Settings m_settings;
    int m_messagesSent = 0;
    int m_referencesUsed = 0;
    AwaitedReports m_awaited;
};

} // namespace radiosim
