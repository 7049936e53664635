#include "pei/CtsdsrIndication.h"

#include "pei/SdsCodec.h"

#include <QList>
#include <algorithm>

namespace CtsdsrIndication {

namespace {

const QByteArray Header = QByteArrayLiteral("+CTSDSR:");
constexpr qsizetype MinFields = 3;
constexpr qsizetype MaxFields = 7;
constexpr qsizetype CallingIdentityFields = 6;
constexpr qsizetype MaxIdentityDigits = 15;
constexpr qsizetype MaxIssiDigits = 8;
constexpr qint64 MaxIssi = 16777215;
// A length field of more digits cannot describe one PEI data line.
constexpr qsizetype MaxLengthDigits = 6;
constexpr quint8 FirstTlProtocolId = 0x80;
constexpr quint8 ShortReportMask = 0xFC;
constexpr quint8 ShortReportStart = 0x78;

enum TlType : quint8 { Transfer = 0x0, Report = 0x1, Acknowledgement = 0x2 };

bool isDigits(const QByteArray &text)
{
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool isHexText(const QByteArray &text)
{
    return std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    });
}

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

QByteArray hexOctet(quint8 value)
{
    return SdsCodec::hexWithAtLeastTwoDigits(value);
}

quint8 octetAt(const QByteArray &octets, qsizetype index)
{
    return quint8(octets.at(index));
}

Indication::Reading malformed()
{
    Indication::Reading reading;
    reading.kind = Indication::Kind::Malformed;
    return reading;
}

// The header's fields, or nothing unless there are three to seven of them,
// each decimal digits (blanks around a field are allowed).
std::optional<QList<QByteArray>> headerFields(const QByteArray &text)
{
    QList<QByteArray> fields = text.split(',');
    if (fields.size() < MinFields || fields.size() > MaxFields)
        return std::nullopt;
    for (QByteArray &field : fields) {
        field = field.trimmed();
        if (!isDigits(field) || field.size() > MaxIdentityDigits)
            return std::nullopt;
    }
    return fields;
}

Indication::Reading readSdsTl(const QByteArray &caller, const QByteArray &octets)
{
    Indication::Reading reading;
    if (octets.isEmpty())
        return malformed();
    const quint8 protocolId = octetAt(octets, 0);
    reading.message.isIndication = true;
    reading.message.callingIssi = caller;
    reading.message.protocolIdText = hexOctet(protocolId);
    // Protocols below 0x80 carry no transport-layer header: the rest is the message.
    if (protocolId < FirstTlProtocolId) {
        reading.kind = Indication::Kind::Message;
        reading.message.messageOctets = octets.mid(1);
        return reading;
    }
    if (octets.size() < 2)
        return malformed();
    const quint8 typeOctet = octetAt(octets, 1);
    switch (typeOctet >> 4) {
    case Transfer:
        if (octets.size() < 3)
            return malformed();
        reading.kind = Indication::Kind::Message;
        reading.message.typeText = hexOctet(typeOctet);
        reading.message.referenceText = hexOctet(octetAt(octets, 2));
        // Without a calling identity there is nobody to report to.
        reading.message.reportKind = caller.isEmpty()
                                         ? SdsCodec::ReportKind::None
                                         : SdsCodec::reportKindOf(reading.message.typeText);
        reading.message.messageOctets = octets.mid(3);
        return reading;
    case Report:
        if (octets.size() < 3)
            return malformed();
        reading.kind = Indication::Kind::Report;
        reading.deliveryStatus = hexOctet(octetAt(octets, 2));
        // The reference of the message reported on, when the report holds it.
        if (octets.size() >= 4)
            reading.reportReference = octetAt(octets, 3);
        return reading;
    case Acknowledgement:
        reading.kind = Indication::Kind::Acknowledgement;
        return reading;
    default:
        return malformed();
    }
}

Indication::Reading readStatus(const QByteArray &caller, const QByteArray &octets)
{
    if (octets.isEmpty())
        return malformed();
    Indication::Reading reading;
    const quint8 first = octetAt(octets, 0);
    // A short report: six bits 011110, then the report type in the low two.
    if (octets.size() >= 2 && (first & ShortReportMask) == ShortReportStart) {
        reading.kind = Indication::Kind::Report;
        reading.deliveryStatus = hexOctet(first & ~ShortReportMask);
        // Its second octet is the reference of the message reported on.
        reading.reportReference = octetAt(octets, 1);
        return reading;
    }
    reading.kind = Indication::Kind::Status;
    reading.message.isIndication = true;
    reading.message.callingIssi = caller;
    reading.statusHex = SdsCodec::encodeHex(octets);
    return reading;
}

} // namespace

bool isValidCallingIdentity(const QByteArray &text)
{
    if (!isDigits(text) || text.size() > MaxIdentityDigits)
        return false;
    return text.size() > MaxIssiDigits || text.toLongLong() <= MaxIssi;
}

Indication::Reading read(const QByteArray &response)
{
    qsizetype at = 0;
    while (at + 1 < response.size() && response.at(at) == '\r' && response.at(at + 1) == '\n')
        at += 2;
    if (response.mid(at, Header.size()) != Header)
        return {};

    const qsizetype headerStart = at + Header.size();
    qsizetype headerEnd = headerStart;
    while (headerEnd < response.size() && !isLineEnd(response.at(headerEnd)))
        ++headerEnd;
    // One line end, "\r\n" or either alone, separates the data line.
    qsizetype dataStart = headerEnd;
    if (dataStart < response.size() && response.at(dataStart) == '\r')
        ++dataStart;
    if (dataStart < response.size() && response.at(dataStart) == '\n')
        ++dataStart;
    qsizetype dataEnd = dataStart;
    while (dataEnd < response.size() && !isLineEnd(response.at(dataEnd)))
        ++dataEnd;

    const std::optional<QList<QByteArray>> fields =
        headerFields(response.mid(headerStart, headerEnd - headerStart));
    if (!fields || fields->constLast().size() > MaxLengthDigits)
        return malformed();
    const QByteArray caller =
        fields->size() >= CallingIdentityFields ? fields->at(1) : QByteArray();
    if (!caller.isEmpty() && !isValidCallingIdentity(caller))
        return malformed();

    const QByteArray dataHex = response.mid(dataStart, dataEnd - dataStart);
    if (!isHexText(dataHex))
        return malformed();
    const qsizetype statedOctets = (fields->constLast().toLongLong() + 7) / 8;
    const qsizetype heldOctets = dataHex.size() / 2;
    const QByteArray octets =
        SdsCodec::decodeHex(dataHex.left(2 * std::min(statedOctets, heldOctets)));

    const QByteArray &service = fields->constFirst();
    if (service == QByteArray::number(SdsTlService))
        return readSdsTl(caller, octets);
    if (service == QByteArray::number(StatusService))
        return readStatus(caller, octets);
    return malformed();
}

} // namespace CtsdsrIndication
