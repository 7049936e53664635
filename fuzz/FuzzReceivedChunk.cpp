#include "controls/IntegerConversionError.h"
#include "radio/ResponseScan.h"
#include "radio/SdsCodec.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// Nothing read from a chunk may be longer than the chunk itself.
void requireWithin(const QByteArray &field, const QByteArray &chunk)
{
    if (field.size() > chunk.size())
        std::abort();
}

void parseIndication(const QByteArray &chunk)
{
    try {
        const SdsCodec::ReceivedChunk received = SdsCodec::parseReceivedChunk(chunk);
        requireWithin(received.callingIssi, chunk);
        requireWithin(received.protocolIdText, chunk);
        requireWithin(received.typeText, chunk);
        requireWithin(received.referenceText, chunk);
        requireWithin(received.messageOctets, chunk);
        if (SdsCodec::reportCommands(received).size() > 2)
            std::abort();
    } catch (const IntegerConversionError &) {
        // A length that is not an integer: the expected outcome for such a chunk.
    }
}

void scanResponses(const QByteArray &chunk)
{
    if (ResponseScan::isProbeAnswer(chunk) && chunk.size() != 6)
        std::abort();
    const ResponseScan::SendingScan scan = ResponseScan::scanSendingResponse(chunk);
    // Every line consumes at least one character of the chunk.
    if (scan.lines.size() > chunk.size())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // Raw data, not copied: a read past the chunk is a read past the
    // fuzzer's buffer, which the address sanitizer reports.
    const QByteArray chunk =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    parseIndication(chunk);
    scanResponses(chunk);
    return 0;
}
