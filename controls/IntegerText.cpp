#include "controls/IntegerText.h"

#include <cstdint>

namespace {

// Only ASCII digits count; QChar::digitValue would also take other scripts.
int digitValue(QChar character, int base)
{
    const char16_t code = character.unicode();
    if (code >= u'0' && code <= u'9')
        return code - u'0';
    if (base == 16 && code >= u'a' && code <= u'f')
        return code - u'a' + 10;
    if (base == 16 && code >= u'A' && code <= u'F')
        return code - u'A' + 10;
    return -1;
}

} // namespace

std::optional<qint32> integerFromText(const QString &text)
{
    const qsizetype size = text.size();
    qsizetype pos = 0;
    while (pos < size && text.at(pos) == u' ')
        ++pos;

    bool negative = false;
    if (pos < size && (text.at(pos) == u'-' || text.at(pos) == u'+')) {
        negative = text.at(pos) == u'-';
        ++pos;
    }
    int base = 10;
    if (pos < size && text.at(pos) == u'$') {
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
        const int digit = digitValue(text.at(pos), base);
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
