// The one integer conversion on any text: its 8-bit and its QString forms
// agree, the throwing form throws exactly when there is no value, and every
// value it yields reads back from its own decimal and "$" hex forms.
#include "text/IntegerConversionError.h"
#include "text/IntegerText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void requireReadsBack(const QByteArray &text, qint32 value)
{
    const std::optional<qint32> again = tryParseInteger(text);
    if (!again || *again != value)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<qint32> value = tryParseInteger(text);
    if (tryParseInteger(QString::fromLatin1(text)) != value)
        std::abort();

    bool threw = false;
    try {
        if (parseInteger(text) != value.value_or(0))
            std::abort();
    } catch (const IntegerConversionError &) {
        threw = true;
    }
    if (threw == value.has_value())
        std::abort();
    if (!value)
        return 0;

    requireReadsBack(QByteArray::number(*value), *value);
    const qint64 magnitude = *value < 0 ? -qint64(*value) : qint64(*value);
    requireReadsBack((*value < 0 ? "-$" : "$") + QByteArray::number(magnitude, 16), *value);
    return 0;
}
