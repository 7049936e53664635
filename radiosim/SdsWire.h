#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <optional>

// The radio's side of the SDS-TL traffic on the PEI: reading what the
// terminal sends with "AT+CMGS=" and writing "+CMT" indications. All input
// is untrusted; every reader rejects what it does not fully understand.
namespace radiosim {

// SDS-TL message types (high nibble of octet 2) and report statuses.
constexpr quint8 sdsTransfer = 0x00;
constexpr quint8 sdsReport = 0x10;
constexpr quint8 receivedReportRequested = 0x04;
constexpr quint8 consumedReportRequested = 0x08;
constexpr quint8 statusReceived = 0x00;
constexpr quint8 statusConsumed = 0x02;

// The fields of "AT+CMGS=<destination>,<n>,<n>,<length in bits>".
struct CmgsHeader
{
    quint64 destination = 0;
    quint64 lengthBits = 0;
};

// Parses a header line (without its "\r"); the prefix may be in any case.
// Exactly four fields of one to ten decimal digits each are accepted.
std::optional<CmgsHeader> parseCmgsHeader(const QByteArray &line);

// The octets of hex text (either case); nothing unless the text is an even
// number of hex digits and nothing else.
std::optional<QByteArray> octetsFromHex(const QByteArray &hex);

// "\r\n+CMT: <from>,0,<bits>\r\n<upper-case hex>\r\n": an incoming SDS-TL
// message (or report) from the ISSI <from>.
QByteArray cmtIndication(quint64 from, const QByteArray &octets);

// The octets of an SDS-REPORT about a message with the given protocol
// identifier and reference.
QByteArray reportOctets(quint8 protocolId, quint8 status, quint8 reference);

} // namespace radiosim
