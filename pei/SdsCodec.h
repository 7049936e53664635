#pragma once

#include <QByteArray>
#include <QList>
#include <optional>

// The bytes of the Short Data (SDS-TL) messages on the PEI: registration,
// outgoing text messages, reading "+CMT" indications and the automatic
// transport-layer reports. All text is 8-bit: one octet per character.
// Functions that convert a number text from the window throw
// IntegerConversionError ("text/IntegerConversionError.h") when it is not an
// integer; nothing read from the radio throws.
namespace SdsCodec {

// Octet 2 of an SDS-TRANSFER: the message type in the high nibble (0), the
// delivery report request (two bits: 01 received, 10 consumed, 11 both),
// the short form report bit and the storage bit. The report-request bits of
// an outgoing text message:
constexpr quint8 ReceivedReportFlag = 0x04;
constexpr quint8 ConsumedReportFlag = 0x08;
// Set when store/forward control follows the message reference.
constexpr quint8 StorageFlag = 0x01;

// Pause between the received and the consumed report sent for one message.
constexpr int PauseBetweenReportsMs = 2000;

// Upper-case hex, at least two digits: 5 -> "05", 255 -> "FF", 256 -> "100".
// A negative value is written as its 32-bit two's complement ("FFFFFFFF").
QByteArray hexWithAtLeastTwoDigits(int value);

// Every octet as two upper-case hex digits: "A\t" -> "4109".
QByteArray encodeHex(const QByteArray &text);
// Two hex digits, either case, as one octet; nothing for any other text.
std::optional<quint8> hexOctet(const QByteArray &text);
// Hex text to octets, either case. A non-hex character where a pair starts is
// skipped; the character after a hex digit is always its low nibble, counting
// as 0 when it is not a hex digit or missing: "41 42" -> "AB", "414" -> "A@".
QByteArray decodeHex(const QByteArray &hex);

// "AT+CMGS=0,1,0,8\r", the protocol identifier in hex, 0x1A.
// Throws IntegerConversionError when protocolIdText is not an integer.
QByteArray buildRegistrationCommand(const QByteArray &protocolIdText);

// The user data of one text message as hex, and its length in bits.
struct UserData
{
    QByteArray hex;
    qint64 bits = 0;
};

// The SDS-TRANSFER user data of one text message: header (protocol
// identifier with at least two hex digits, report flags, reference), the
// text coding octet 0x01 when asked for, the text. The length counts the
// octets the header's hex decodes to.
UserData transferUserData(qint32 protocolId, quint8 reportFlags, quint8 reference, bool codingOctet,
                          const QByteArray &message);

// The SDS-TRANSFER command for one text message. The protocol identifier text
// is converted first (IntegerConversionError before anything else happens); the text
// "130", exactly, adds the text coding octet 0x01.
QByteArray composeTextMessage(const QByteArray &protocolIdText, quint8 reportFlags,
                              quint8 reference, const QByteArray &destIssi,
                              const QByteArray &message);

// Message-window line texts, without the timestamp that opens every line.
// A received message is given as shown (ReceivedText::shown), never raw.
QByteArray sendingLine(const QByteArray &destIssi, const QByteArray &message);
QByteArray receivedLine(const QByteArray &callingIssi, const QByteArray &message);

enum class ReportKind { None, Received, Consumed, Both };
enum class DeliveryReport { Received, Consumed };

// The reports octet 2 of a received message asks for, by its delivery
// report request bits alone: 04 to 07 received, 08 to 0B consumed, 0C to 0F
// both; none for 00 to 03 and for any type other than SDS-TRANSFER.
ReportKind reportKindOf(quint8 typeOctet);

// What a received chunk holds. isIndication is false, and every other field
// empty, unless the chunk begins with "\r\n+CMT". Fields cut off by the end
// of the chunk are shorter or empty. The standard profile fills the same
// fields from "+CTSDSR" indications (lengthBits aside).
struct ReceivedChunk
{
    bool isIndication = false;
    // The length field's value; nothing when it is not an integer, and then
    // nothing after it is read.
    std::optional<qint32> lengthBits;
    // The calling identity, as received.
    QByteArray callingIssi;
    QByteArray protocolIdText;
    QByteArray typeText;
    QByteArray referenceText;
    ReportKind reportKind = ReportKind::None;
    // The user data after the SDS-TL header, as received: for the "+CMT"
    // profile every octet after the message reference.
    QByteArray messageOctets;
    // Where the user data's hex begins in the chunk (-1: not an indication).
    qsizetype userDataStart = -1;
};

// True when the chunk begins with "\r\n+CMT", as every indication does.
bool isIndication(const QByteArray &chunk);
// The calling ISSI field of an indication, as received: everything up to the
// first ",".
QByteArray callingIssiOf(const QByteArray &chunk);
// The two hex characters of user data octet `index` (0 is the protocol
// identifier), as received; shorter or empty where the chunk ends.
QByteArray userDataOctetText(const QByteArray &chunk, const ReceivedChunk &received, int index);

// Reads the first "+CMT" indication at the front of a chunk. Its reference
// and body are read only when its type text is hex of an SDS-TRANSFER.
ReceivedChunk parseReceivedChunk(const QByteArray &chunk);

// The SDS-REPORT user data as hex: protocol identifier, "10", the status
// ("00" received, "02" consumed), the message reference.
QByteArray reportUserDataHex(const QByteArray &protocolIdText, const QByteArray &referenceText,
                             DeliveryReport report);

// The SDS-REPORT command answering a received message, sent to its caller.
QByteArray buildReportCommand(const QByteArray &callingIssi, const QByteArray &protocolIdText,
                              const QByteArray &referenceText, DeliveryReport report);

// The report commands a received message asks for, in sending order: none,
// one, or the received report then the consumed report (to be sent
// PauseBetweenReportsMs apart).
QList<QByteArray> reportCommands(const ReceivedChunk &received);

} // namespace SdsCodec
