#include "radiosim/SdsWire.h"

#include <QList>

namespace radiosim {

namespace {

constexpr int maxFieldDigits = 10;
constexpr int maxIdentityDigits = 15;

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

} // namespace

std::optional<QList<quint64>> decimalFields(const QByteArray &text, int count, int maxDigits)
{
    const QList<QByteArray> fields = text.split(',');
    if (fields.size() != count)
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
    const QByteArray prefix = "AT+CMGS=";
    if (!line.toUpper().startsWith(prefix))
        return std::nullopt;
    const std::optional<QList<quint64>> values = decimalFields(line.mid(prefix.size()), 4);
    if (!values)
        return std::nullopt;
    return CmgsHeader{values->at(0), values->at(3)};
}

std::optional<CmgsHeader> parseTwoFieldCmgsHeader(const QByteArray &line)
{
    const QByteArray prefix = "AT+CMGS=";
    if (!line.toUpper().startsWith(prefix))
        return std::nullopt;
    const std::optional<QList<quint64>> values =
        decimalFields(line.mid(prefix.size()), 2, maxIdentityDigits);
    if (!values)
        return std::nullopt;
    return CmgsHeader{values->at(0), values->at(1)};
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

QByteArray cmtIndication(quint64 from, const QByteArray &octets)
{
    return "\r\n+CMT: " + QByteArray::number(from) + ",0," + QByteArray::number(octets.size() * 8) +
           "\r\n" + octets.toHex().toUpper() + "\r\n";
}

QByteArray ctsdsrIndication(int service, quint64 from, quint64 to, const QByteArray &octets)
{
    return "\r\n+CTSDSR: " + QByteArray::number(service) + ',' + QByteArray::number(from) + ",0," +
           QByteArray::number(to) + ",0," + QByteArray::number(octets.size() * 8) + "\r\n" +
           octets.toHex().toUpper() + "\r\n";
}

QByteArray reportOctets(quint8 protocolId, quint8 status, quint8 reference)
{
    QByteArray octets;
    octets.append(char(protocolId));
    octets.append(char(sdsReport));
    octets.append(char(status));
    octets.append(char(reference));
    return octets;
}

} // namespace radiosim
