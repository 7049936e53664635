#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <optional>

// The text of text messages as the radio's peer writes it: the text header
// octet (a timestamp-used bit and the seven-bit text coding scheme), the
// timestamp, the text in its coding, and the user data header that ties the
// parts of a long message together.
namespace radiosim {

// Text coding schemes.
constexpr quint8 textCodingLatin1 = 1;
constexpr quint8 textCodingUcs2 = 26;

// Protocol identifiers of text: simple text and simple immediate text carry
// a text coding octet only; text messaging, immediate text messaging and
// messages with a user data header carry the SDS-TL header first.
constexpr quint8 simpleTextProtocolId = 0x02;
constexpr quint8 simpleImmediateTextProtocolId = 0x09;
constexpr quint8 textMessagingProtocolId = 0x82;
constexpr quint8 immediateTextProtocolId = 0x89;
constexpr quint8 userDataHeaderProtocolId = 0x8A;

bool isSimpleText(quint8 protocolId);
// Whether the octets after the SDS-TL header begin with a text header.
bool carriesTextHeader(quint8 protocolId);

// The 24-bit timestamp: four bits zero, month, day, hour and minute.
quint32 timestampValue(int month, int day, int hour, int minute);
// The timestamp of "MMDDhhmm", a valid month, day, hour and minute; and
// back.
std::optional<quint32> timestampFromDigits(const QByteArray &digits);
QByteArray timestampDigits(quint32 timestamp);

struct TextCoding
{
    bool ucs2 = false;
    std::optional<quint32> timestamp;
};

// The text header octet, then the timestamp's three octets when there is one.
QByteArray textHeader(const TextCoding &coding);
// Latin-1 text in the coding: as it is, or as UCS-2, big-endian.
QByteArray encodedText(const QByteArray &latin1, const TextCoding &coding);
// "05 00 03 <reference of the first part> <parts> <part number from 1>".
QByteArray concatenationHeader(quint8 firstReference, quint8 parts, quint8 partNumber);

} // namespace radiosim
