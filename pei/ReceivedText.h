#pragma once

#include <QByteArray>
#include <optional>

// The text of a received message as a person reads it in the message
// window. That window holds Latin-1 octets only, and every line in it must
// be Corvane's own: whatever a peer sends is shown visibly, never as control
// characters that could end a line or forge one. The PEI logger keeps the
// raw bytes.
namespace ReceivedText {

// Text coding schemes decoded for display; any other is shown as hex.
constexpr int Latin1Scheme = 1;
constexpr int Ucs2Scheme = 26;

// Where one part of a long message belongs, from its concatenation header.
struct Part
{
    // The reference of the long message (that of its first part).
    quint16 reference = 0;
    // True when the header carried a 16-bit reference (element 08).
    bool wideReference = false;
    // Parts in the long message, 2 to 255, and the number of this one, from 1.
    int count = 0;
    int number = 0;
};

struct Content
{
    // The text coding scheme of the text header; none when the message has
    // no text header (the "+CMT" profile, protocols that carry no text).
    std::optional<int> codingScheme;
    // The 24-bit time stamp of the text header, when it carries one.
    std::optional<quint32> timestamp;
    // The text, without any header.
    QByteArray octets;
    // Set when this is one part of a long message, still to be put together.
    std::optional<Part> part;
    // How many parts were put together into this text.
    int partCount = 1;
};

// Octets as Latin-1 text that shows every character: octets below 0x20,
// 0x7F to 0x9F become "\x0D" (two upper-case hex digits) and a backslash
// becomes "\\", so that no escape can be mistaken for text sent as such.
QByteArray visible(const QByteArray &octets);

// The text as shown: the time stamp first, as "(sent 11 Apr 10:15) ", or as
// "(time stamp 3FFFFF) " when it names no valid time; then the text,
// decoded when its coding scheme is Latin-1 (or absent) or UCS-2 big-endian
// (characters beyond Latin-1 as "\u263A", an odd last octet as "\x41"), or
// as "(text coding scheme 13) 48656C6C6F" for any other scheme.
QByteArray shown(const Content &content);

} // namespace ReceivedText
