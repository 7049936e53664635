#pragma once

#include "pei/SdsCodec.h"

#include <QByteArray>
#include <optional>

// What a response from the radio says when it is an indication: a delivery
// report about a message we sent, or a message from a peer. Everything read
// from it that may reach an outgoing command is checked first.
namespace Indication {

enum class Kind {
    // Not an indication at all: nothing to show or answer.
    None,
    // An indication whose fields cannot be trusted; shown as such, never answered.
    Malformed,
    // An SDS-TL report (message type 0x1X); never answered.
    Report,
    // A message: shown, and answered with the reports its sender asked for.
    Message,
    // A status message: shown with its value, never answered.
    Status,
    // An SDS-TL acknowledgement: shown, never answered.
    Acknowledgement,
};

struct Reading
{
    Kind kind = Kind::None;
    // Report: the delivery status octet as two upper-case hex digits.
    QByteArray deliveryStatus;
    // Report: the reference of the message it is about (its last user data
    // octet); absent when the report ends before a whole hex octet of it.
    std::optional<quint8> reportReference;
    // Message: what the codec read; its calling ISSI is validated, and when
    // reports are asked for, so are the octets copied into them. Status:
    // the calling identity, as received and validated.
    SdsCodec::ReceivedChunk message;
    // Status: its value as upper-case hex.
    QByteArray statusHex;
};

// 1 to 8 decimal digits, at most 16777215: an ISSI is 24 bits.
bool isValidIssi(const QByteArray &text);

// Reads one response. Throws IntegerConversionError, as the codec does, when a
// "+CMT" indication with a valid caller has a length that is not an integer.
Reading read(const QByteArray &response);

// Message-window line texts, without the timestamp.
QByteArray reportLine(const QByteArray &deliveryStatus);
QByteArray malformedLine();
QByteArray statusLine(const QByteArray &callingIdentity, const QByteArray &statusHex);
QByteArray acknowledgementLine();

} // namespace Indication
