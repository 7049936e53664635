#include "text/IntegerText.h"

#include "text/IntegerConversionError.h"

#include <cstdint>

namespace {

char16_t codeAt(const QString &text, qsizetype pos)
{
    return text.at(pos).unicode();
}

char16_t codeAt(const QByteArray &text, qsizetype pos)
{
    return static_cast<unsigned char>(text.at(pos));
}

// Only ASCII digits count; QChar::digitValue would also take other scripts.
int digitValue(char16_t code, int base)
{
    if (code >= u'0' && code <= u'9')
        return code - u'0';
    if (base == 16 && code >= u'a' && code <= u'f')
        return code - u'a' + 10;
    if (base == 16 && code >= u'A' && code <= u'F')
        return code - u'A' + 10;
    return -1;
}

template <typename Text> std::optional<qint32> parse(const Text &text)
{
    const qsizetype size = text.size();
    qsizetype pos = 0;
    while (pos < size && codeAt(text, pos) == u' ')
        ++pos;

    bool negative = false;
    if (pos < size && (codeAt(text, pos) == u'-' || codeAt(text, pos) == u'+')) {
        negative = codeAt(text, pos) == u'-';
        ++pos;
    }
    int base = 10;
    if (pos < size && codeAt(text, pos) == u'$') {
        base = 16;
        ++pos;
    }
    if (pos == size)
        return std::nullopt;

    // The magnitude of the most negative value; checked after every digit,
    // so a long text cannot overflow the accumulator.
    constexpr qint64 largestMagnitude = qint64(INT32_MAX) + 1;
    qint64 magnitude = 0;
    for (; pos < size; ++pos) {
        const int digit = digitValue(codeAt(text, pos), base);
        if (digit < 0)
            return std::nullopt;
        magnitude = magnitude * base + digit;
        if (magnitude > largestMagnitude)
            return std::nullopt;
    }
    if (!negative && magnitude == largestMagnitude)
        return std::nullopt;
    return static_cast<qint32>(negative ? -magnitude : magnitude);
}

} // namespace

std::optional<qint32> tryParseInteger(const QString &text)
{
    return parse(text);
}

std::optional<qint32> tryParseInteger(const QByteArray &text)
{
    return parse(text);
}

qint32 parseInteger(const QByteArray &text)
{
    const std::optional<qint32> value = tryParseInteger(text);
    if (!value)
        throw IntegerConversionError(text);
    return *value;
}
