#include "pei/ReceivedText.h"

#include "pei/SdsCodec.h"

namespace ReceivedText {

namespace {

constexpr char HexDigits[] = "0123456789ABCDEF";
const char *const MonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool isShownAsItself(quint8 octet)
{
    return (octet >= 0x20 && octet < 0x7F) || octet >= 0xA0;
}

void appendHexEscape(QByteArray &out, quint8 octet)
{
    out += "\\x";
    out += HexDigits[octet >> 4];
    out += HexDigits[octet & 0xF];
}

void appendVisible(QByteArray &out, quint8 octet)
{
    if (octet == '\\')
        out += "\\\\";
    else if (isShownAsItself(octet))
        out += char(octet);
    else
        appendHexEscape(out, octet);
}

QByteArray ucs2Visible(const QByteArray &octets)
{
    QByteArray out;
    qsizetype at = 0;
    for (; at + 1 < octets.size(); at += 2) {
        const quint16 code = quint16(quint8(octets.at(at)) << 8 | quint8(octets.at(at + 1)));
        if (code <= 0xFF) {
            appendVisible(out, quint8(code));
            continue;
        }
        out += "\\u";
        for (const int shift : {12, 8, 4, 0})
            out += HexDigits[(code >> shift) & 0xF];
    }
    if (at < octets.size())
        appendHexEscape(out, quint8(octets.at(at)));
    return out;
}

// The time stamp: two bits of time frame and two reserved, then the month
// (4 bits), day (5), hour (5) and minute (6).
QByteArray timestampText(quint32 stamp)
{
    const int month = int(stamp >> 16) & 0xF;
    const int day = int(stamp >> 11) & 0x1F;
    const int hour = int(stamp >> 6) & 0x1F;
    const int minute = int(stamp) & 0x3F;
    if (month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59)
        return "(time stamp " + QByteArray::number(stamp, 16).toUpper().rightJustified(6, '0') +
               ") ";
    return "(sent " + QByteArray::number(day) + ' ' + MonthNames[month - 1] + ' ' +
           QByteArray::number(hour).rightJustified(2, '0') + ':' +
           QByteArray::number(minute).rightJustified(2, '0') + ") ";
}

} // namespace

QByteArray visible(const QByteArray &octets)
{
    QByteArray out;
    out.reserve(octets.size());
    for (const char c : octets)
        appendVisible(out, quint8(c));
    return out;
}

QByteArray shown(const Content &content)
{
    const QByteArray stamp = content.timestamp ? timestampText(*content.timestamp) : QByteArray();
    if (!content.codingScheme || *content.codingScheme == Latin1Scheme)
        return stamp + visible(content.octets);
    if (*content.codingScheme == Ucs2Scheme)
        return stamp + ucs2Visible(content.octets);
    return stamp + "(text coding scheme " + QByteArray::number(*content.codingScheme) + ") " +
           SdsCodec::encodeHex(content.octets);
}

} // namespace ReceivedText
