#include "radiosim/SdsWire.h"

#include <QList>

namespace radiosim {

namespace {

constexpr int maxFieldDigits = 10;

std::optional<quint64> decimalField(const QByteArray &field)
{
    if (field.isEmpty() || field.size() > maxFieldDigits)
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

std::optional<CmgsHeader> parseCmgsHeader(const QByteArray &line)
{
    const QByteArray prefix = "AT+CMGS=";
    if (!line.toUpper().startsWith(prefix))
        return std::nullopt;
    const QList<QByteArray> fields = line.mid(prefix.size()).split(',');
    if (fields.size() != 4)
        return std::nullopt;
    std::optional<quint64> values[4];
    for (int i = 0; i < 4; ++i) {
        values[i] = decimalField(fields.at(i));
        if (!values[i])
            return std::nullopt;
    }
    return CmgsHeader{*values[0], *values[3]};
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
