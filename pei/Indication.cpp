#include "pei/Indication.h"

#include "pei/Identity.h"

namespace Indication {

namespace {

bool isHexOctet(const QByteArray &text)
{
    return SdsCodec::hexOctet(text).has_value();
}

// Type text 0x1X: an SDS-REPORT, whatever its flags.
bool isReportType(const QByteArray &typeText)
{
    return isHexOctet(typeText) && typeText.at(0) == '1';
}

bool isTransferType(const QByteArray &typeText)
{
    return isHexOctet(typeText) && typeText.at(0) == '0';
}

Reading malformed()
{
    Reading reading;
    reading.kind = Kind::Malformed;
    return reading;
}

QByteArray shortReportName(ShortReport type)
{
    switch (type) {
    case ShortReport::NotSupported:
        return QByteArrayLiteral("protocol or encoding not supported");
    case ShortReport::MemoryFull:
        return QByteArrayLiteral("destination memory full");
    case ShortReport::Received:
        return QByteArrayLiteral("message received");
    case ShortReport::Consumed:
        return QByteArrayLiteral("message consumed");
    }
    return {};
}

} // namespace

Reading read(const QByteArray &response)
{
    Reading reading;
    if (!SdsCodec::isIndication(response))
        return reading;
    if (!Identity::isSsi(SdsCodec::callingIssiOf(response)))
        return malformed();
    const SdsCodec::ReceivedChunk received = SdsCodec::parseReceivedChunk(response);
    if (!received.lengthBits || !isHexOctet(received.protocolIdText) ||
        !isHexOctet(received.typeText))
        return malformed();
    if (isReportType(received.typeText)) {
        const QByteArray status = SdsCodec::userDataOctetText(response, received, 2);
        if (!isHexOctet(status))
            return malformed();
        reading.kind = Kind::Report;
        reading.deliveryStatus = status.toUpper();
        reading.reportReference =
            SdsCodec::hexOctet(SdsCodec::userDataOctetText(response, received, 3));
        return reading;
    }
    if (isTransferType(received.typeText) && !isHexOctet(received.referenceText))
        return malformed();
    reading.kind = Kind::Message;
    reading.message = received;
    // The text as this profile has always read it: every octet after the
    // reference, a text coding octet included.
    reading.text.octets = received.messageOctets;
    return reading;
}

QByteArray shortReportStatus(ShortReport type)
{
    switch (type) {
    case ShortReport::Received:
        return QByteArrayLiteral("00");
    case ShortReport::Consumed:
        return QByteArrayLiteral("02");
    case ShortReport::NotSupported:
    case ShortReport::MemoryFull:
        break;
    }
    return "short report: " + shortReportName(type);
}

QByteArray reportLine(const QByteArray &deliveryStatus)
{
    return ": Report received with error code: " + deliveryStatus;
}

QByteArray reportLine(const Reading &report)
{
    if (report.shortReport)
        return ": Short report received: " + shortReportName(*report.shortReport);
    return reportLine(report.deliveryStatus);
}

QByteArray malformedLine()
{
    return QByteArrayLiteral(": Malformed message from radio ignored.");
}

QByteArray statusLine(const QByteArray &callingIdentity, const QByteArray &statusHex)
{
    return ": Status received from " + callingIdentity + ": " + statusHex;
}

QByteArray acknowledgementLine()
{
    return QByteArrayLiteral(": Acknowledgement received.");
}

QByteArray messageLine(const QByteArray &callingIdentity, const ReceivedText::Content &text)
{
    const QByteArray parts =
        text.partCount > 1 ? " (" + QByteArray::number(text.partCount) + " parts)" : QByteArray();
    return SdsCodec::receivedLine(callingIdentity + parts, ReceivedText::shown(text));
}

} // namespace Indication
