#include "radiosim/SdsWire.h"

#include <QList>
#include <algorithm>

namespace radiosim {

namespace {

constexpr int maxFieldDigits = 10;

std::optional<quint64> decimalField(const QByteArray &field, int maxDigits = maxFieldDigits)
{
    if (field.isEmpty() || field.size() > maxDigits)
        return std::nullopt;
    quint64 value = 0;
    for (const char c : field) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + quint64(c - '0');
    }
    return value;
}

int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool allDigits(const QByteArray &text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "AT+CMGS=" in any case, then the fields, split at commas.
std::optional<QList<QByteArray>> cmgsFields(const QByteArray &line)
{
    const QByteArray prefix = "AT+CMGS=";
    if (!line.toUpper().startsWith(prefix))
        return std::nullopt;
    return line.mid(prefix.size()).split(',');
}

} // namespace

int identityType(const Identity &identity)
{
    return identity.size() > maxSsiDigits ? 1 : 0;
}

std::optional<quint64> ssiOf(const Identity &identity)
{
    if (identityType(identity) != 0)
        return std::nullopt;
    const std::optional<quint64> value = decimalField(identity, maxSsiDigits);
    if (!value || *value > maxSsi)
        return std::nullopt;
    return value;
}

bool isIdentity(const QByteArray &digits)
{
    if (digits.isEmpty() || digits.size() > maxIdentityDigits || !allDigits(digits))
        return false;
    return identityType(digits) != 0 || ssiOf(digits);
}

std::optional<QList<quint64>> decimalFields(const QByteArray &text, int minCount, int maxCount,
                                            int maxDigits)
{
    const QList<QByteArray> fields = text.split(',');
    if (fields.size() < minCount || fields.size() > maxCount)
        return std::nullopt;
    QList<quint64> values;
    for (const QByteArray &field : fields) {
        const std::optional<quint64> value = decimalField(field, maxDigits);
        if (!value)
            return std::nullopt;
        values.append(*value);
    }
    return values;
}

std::optional<CmgsHeader> parseCmgsHeader(const QByteArray &line)
{
    const std::optional<QList<QByteArray>> fields = cmgsFields(line);
    if (!fields || fields->size() != 4)
        return std::nullopt;
    for (const QByteArray &field : *fields) {
        if (!decimalField(field))
            return std::nullopt;
    }
    return CmgsHeader{fields->at(0), *decimalField(fields->at(3))};
}

std::optional<CmgsHeader> parseTwoFieldCmgsHeader(const QByteArray &line)
{
    const std::optional<QList<QByteArray>> fields = cmgsFields(line);
    if (!fields || fields->size() != 2 || !isIdentity(fields->at(0)))
        return std::nullopt;
    const std::optional<quint64> length = decimalField(fields->at(1));
    if (!length)
        return std::nullopt;
    return CmgsHeader{fields->at(0), *length};
}

std::optional<QByteArray> octetsFromHex(const QByteArray &hex)
{
    if (hex.size() % 2 != 0)
        return std::nullopt;
    QByteArray octets;
    octets.reserve(hex.size() / 2);
    for (int i = 0; i < hex.size(); i += 2) {
        const int high = hexDigitValue(hex.at(i));
        const int low = hexDigitValue(hex.at(i + 1));
        if (high < 0 || low < 0)
            return std::nullopt;
        octets.append(char(high * 16 + low));
    }
    return octets;
}

QByteArray cmtIndication(const Identity &from, const QByteArray &octets)
{
    return "\r\n+CMT: " + from + ",0," + QByteArray::number(octets.size() * 8) + "\r\n" +
           octets.toHex().toUpper() + "\r\n";
}

QByteArray ctsdsrIndication(int service, const Identity &from, const Identity &to,
                            const QByteArray &octets, CtsdsrForm form)
{
    const QByteArray length = QByteArray::number(octets.size() * 8);
    // Short Data is never end-to-end encrypted here.
    const QByteArray encryption = "0";
    QByteArray header = "\r\n+CTSDSR: " + QByteArray::number(service) + ',' + from + ',' +
                        QByteArray::number(identityType(from)) + ',' + to + ',' +
                        QByteArray::number(identityType(to)) + ',';
    switch (form) {
    case CtsdsrForm::Six:
        header += length;
        break;
    case CtsdsrForm::Seven:
        header += length + ',' + encryption;
        break;
    case CtsdsrForm::SevenSwapped:
        header += encryption + ',' + length;
        break;
    }
    return header + "\r\n" + octets.toHex().toUpper() + "\r\n";
}

QByteArray reportOctets(quint8 protocolId, quint8 status, quint8 reference, bool askAck)
{
    QByteArray octets;
    octets.append(char(protocolId));
    octets.append(char(sdsReport | (askAck ? ackRequired : 0)));
    octets.append(char(status));
    octets.append(char(reference));
    return octets;
}

QByteArray shortReportOctets(quint8 type, quint8 reference)
{
    QByteArray octets;
    octets.append(char(0x7C | (type & 0x03)));
    octets.append(char(reference));
    return octets;
}

} // namespace radiosim
