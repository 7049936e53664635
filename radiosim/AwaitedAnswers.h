#pragma once

#include "radiosim/SdsWire.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>
#include <array>
#include <map>
#include <utility>

namespace radiosim {

// A verdict on what the terminal sent in answer to the radio's traffic.
struct Verdict
{
    bool good = false;
    QString reason; // why it is bad; empty for a good one
};

// The SDS-TL reports that messages sent to the terminal asked for, by
// message reference: each report must carry the message's protocol
// identifier and a status that was asked for, once. A new message with a
// reference replaces what was awaited for the old one.
class AwaitedReports
{
public:
    // A message with this protocol identifier, reference and octet 2.
    void await(quint8 protocolId, quint8 reference, quint8 requestOctet);
    // Settles the report octets (four: PID, type, status, reference).
    Verdict settle(const QByteArray &octets);

private:
    static constexpr quint8 awaitingReceived = 0x01;
    static constexpr quint8 awaitingConsumed = 0x02;
    struct Awaited
    {
        quint8 protocolId = 0;
        quint8 statuses = 0; // awaiting... bits
    };
    std::array<Awaited, 256> m_awaited{};
};

// The SDS-ACKs that reports asking for one await from the terminal, by the
// identity the report came from and its reference, each until a deadline.
class AwaitedAcks
{
public:
    void await(const Identity &from, quint8 reference, qint64 deadlineMs);
    // Settles an SDS-ACK sent to `to` (octets: PID, type, status, reference).
    Verdict settle(const Identity &to, const QByteArray &octets);
    // The references of the reports whose acknowledgement is overdue at
    // nowMs, each with its identity; they are no longer awaited.
    QList<std::pair<Identity, quint8>> takeOverdue(qint64 nowMs);
    std::optional<qint64> nextDeadlineMs() const;

private:
    // Both reports on one message may ask for an acknowledgement: one entry each.
    std::multimap<std::pair<Identity, quint8>, qint64> m_deadlines;
};

} // namespace radiosim
