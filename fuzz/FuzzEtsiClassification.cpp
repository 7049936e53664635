// Arbitrary bytes from a radio of the standard's dialect, in arbitrary
// reads, through the response framer and every classification the dialect
// makes: indications, answers to messages, the length range, and the long
// message assembly behind them. Whatever arrives, the responses are the
// stream itself, cut; the reports and acknowledgements built carry
// validated digits and hex octets only; every text meant for the message
// window is printable Latin-1; the assembly stays within its bounds; the
// limit stays within Short Data.
#include "pei/LongMessageAssembly.h"
#include "pei/MessageTextLimit.h"
#include "pei/PeiDialect.h"
#include "pei/RadioProfile.h"
#include "pei/ResponseFramer.h"

#include <QRegularExpression>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

bool isWellFormedReport(const QByteArray &command)
{
    static const QRegularExpression shape(
        QStringLiteral("^AT\\+CMGS=[0-9]{1,17},32\\r\\n[0-9A-F]{2}100[02][0-9A-F]{2}\\x1a$"));
    return shape.match(QString::fromLatin1(command)).hasMatch();
}

bool isWellFormedAcknowledgement(const QByteArray &command)
{
    static const QRegularExpression shape(
        QStringLiteral("^AT\\+CMGS=[0-9]{1,17},32\\r\\n[0-9A-F]{2}200[13][0-9A-F]{2}\\x1a$"));
    return shape.match(QString::fromLatin1(command)).hasMatch();
}

// A line for the message window: no control character that could end it.
bool isPrintableLatin1(const QByteArray &line)
{
    return std::all_of(line.begin(), line.end(), [](char c) {
        const auto octet = quint8(c);
        return (octet >= 0x20 && octet < 0x7F) || octet >= 0xA0;
    });
}

LongMessageAssembly &assembly()
{
    static LongMessageAssembly instance([] {
        LongMessageAssembly::Limits limits;
        limits.maxOpenSets = 4;
        limits.maxSetOctets = 1024;
        return limits;
    }());
    return instance;
}

void showMessage(const Indication::Reading &reading, qint64 nowMs)
{
    if (!isPrintableLatin1(Indication::messageLine(reading.message.callingIssi, reading.text)))
        std::abort();
    LongMessageAssembly &parts = assembly();
    if (const std::optional<ReceivedText::Content> whole =
            parts.add(reading.message.callingIssi, reading.text, nowMs)) {
        if (whole->part || whole->partCount < 1 ||
            !isPrintableLatin1(Indication::messageLine(reading.message.callingIssi, *whole)))
            std::abort();
    }
    for (const LongMessageAssembly::Dropped &dropped : parts.takeDropped()) {
        if (dropped.partsReceived >= dropped.partCount ||
            !isPrintableLatin1(LongMessageAssembly::droppedLine(dropped)))
            std::abort();
    }
    if (parts.openSets() > 4)
        std::abort();
}

bool isHexOctets(const QByteArray &text)
{
    static const QRegularExpression shape(QStringLiteral("^([0-9A-F]{2})*$"));
    return shape.match(QString::fromLatin1(text)).hasMatch();
}

void classify(const PeiDialect &dialect, const QByteArray &response, qint64 nowMs)
{
    const Indication::Reading reading = dialect.readIndication(response);
    if (!isPrintableLatin1(reading.note))
        std::abort();
    switch (reading.kind) {
    case Indication::Kind::Message:
        for (const QByteArray &report : dialect.reportCommands(reading)) {
            if (!isWellFormedReport(report))
                std::abort();
        }
        showMessage(reading, nowMs);
        break;
    case Indication::Kind::Report: {
        const bool statusRight =
            reading.shortReport
                ? reading.deliveryStatus == Indication::shortReportStatus(*reading.shortReport)
                : reading.deliveryStatus.size() == 2 && isHexOctets(reading.deliveryStatus);
        const QByteArray acknowledgement = dialect.acknowledgementCommand(reading);
        if (!statusRight ||
            (!acknowledgement.isEmpty() && !isWellFormedAcknowledgement(acknowledgement)))
            std::abort();
        break;
    }
    case Indication::Kind::Status:
        if (reading.statusHex.isEmpty() || !isHexOctets(reading.statusHex))
            std::abort();
        break;
    case Indication::Kind::None:
    case Indication::Kind::Malformed:
    case Indication::Kind::Acknowledgement:
        break;
    }
    const ResponseScan::SendingAnswer answer = dialect.readSendingAnswer(response);
    if ((answer.kind == ResponseScan::SendingAnswer::Kind::None) != answer.line.isEmpty())
        std::abort();
    if (const std::optional<int> bits = dialect.maxLengthBits(response)) {
        if (*bits < 8 || *bits > MessageTextLimit::DefaultUserDataBits)
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const PeiDialect &dialect = dialectOf(RadioProfile::Etsi);
    // The first byte chooses the read size; the rest is the stream.
    const qsizetype readSize = 1 + data[0] % 64;
    const QByteArray stream(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    ResponseFramer framer(dialect);
    QByteArray framed;
    for (qsizetype at = 0; at < stream.size(); at += readSize) {
        for (const FramedResponse &response : framer.feed(stream.mid(at, readSize), at)) {
            framed += response.bytes;
            classify(dialect, response.bytes, at);
        }
    }
    if (const std::optional<FramedResponse> rest = framer.flush()) {
        framed += rest->bytes;
        classify(dialect, rest->bytes, stream.size());
    }
    if (framed != stream)
        std::abort();
    return 0;
}
