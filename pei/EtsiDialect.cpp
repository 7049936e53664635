#include "pei/PeiDialect.h"

#include "pei/CtsdsrIndication.h"
#include "pei/MessageTextLimit.h"
#include "pei/SdsCodec.h"
#include "pei/TextUserData.h"
#include "text/IntegerConversionError.h"
#include "text/IntegerText.h"

namespace {

const char CommandEnd = '\x1A';
const QByteArray CompletionStart = QByteArrayLiteral("+CMGS: ");
const QByteArray RangeAnswerStart = QByteArrayLiteral("+CMGS:");
// A length field of more digits cannot be a bit count of Short Data.
constexpr qsizetype MaxLengthDigits = 5;
constexpr int MinTextLimitBits = 8;
constexpr quint8 AcknowledgementType = 0x20;
// Delivery statuses of an acknowledgement: of a received report, of a
// consumed report.
constexpr quint8 ReceiptReportAcknowledged = 0x01;
constexpr quint8 ConsumedReportAcknowledged = 0x03;

// "AT+CMGS=<identity>,<bits>\r\n<hex>" and 0x1A: two arguments, and the hex
// on a line of its own.
QByteArray cmgsCommand(const QByteArray &identity, qint64 bits, const QByteArray &userDataHex)
{
    return "AT+CMGS=" + identity + ',' + QByteArray::number(bits) + "\r\n" + userDataHex +
           CommandEnd;
}

bool isDigits(const QByteArray &text)
{
    if (text.isEmpty())
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// Simple text: the protocol identifier, the text coding octet, the text.
SdsCodec::UserData simpleTextUserData(qint32 protocolId, const QByteArray &message)
{
    const QByteArray protocolHex = SdsCodec::hexWithAtLeastTwoDigits(protocolId);
    const qint64 octets = SdsCodec::decodeHex(protocolHex).size() + 1 + message.size();
    return {protocolHex + "01" + SdsCodec::encodeHex(message), octets * 8};
}

TextUserData::Layout layoutOf(const QByteArray &protocolIdText)
{
    const std::optional<qint32> protocolId = tryParseInteger(protocolIdText);
    return protocolId ? TextUserData::layoutOf(*protocolId) : TextUserData::Layout::Other;
}

} // namespace

bool EtsiDialect::isIndicationHeader(const QByteArray &line) const
{
    return line.startsWith("+CTSDSR:");
}

QByteArray EtsiDialect::registrationCommand(const QByteArray &protocolIdText) const
{
    // The identifier goes out in decimal, so only a value of one octet may.
    const qint32 protocolId = parseInteger(protocolIdText);
    if (protocolId < 0 || protocolId > 255)
        throw IntegerConversionError(protocolIdText);
    // Service profile 1 (register), service layer 3 (SDS type 4 with TL).
    return "AT+CTSP=1,3," + QByteArray::number(protocolId) + '\r';
}

QByteArray EtsiDialect::serviceSelectionCommand(Identity::Type type) const
{
    // AI service 12 (SDS-TL), then the type of the called identity; the
    // fields after it as they have always been sent.
    return "AT+CTSDS=12," + QByteArray::number(int(type)) + ",0,0,1\r";
}

QByteArray EtsiDialect::textMessageCommand(const QByteArray &protocolIdText, quint8 reportFlags,
                                           quint8 reference, const QByteArray &destIssi,
                                           const QByteArray &message) const
{
    const qint32 protocolId = parseInteger(protocolIdText);
    SdsCodec::UserData userData;
    switch (TextUserData::layoutOf(protocolId)) {
    case TextUserData::Layout::SimpleText:
        // No SDS-TL header: no reference, no report request.
        userData = simpleTextUserData(protocolId, message);
        break;
    case TextUserData::Layout::Text:
        userData = SdsCodec::transferUserData(protocolId, reportFlags, reference, true, message);
        break;
    case TextUserData::Layout::TextWithUserDataHeader:
    case TextUserData::Layout::Other:
        userData = SdsCodec::transferUserData(protocolId, reportFlags, reference, false, message);
        break;
    }
    return cmgsCommand(destIssi, userData.bits, userData.hex);
}

QByteArray EtsiDialect::reportRequestRefusal(const QByteArray &protocolIdText) const
{
    if (layoutOf(protocolIdText) != TextUserData::Layout::SimpleText)
        return {};
    return "Protocol identifier " + protocolIdText.trimmed() +
           " is simple text: it has no SDS-TL header, so it cannot ask for reports.";
}

QByteArray EtsiDialect::sendingNote(const QByteArray &protocolIdText) const
{
    switch (layoutOf(protocolIdText)) {
    case TextUserData::Layout::SimpleText:
    case TextUserData::Layout::Text:
        return {};
    case TextUserData::Layout::TextWithUserDataHeader:
    case TextUserData::Layout::Other:
        break;
    }
    return ": Sent without a text coding octet (protocol identifier " + protocolIdText.trimmed() +
           ").";
}

bool EtsiDialect::acceptsDestination(const QByteArray &identity) const
{
    return Identity::isAddressableSsi(identity) || Identity::isFullIdentity(identity);
}

QByteArray EtsiDialect::destinationRefusal() const
{
    return QByteArrayLiteral(
        "Not an ISSI (a number from 1 to 16777215) nor a full identity (9 to 17 digits).");
}

QList<QByteArray> EtsiDialect::reportCommands(const Indication::Reading &message) const
{
    using SdsCodec::DeliveryReport;
    using SdsCodec::ReportKind;
    const SdsCodec::ReceivedChunk &received = message.message;
    QList<QByteArray> commands;
    const auto add = [&](DeliveryReport report) {
        const QByteArray hex =
            SdsCodec::reportUserDataHex(received.protocolIdText, received.referenceText, report);
        commands.append(
            cmgsCommand(received.callingIssi, SdsCodec::decodeHex(hex).size() * 8, hex));
    };
    if (received.reportKind == ReportKind::Received || received.reportKind == ReportKind::Both)
        add(DeliveryReport::Received);
    if (received.reportKind == ReportKind::Consumed || received.reportKind == ReportKind::Both)
        add(DeliveryReport::Consumed);
    return commands;
}

QByteArray EtsiDialect::acknowledgementCommand(const Indication::Reading &report) const
{
    if (report.kind != Indication::Kind::Report || !report.acknowledgementRequested ||
        !report.reportReference || report.message.callingIssi.isEmpty())
        return {};
    const quint8 status =
        report.deliveryStatus == "02" ? ConsumedReportAcknowledged : ReceiptReportAcknowledged;
    const QByteArray hex = report.message.protocolIdText +
                           SdsCodec::hexWithAtLeastTwoDigits(AcknowledgementType) +
                           SdsCodec::hexWithAtLeastTwoDigits(status) +
                           SdsCodec::hexWithAtLeastTwoDigits(*report.reportReference);
    return cmgsCommand(report.message.callingIssi, SdsCodec::decodeHex(hex).size() * 8, hex);
}

QByteArray EtsiDialect::maxLengthQuery() const
{
    return QByteArrayLiteral("AT+CMGS=?\r");
}

bool EtsiDialect::isRegistrationAnswer(const QByteArray &response) const
{
    return ResponseScan::isProbeAnswer(response);
}

ResponseScan::SendingAnswer EtsiDialect::readSendingAnswer(const QByteArray &response) const
{
    // "+CMGS: <SDS instance>[,<SDS status>[,<message reference>]]", then OK;
    // the values do not matter. A range in brackets answers the length query.
    const QList<QByteArray> lines = ResponseScan::answerLines(response);
    if (lines.size() == 2 && lines.at(1) == "OK" && lines.at(0).startsWith(CompletionStart) &&
        !lines.at(0).contains('('))
        return {ResponseScan::SendingAnswer::Kind::Completed,
                ": Send command completed successfully.", QByteArray()};
    return ResponseScan::readSendingAnswer(response);
}

Indication::Reading EtsiDialect::readIndication(const QByteArray &response) const
{
    return CtsdsrIndication::read(response);
}

std::optional<int> EtsiDialect::maxLengthBits(const QByteArray &response) const
{
    // "+CMGS: (<identities>,...),(<min>-<max>)": the last range in brackets
    // is the user data length in bits.
    const qsizetype lineStart = response.indexOf(RangeAnswerStart);
    if (lineStart < 0)
        return std::nullopt;
    qsizetype lineEnd = response.indexOf('\r', lineStart);
    if (lineEnd < 0)
        lineEnd = response.size();
    const QByteArray line = response.mid(lineStart, lineEnd - lineStart);
    const qsizetype open = line.lastIndexOf('(');
    const qsizetype close = line.lastIndexOf(')');
    if (open < 0 || close < open)
        return std::nullopt;
    const QByteArray range = line.mid(open + 1, close - open - 1);
    const qsizetype dash = range.indexOf('-');
    const QByteArray maxText = range.mid(dash + 1);
    if (dash < 0 || !isDigits(maxText) || maxText.size() > MaxLengthDigits)
        return std::nullopt;
    const int bits = maxText.toInt();
    if (bits < MinTextLimitBits || bits > MessageTextLimit::DefaultUserDataBits)
        return std::nullopt;
    return bits;
}
