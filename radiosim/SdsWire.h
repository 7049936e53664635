#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>
#include <optional>

// The radio's side of the Short Data traffic on the PEI: reading what the
// terminal sends with "AT+CMGS=" and writing "+CMT" and "+CTSDSR"
// indications, and the SDS-TL octets the radio itself makes. All input is
// untrusted; every reader rejects what it does not fully understand.
namespace radiosim {

// Octet 2 of an SDS-TL message: the message type in the high nibble; in an
// SDS-TRANSFER, the delivery report request (two bits), the short form
// report bit and the storage bit; in an SDS-REPORT, the acknowledgement
// required bit.
constexpr quint8 messageTypeMask = 0xF0;
constexpr quint8 sdsTransfer = 0x00;
constexpr quint8 sdsReport = 0x10;
constexpr quint8 sdsAck = 0x20;
constexpr quint8 receivedReportRequested = 0x04;
constexpr quint8 consumedReportRequested = 0x08;
constexpr quint8 storageRequested = 0x01;
constexpr quint8 ackRequired = 0x08;
// Delivery statuses of an SDS-REPORT.
constexpr quint8 statusReceived = 0x00;
constexpr quint8 statusConsumed = 0x02;
// Protocol identifiers from this one up carry the SDS-TL header.
constexpr quint8 firstSdsTlProtocolId = 0x80;
// Store and forward control when the storage bit is set: no validity
// period, no forward address.
constexpr quint8 noStoreForwardControl = 0x07;

// A called or calling identity as the digits it was written with: an SSI of
// one to eight digits, or a full identity (country, network and SSI) of
// nine to seventeen, whose leading zeros matter.
using Identity = QByteArray;
constexpr int maxSsiDigits = 8;
constexpr int maxIdentityDigits = 17;
constexpr quint64 maxSsi = 16777215;
// The identity type of "+CTSDSR" and "AT+CTSDS": 0 SSI, 1 full identity.
int identityType(const Identity &identity);
// The SSI an identity of SSI form names.
std::optional<quint64> ssiOf(const Identity &identity);
// One to seventeen digits and nothing else, an SSI form within its range.
bool isIdentity(const QByteArray &digits);

// The fields of "AT+CMGS=<destination>,<n>,<n>,<length in bits>".
struct CmgsHeader
{
    Identity destination;
    quint64 lengthBits = 0;
};

// Parses a header line (without its "\r"); the prefix may be in any case.
// Exactly four fields of one to ten decimal digits each are accepted.
std::optional<CmgsHeader> parseCmgsHeader(const QByteArray &line);

// The standard's form, "AT+CMGS=<destination>,<length in bits>": an
// identity (isIdentity) and a length of one to ten digits.
std::optional<CmgsHeader> parseTwoFieldCmgsHeader(const QByteArray &line);

// Comma-separated fields of one to `maxDigits` decimal digits each, at
// least `minCount` and at most `maxCount` of them, or nothing.
std::optional<QList<quint64>> decimalFields(const QByteArray &text, int minCount, int maxCount,
                                            int maxDigits = 10);

// The octets of hex text (either case); nothing unless the text is an even
// number of hex digits and nothing else.
std::optional<QByteArray> octetsFromHex(const QByteArray &hex);

// "\r\n+CMT: <from>,0,<bits>\r\n<upper-case hex>\r\n": an incoming SDS-TL
// message (or report) from <from>.
QByteArray cmtIndication(const Identity &from, const QByteArray &octets);

// AI services of "+CTSDSR": SDS type 4 with the transport layer, status.
constexpr int serviceSdsTl = 12;
constexpr int serviceStatus = 13;

// The field orders of "+CTSDSR" radios send: six fields; seven with the
// end-to-end encryption flag last; seven with that flag before the length.
enum class CtsdsrForm { Six, Seven, SevenSwapped };

// "\r\n+CTSDSR: <service>,<from>,<type>,<to>,<type>,<bits>\r\n<hex>\r\n" in
// the form asked for: the standard's indication of Short Data from <from>
// to <to>, each identity with its type.
QByteArray ctsdsrIndication(int service, const Identity &from, const Identity &to,
                            const QByteArray &octets, CtsdsrForm form = CtsdsrForm::Six);

// The octets of an SDS-REPORT about a message with the given protocol
// identifier and reference; askAck sets its acknowledgement required bit.
QByteArray reportOctets(quint8 protocolId, quint8 status, quint8 reference, bool askAck = false);
// An SDS-SHORT REPORT: six bits 011111, the two-bit type, the reference.
QByteArray shortReportOctets(quint8 type, quint8 reference);
// Short report types.
constexpr quint8 shortReportNotSupported = 0;
constexpr quint8 shortReportMemoryFull = 1;
constexpr quint8 shortReportReceived = 2;
constexpr quint8 shortReportConsumed = 3;

} // namespace radiosim
