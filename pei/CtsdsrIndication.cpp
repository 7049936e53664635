#include "pei/CtsdsrIndication.h"

#include "pei/Identity.h"
#include "pei/SdsCodec.h"
#include "pei/TextUserData.h"

#include <QList>
#include <algorithm>

namespace CtsdsrIndication {

namespace {

const QByteArray Header = QByteArrayLiteral("+CTSDSR:");
constexpr qsizetype MinFields = 3;
constexpr qsizetype MaxFields = 7;
constexpr qsizetype CallingIdentityFields = 6;
constexpr qsizetype MaxIdentityDigits = 17;
// A length field of more digits cannot describe one PEI data line.
constexpr qsizetype MaxLengthDigits = 6;
constexpr quint8 FirstTlProtocolId = 0x80;
constexpr quint8 ShortReportMask = 0xFC;
constexpr quint8 ShortReportStart = 0x7C;
constexpr quint8 AcknowledgementRequired = 0x08;

enum TlType : quint8 { Transfer = 0x0, Report = 0x1, Acknowledgement = 0x2 };

// Forward address types of the store/forward control.
enum ForwardAddress : quint8 {
    ShortNumber = 0,
    Ssi = 1,
    Tsi = 2,
    ExternalNumber = 3,
    NoForwardAddress = 7,
};

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

struct Length
{
    qint64 bits = 0;
    QByteArray note;
};

// The length field: the one after the called identity's type, unless that
// one is 0 or 1 and only the last field, the encryption flag's place,
// matches the octets the data line holds.
std::optional<Length> lengthOf(const QList<QByteArray> &fields, qsizetype heldOctets)
{
    const qsizetype count = fields.size();
    const bool encryptionLast = count == 5 || count == 7;
    const qsizetype at = encryptionLast ? count - 2 : count - 1;
    const auto matches = [heldOctets](const QByteArray &field) {
        return field.size() <= MaxLengthDigits && (field.toLongLong() + 7) / 8 == heldOctets;
    };
    Length length;
    qsizetype used = at;
    if (encryptionLast && fields.at(at).toLongLong() <= 1 && matches(fields.at(count - 1)) &&
        !matches(fields.at(at))) {
        used = count - 1;
        length.note = ": +CTSDSR length taken from field " + QByteArray::number(count) +
                      ", as its data line holds; field " + QByteArray::number(count - 1) +
                      " read as end-to-end encryption.";
    }
    if (fields.at(used).size() > MaxLengthDigits)
        return std::nullopt;
    length.bits = fields.at(used).toLongLong();
    return length;
}

// Octets of the store/forward control at `at` (validity period and forward
// address type in one octet, then the forward address); nothing when its
// type is reserved or it runs past the end.
std::optional<qsizetype> storeForwardLength(const QByteArray &octets, qsizetype at)
{
    if (at >= octets.size())
        return std::nullopt;
    qsizetype length = 0;
    switch (octetAt(octets, at) & 0x07) {
    case ShortNumber:
        length = 2;
        break;
    case Ssi:
        length = 4;
        break;
    case Tsi:
        length = 7;
        break;
    case ExternalNumber:
        // A digit count, then four bits a digit, padded to whole octets.
        if (at + 1 >= octets.size())
            return std::nullopt;
        length = 2 + (qsizetype(octetAt(octets, at + 1)) + 1) / 2;
        break;
    case NoForwardAddress:
        length = 1;
        break;
    default:
        return std::nullopt;
    }
    if (at + length > octets.size())
        return std::nullopt;
    return length;
}

// A message with its text; Malformed when the text's headers are.
Indication::Reading message(Indication::Reading reading, quint8 protocolId,
                            const QByteArray &userData)
{
    const std::optional<ReceivedText::Content> text = TextUserData::read(protocolId, userData);
    if (!text)
        return malformed();
    reading.kind = Indication::Kind::Message;
    reading.message.messageOctets = userData;
    reading.text = *text;
    return reading;
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
    if (protocolId < FirstTlProtocolId)
        return message(reading, protocolId, octets.mid(1));
    if (octets.size() < 2)
        return malformed();
    const quint8 typeOctet = octetAt(octets, 1);
    if ((typeOctet >> 4 == Transfer || typeOctet >> 4 == Report) && octets.size() < 3)
        return malformed();
    switch (typeOctet >> 4) {
    case Transfer: {
        reading.message.typeText = hexOctet(typeOctet);
        reading.message.referenceText = hexOctet(octetAt(octets, 2));
        // Without a calling identity there is nobody to report to.
        reading.message.reportKind =
            caller.isEmpty() ? SdsCodec::ReportKind::None : SdsCodec::reportKindOf(typeOctet);
        qsizetype userDataStart = 3;
        if (typeOctet & SdsCodec::StorageFlag) {
            const std::optional<qsizetype> control = storeForwardLength(octets, userDataStart);
            if (!control)
                return malformed();
            userDataStart += *control;
        }
        return message(reading, protocolId, octets.mid(userDataStart));
    }
    case Report:
        reading.kind = Indication::Kind::Report;
        reading.deliveryStatus = hexOctet(octetAt(octets, 2));
        reading.acknowledgementRequested = typeOctet & AcknowledgementRequired;
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
    reading.message.isIndication = true;
    reading.message.callingIssi = caller;
    const quint8 first = octetAt(octets, 0);
    // A short report: six bits 011111, the report type in the low two, then
    // the reference of the message reported on.
    if (octets.size() >= 2 && (first & ShortReportMask) == ShortReportStart) {
        const auto type = Indication::ShortReport(first & ~ShortReportMask);
        reading.kind = Indication::Kind::Report;
        reading.shortReport = type;
        reading.deliveryStatus = Indication::shortReportStatus(type);
        reading.reportReference = octetAt(octets, 1);
        return reading;
    }
    reading.kind = Indication::Kind::Status;
    reading.statusHex = SdsCodec::encodeHex(octets);
    return reading;
}

} // namespace

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

    const QByteArray dataHex = response.mid(dataStart, dataEnd - dataStart);
    const std::optional<QList<QByteArray>> fields =
        headerFields(response.mid(headerStart, headerEnd - headerStart));
    if (!fields || !isHexText(dataHex))
        return malformed();
    const qsizetype heldOctets = dataHex.size() / 2;
    const std::optional<Length> length = lengthOf(*fields, heldOctets);
    if (!length)
        return malformed();
    const QByteArray caller =
        fields->size() >= CallingIdentityFields ? fields->at(1) : QByteArray();
    if (!caller.isEmpty() && !Identity::typeOf(caller))
        return malformed();

    const qsizetype statedOctets = (length->bits + 7) / 8;
    const QByteArray octets =
        SdsCodec::decodeHex(dataHex.left(2 * std::min(statedOctets, heldOctets)));

    const QByteArray &service = fields->constFirst();
    Indication::Reading reading;
    if (service == QByteArray::number(SdsTlService))
        reading = readSdsTl(caller, octets);
    else if (service == QByteArray::number(StatusService))
        reading = readStatus(caller, octets);
    else
        return malformed();
    if (reading.kind != Indication::Kind::Malformed)
        reading.note = length->note;
    return reading;
}

} // namespace CtsdsrIndication
