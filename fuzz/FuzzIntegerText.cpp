// The entry fields and the codec each read number texts by the same rule,
// in code of their own: on any text they must agree, and a value they accept
// must read back from its own decimal form.
#include "controls/IntegerText.h"
#include "radio/SdsCodec.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<qint32> fieldValue = integerFromText(QString::fromLatin1(text));
    int codecValue = 0;
    const bool codecAccepts = SdsCodec::tryStrToInt(text, &codecValue);

    if (fieldValue.has_value() != codecAccepts)
        std::abort();
    if (!codecAccepts)
        return 0;
    if (*fieldValue != codecValue)
        std::abort();
    int again = 0;
    if (!SdsCodec::tryStrToInt(QByteArray::number(codecValue), &again) || again != codecValue)
        std::abort();
    return 0;
}
