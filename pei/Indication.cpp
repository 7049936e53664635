#include "pei/Indication.h"

namespace Indication {

namespace {

constexpr qsizetype MaxIssiDigits = 8;
constexpr qint64 MaxIssi = 16777215;

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

bool isHexOctet(const QByteArray &text)
{
    return text.size() == 2 && isHexDigit(text.at(0)) && isHexDigit(text.at(1));
}

// Type text 0x1X: an SDS-REPORT, whatever its flags.
bool isReportType(const QByteArray &typeText)
{
    return isHexOctet(typeText) && typeText.at(0) == '1';
}

} // namespace

bool isValidIssi(const QByteArray &text)
{
    if (text.isEmpty() || text.size() > MaxIssiDigits)
        return false;
    qint64 value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return value <= MaxIssi;
}

Reading read(const QByteArray &response)
{
    Reading reading;
    if (!SdsCodec::isIndication(response))
        return reading;
    if (!isValidIssi(SdsCodec::callingIssiOf(response))) {
        reading.kind = Kind::Malformed;
        return reading;
    }
    const SdsCodec::ReceivedChunk received = SdsCodec::parseReceivedChunk(response);
    if (isReportType(received.typeText)) {
        const QByteArray status = SdsCodec::userDataOctetText(response, received, 2);
        reading.kind = isHexOctet(status) ? Kind::Report : Kind::Malformed;
        reading.deliveryStatus = status.toUpper();
        const QByteArray reference = SdsCodec::userDataOctetText(response, received, 3);
        if (isHexOctet(reference))
            reading.reportReference = quint8(reference.toUInt(nullptr, 16));
        return reading;
    }
    const bool answered = received.reportKind != SdsCodec::ReportKind::None;
    if (answered && !(isHexOctet(received.protocolIdText) && isHexOctet(received.referenceText))) {
        reading.kind = Kind::Malformed;
        return reading;
    }
    reading.kind = Kind::Message;
    reading.message = received;
    return reading;
}

QByteArray reportLine(const QByteArray &deliveryStatus)
{
    return ": Report received with error code: " + deliveryStatus;
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

} // namespace Indication
