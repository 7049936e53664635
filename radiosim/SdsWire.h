#pragma once

#include <QByteArray>
#include <QList>
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

// The standard's form, "AT+CMGS=<destination>,<length in bits>": a
// destination and a length of one to fifteen digits each (a destination may
// be a full ITSI).
std::optional<CmgsHeader> parseTwoFieldCmgsHeader(const QByteArray &line);

// Exactly `count` comma-separated fields of one to `maxDigits` decimal
// digits each, or nothing.
std::optional<QList<quint64>> decimalFields(const QByteArray &text, int count, int maxDigits = 10);

// The octets of hex text (either case); nothing unless the text is an even
// number of hex digits and nothing else.
std::optional<QByteArray> octetsFromHex(const QByteArray &hex);

// "\r\n+CMT: <from>,0,<bits>\r\n<upper-case hex>\r\n": an incoming SDS-TL
// message (or report) from the ISSI <from>.
QByteArray cmtIndication(quint64 from, const QByteArray &octets);

// AI services of "+CTSDSR": SDS type 4 with the transport layer, status.
constexpr int serviceSdsTl = 12;
constexpr int serviceStatus = 13;

// "\r\n+CTSDSR: <service>,<from>,0,<to>,0,<bits>\r\n<upper-case hex>\r\n":
// the standard's indication of Short Data from <from> to <to>.
QByteArray ctsdsrIndication(int service, quint64 from, quint64 to, const QByteArray &octets);

// The octets of an SDS-REPORT about a message with the given protocol
// identifier and reference.
QByteArray reportOctets(quint8 protocolId, quint8 status, quint8 reference);

} // namespace radiosim
