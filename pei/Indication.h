#pragma once

#include "pei/ReceivedText.h"
#include "pei/SdsCodec.h"

#include <QByteArray>
#include <optional>

// What a response from the radio says when it is an indication: a delivery
// report about a message we sent, or a message from a peer. Everything read
// from it that may reach an outgoing command is checked first, and nothing
// read from the radio throws: a field that does not convert makes the
// whole indication Malformed.
namespace Indication {

enum class Kind {
    // Not an indication at all: nothing to show or answer.
    None,
    // An indication whose fields cannot be trusted; shown as such, never answered.
    Malformed,
    // An SDS-TL report (message type 0x1X) or a short report; answered only
    // by an acknowledgement when it asks for one.
    Report,
    // A message: shown, and answered with the reports its sender asked for.
    Message,
    // A status message: shown with its value, never answered.
    Status,
    // An SDS-TL acknowledgement: shown, never answered.
    Acknowledgement,
};

// The type of a short report, the low two bits of its first octet.
enum class ShortReport { NotSupported = 0, MemoryFull = 1, Received = 2, Consumed = 3 };

struct Reading
{
    Kind kind = Kind::None;
    // Report: the delivery status octet as two upper-case hex digits. A short
    // report gives the status a full report would: "00" message received,
    // "02" message consumed; its failures give a text that no status octet
    // reads as, naming the failure: "short report: protocol or encoding not
    // supported", "short report: destination memory full".
    QByteArray deliveryStatus;
    // Report: the reference of the message it is about; absent when the
    // report ends before a whole hex octet of it.
    std::optional<quint8> reportReference;
    // Report: which short report, for a short report.
    std::optional<ShortReport> shortReport;
    // Report (standard profile): the report's acknowledgement-required bit is
    // set; PeiDialect::acknowledgementCommand answers it.
    bool acknowledgementRequested = false;
    // Message: what was read; its calling identity is validated, and when
    // reports are asked for, so are the octets copied into them. Report and
    // Status (standard profile): the calling identity, as received and
    // validated, and for a report its protocol identifier.
    SdsCodec::ReceivedChunk message;
    // Message: its text, to be shown with messageLine() or, when it is one
    // part of a long message, put together by LongMessageAssembly first.
    ReceivedText::Content text;
    // Status: its value as upper-case hex.
    QByteArray statusHex;
    // A message-window line that says how the indication was read, when
    // there is something to say (a header whose fields came the other way
    // round); empty otherwise.
    QByteArray note;
};

// Reads one "+CMT" response. The calling identity must be an SSI; the
// length must be an integer, the protocol identifier and type text two hex
// digits, and the reference too for an SDS-TRANSFER; else Malformed.
Reading read(const QByteArray &response);

// The delivery status a short report gives (see Reading::deliveryStatus).
QByteArray shortReportStatus(ShortReport type);

// Message-window line texts, without the timestamp.
QByteArray reportLine(const QByteArray &deliveryStatus);
// The line of any report: a short report by its name ("...: message
// received"), any other as reportLine(deliveryStatus).
QByteArray reportLine(const Reading &report);
QByteArray malformedLine();
QByteArray statusLine(const QByteArray &callingIdentity, const QByteArray &statusHex);
QByteArray acknowledgementLine();
// ": Message received from 5678: <shown text>", and for a long message put
// together ": Message received from 5678 (3 parts): <shown text>".
QByteArray messageLine(const QByteArray &callingIdentity, const ReceivedText::Content &text);

} // namespace Indication
