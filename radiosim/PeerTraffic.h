#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <array>

namespace radiosim {

// A simulated peer that sends text messages to the terminal's radio and
// checks the SDS-TL reports the terminal answers them with: each report
// must go to the peer, carry the peer's protocol identifier, a reference of
// a message the peer sent and a status the peer asked for, once.
class PeerTraffic
{
public:
    struct Settings
    {
        quint64 issi = 0;
        quint8 protocolId = 0;
        quint8 reportRequest = 0; // octet 2 of the peer's messages
    };

    struct Verdict
    {
        bool good = false;
        QString reason; // why a report is bad; empty for a good one
    };

    explicit PeerTraffic(const Settings &settings) : m_settings(settings) {}

    // The SDS-TL octets of the peer's next message; its references count
    // up from 0 and wrap after 255.
    QByteArray nextMessage();
    // Checks the octets of a report the terminal sent to destination.
    Verdict checkReport(quint64 destination, const QByteArray &octets);

    const Settings &settings() const { return m_settings; }

private:
    // Bits of m_awaited: the received and the consumed report.
    static constexpr quint8 awaitingReceived = 0x01;
    static constexpr quint8 awaitingConsumed = 0x02;

    Settings m_settings;
    int m_messagesSent = 0;
    std::array<quint8, 256> m_awaited{}; // by message reference
};

} // namespace radiosim
