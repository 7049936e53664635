#include "radiosim/SdsText.h"

#include <QString>

namespace radiosim {

namespace {

constexpr quint8 timestampUsed = 0x80;

} // namespace

bool isSimpleText(quint8 protocolId)
{
    return protocolId == simpleTextProtocolId || protocolId == simpleImmediateTextProtocolId;
}

bool carriesTextHeader(quint8 protocolId)
{
    return protocolId == textMessagingProtocolId || protocolId == immediateTextProtocolId ||
           protocolId == userDataHeaderProtocolId;
}

quint32 timestampValue(int month, int day, int hour, int minute)
{
    return quint32(month) << 16 | quint32(day) << 11 | quint32(hour) << 6 | quint32(minute);
}

std::optional<quint32> timestampFromDigits(const QByteArray &digits)
{
    if (digits.size() != 8)
        return std::nullopt;
    int fields[4] = {};
    for (int i = 0; i < 4; ++i) {
        const char high = digits.at(2 * i), low = digits.at(2 * i + 1);
        if (high < '0' || high > '9' || low < '0' || low > '9')
            return std::nullopt;
        fields[i] = (high - '0') * 10 + (low - '0');
    }
    const int month = fields[0], day = fields[1], hour = fields[2], minute = fields[3];
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59)
        return std::nullopt;
    return timestampValue(month, day, hour, minute);
}

QByteArray timestampDigits(quint32 timestamp)
{
    return QString::asprintf("%02u%02u%02u%02u", (timestamp >> 16) & 0x0F, (timestamp >> 11) & 0x1F,
                             (timestamp >> 6) & 0x1F, timestamp & 0x3F)
        .toLatin1();
}

QByteArray textHeader(const TextCoding &coding)
{
    QByteArray header;
    const quint8 scheme = coding.ucs2 ? textCodingUcs2 : textCodingLatin1;
    header.append(char(scheme | (coding.timestamp ? timestampUsed : 0)));
    if (coding.timestamp) {
        header.append(char(*coding.timestamp >> 16));
        header.append(char(*coding.timestamp >> 8));
        header.append(char(*coding.timestamp));
    }
    return header;
}

QByteArray encodedText(const QByteArray &latin1, const TextCoding &coding)
{
    if (!coding.ucs2)
        return latin1;
    QByteArray wide;
    for (const char c : latin1) {
        wide.append('\0');
        wide.append(c);
    }
    return wide;
}

QByteArray concatenationHeader(quint8 firstReference, quint8 parts, quint8 partNumber)
{
    QByteArray header("\x05\x00\x03", 3);
    header.append(char(firstReference));
    header.append(char(parts));
    header.append(char(partNumber));
    return header;
}

} // namespace radiosim
