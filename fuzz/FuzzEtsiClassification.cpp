// Arbitrary bytes from a radio of the standard's dialect, in arbitrary
// reads, through the response framer and every classification the dialect
// makes: indications, answers to messages, the length range. Whatever
// arrives, the responses are the stream itself, cut; the reports built
// carry validated digits and hex octets only; the limit stays within Short
// Data.
#include "pei/MessageTextLimit.h"
#include "pei/PeiDialect.h"
#include "pei/RadioProfile.h"
#include "pei/ResponseFramer.h"

#include <QRegularExpression>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

bool isWellFormedReport(const QByteArray &command)
{
    static const QRegularExpression shape(
        QStringLiteral("^AT\\+CMGS=[0-9]{1,15},32\\r\\n[0-9A-F]{2}100[02][0-9A-F]{2}\\x1a$"));
    return shape.match(QString::fromLatin1(command)).hasMatch();
}

bool isHexOctets(const QByteArray &text)
{
    static const QRegularExpression shape(QStringLiteral("^([0-9A-F]{2})*$"));
    return shape.match(QString::fromLatin1(text)).hasMatch();
}

void classify(const PeiDialect &dialect, const QByteArray &response)
{
    const Indication::Reading reading = dialect.readIndication(response);
    switch (reading.kind) {
    case Indication::Kind::Message:
        for (const QByteArray &report : dialect.reportCommands(reading)) {
            if (!isWellFormedReport(report))
                std::abort();
        }
        break;
    case Indication::Kind::Report:
        if (reading.deliveryStatus.size() != 2 || !isHexOctets(reading.deliveryStatus))
            std::abort();
        break;
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
            classify(dialect, response.bytes);
        }
    }
    if (const std::optional<FramedResponse> rest = framer.flush()) {
        framed += rest->bytes;
        classify(dialect, rest->bytes);
    }
    if (framed != stream)
        std::abort();
    return 0;
}
