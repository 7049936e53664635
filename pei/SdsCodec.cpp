#include "pei/SdsCodec.h"

#include "text/IntegerText.h"

#include <algorithm>

namespace SdsCodec {

namespace {

const char CommandEnd = '\x1A';

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

// Characters from `from` up to, not including, the first of `stops`, and the
// index of that character (the chunk's size when there is none). A start past
// the end gives an empty field.
QByteArray fieldUntil(const QByteArray &chunk, qsizetype from, const QByteArray &stops,
                      qsizetype *stopIndex)
{
    qsizetype i = std::min(from, chunk.size());
    const qsizetype start = i;
    while (i < chunk.size() && !stops.contains(chunk.at(i)))
        ++i;
    *stopIndex = i;
    return chunk.mid(start, i - start);
}

// mid() that is empty, not the whole chunk, for a start past the end.
QByteArray fixedField(const QByteArray &chunk, qsizetype from, qsizetype length)
{
    if (from >= chunk.size())
        return QByteArray();
    return chunk.mid(from, length);
}

// The body pairs end with the "\r\n" after the user data; the first "\r"
// that starts a pair ends the message.
QByteArray cutAtPairStartingReturn(const QByteArray &bodyHex)
{
    for (qsizetype i = 0; i < bodyHex.size(); i += 2) {
        if (bodyHex.at(i) == '\r')
            return bodyHex.left(i);
    }
    return bodyHex;
}

QByteArray cmgsCommand(const QByteArray &issi, qint64 bits, const QByteArray &userDataHex)
{
    return "AT+CMGS=" + issi + ",1,0," + QByteArray::number(bits) + '\r' + userDataHex + CommandEnd;
}

} // namespace

ReportKind reportKindOf(quint8 typeOctet)
{
    if (typeOctet >> 4 != 0)
        return ReportKind::None;
    const bool received = typeOctet & ReceivedReportFlag;
    const bool consumed = typeOctet & ConsumedReportFlag;
    if (received && consumed)
        return ReportKind::Both;
    if (received)
        return ReportKind::Received;
    return consumed ? ReportKind::Consumed : ReportKind::None;
}

std::optional<quint8> hexOctet(const QByteArray &text)
{
    if (text.size() != 2)
        return std::nullopt;
    const int high = hexDigitValue(text.at(0));
    const int low = hexDigitValue(text.at(1));
    if (high < 0 || low < 0)
        return std::nullopt;
    return quint8(high * 16 + low);
}

QByteArray hexWithAtLeastTwoDigits(int value)
{
    return QByteArray::number(quint32(value), 16).toUpper().rightJustified(2, '0');
}

QByteArray encodeHex(const QByteArray &text)
{
    return text.toHex().toUpper();
}

QByteArray decodeHex(const QByteArray &hex)
{
    QByteArray octets;
    qsizetype i = 0;
    while (i < hex.size()) {
        const int high = hexDigitValue(hex.at(i));
        if (high < 0) {
            ++i;
            continue;
        }
        const int low = i + 1 < hex.size() ? std::max(hexDigitValue(hex.at(i + 1)), 0) : 0;
        octets.append(char(high * 16 + low));
        i += 2;
    }
    return octets;
}

QByteArray buildRegistrationCommand(const QByteArray &protocolIdText)
{
    return "AT+CMGS=0,1,0,8\r" + hexWithAtLeastTwoDigits(parseInteger(protocolIdText)) + CommandEnd;
}

UserData transferUserData(qint32 protocolId, quint8 reportFlags, quint8 reference, bool codingOctet,
                          const QByteArray &message)
{
    const QByteArray headerHex = hexWithAtLeastTwoDigits(protocolId) +
                                 hexWithAtLeastTwoDigits(reportFlags) +
                                 hexWithAtLeastTwoDigits(reference);
    const qint64 octets = decodeHex(headerHex).size() + message.size();
    if (codingOctet)
        return {headerHex + "01" + encodeHex(message), octets * 8 + 8};
    return {headerHex + encodeHex(message), octets * 8};
}

QByteArray composeTextMessage(const QByteArray &protocolIdText, quint8 reportFlags,
                              quint8 reference, const QByteArray &destIssi,
                              const QByteArray &message)
{
    const UserData userData = transferUserData(parseInteger(protocolIdText), reportFlags, reference,
                                               protocolIdText == "130", message);
    return cmgsCommand(destIssi, userData.bits, userData.hex);
}

QByteArray sendingLine(const QByteArray &destIssi, const QByteArray &message)
{
    return ": Trying to send to " + destIssi + ": " + message;
}

QByteArray receivedLine(const QByteArray &callingIssi, const QByteArray &message)
{
    return ": Message received from " + callingIssi + ": " + message;
}

bool isIndication(const QByteArray &chunk)
{
    return chunk.startsWith("\r\n+CMT");
}

QByteArray callingIssiOf(const QByteArray &chunk)
{
    qsizetype issiEnd = 0;
    return fieldUntil(chunk, 8, QByteArrayLiteral(","), &issiEnd);
}

QByteArray userDataOctetText(const QByteArray &chunk, const ReceivedChunk &received, int index)
{
    if (received.userDataStart < 0)
        return QByteArray();
    return fixedField(chunk, received.userDataStart + 2 * qsizetype(index), 2);
}

ReceivedChunk parseReceivedChunk(const QByteArray &chunk)
{
    ReceivedChunk received;
    if (!isIndication(chunk))
        return received;
    received.isIndication = true;

    // "\r\n+CMT: <calling ISSI>,<one character>,<length in bits>\r\n<hex>\r\n"
    qsizetype issiEnd = 0;
    received.callingIssi = fieldUntil(chunk, 8, QByteArrayLiteral(","), &issiEnd);
    qsizetype lengthEnd = 0;
    const QByteArray lengthText =
        fieldUntil(chunk, issiEnd + 3, QByteArrayLiteral("\r,"), &lengthEnd);
    received.lengthBits = tryParseInteger(lengthText);
    if (!received.lengthBits)
        return received;
    const qint64 octetCount = *received.lengthBits / 8;
    received.userDataStart = lengthEnd + 2;

    received.protocolIdText = fixedField(chunk, lengthEnd + 2, 2);
    received.typeText = fixedField(chunk, lengthEnd + 4, 2);
    const std::optional<quint8> type = hexOctet(received.typeText);
    if (!type || *type >> 4 != 0)
        return received;

    received.reportKind = reportKindOf(*type);
    received.referenceText = fixedField(chunk, lengthEnd + 6, 2);
    // The octet count includes the three header octets already read, so the
    // pairs run on into the line end; the cut below drops it.
    if (octetCount > 0) {
        const QByteArray bodyHex = fixedField(chunk, lengthEnd + 8, octetCount * 2);
        received.messageOctets = decodeHex(cutAtPairStartingReturn(bodyHex));
    }
    return received;
}

QByteArray reportUserDataHex(const QByteArray &protocolIdText, const QByteArray &referenceText,
                             DeliveryReport report)
{
    return protocolIdText + (report == DeliveryReport::Received ? "1000" : "1002") + referenceText;
}

QByteArray buildReportCommand(const QByteArray &callingIssi, const QByteArray &protocolIdText,
                              const QByteArray &referenceText, DeliveryReport report)
{
    const QByteArray reportHex = reportUserDataHex(protocolIdText, referenceText, report);
    return cmgsCommand(callingIssi, qint64(decodeHex(reportHex).size()) * 8, reportHex);
}

QList<QByteArray> reportCommands(const ReceivedChunk &received)
{
    QList<QByteArray> commands;
    const auto add = [&](DeliveryReport report) {
        commands.append(buildReportCommand(received.callingIssi, received.protocolIdText,
                                           received.referenceText, report));
    };
    if (received.reportKind == ReportKind::Received || received.reportKind == ReportKind::Both)
        add(DeliveryReport::Received);
    if (received.reportKind == ReportKind::Consumed || received.reportKind == ReportKind::Both)
        add(DeliveryReport::Consumed);
    return commands;
}

} // namespace SdsCodec
