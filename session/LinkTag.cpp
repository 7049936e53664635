#include "session/LinkTag.h"

namespace LinkTag {

namespace {

constexpr int runIdDigits = 4;
constexpr int minSequenceDigits = 4;
constexpr int maxSequenceDigits = 9;
constexpr char textCodingOctet = 0x01;

bool isDecimal(char c)
{
    return c >= '0' && c <= '9';
}

bool isLowerHex(char c)
{
    return isDecimal(c) || (c >= 'a' && c <= 'f');
}

bool isHex(char c)
{
    return isLowerHex(c) || (c >= 'A' && c <= 'F');
}

// '#', one or more hex digits of either case, ':'.
bool beginsLikeATag(const QByteArray &text)
{
    if (!text.startsWith('#'))
        return false;
    qsizetype i = 1;
    while (i < text.size() && isHex(text.at(i)))
        ++i;
    return i > 1 && i < text.size() && text.at(i) == ':';
}

} // namespace

QByteArray make(quint16 runId, int sequence)
{
    return '#' + QByteArray::number(runId, 16).rightJustified(runIdDigits, '0') + ':' +
           QByteArray::number(sequence).rightJustified(minSequenceDigits, '0') + ' ';
}

int length(int sequence)
{
    return int(make(0, sequence).size());
}

Reading read(const QByteArray &text)
{
    Reading reading;
    if (!beginsLikeATag(text))
        return reading;
    reading.kind = Reading::Kind::Malformed;
    // '#', the run identifier, ':'.
    const qsizetype sequenceStart = 1 + runIdDigits + 1;
    if (text.size() <= sequenceStart || text.at(sequenceStart - 1) != ':')
        return reading;
    for (qsizetype i = 1; i <= runIdDigits; ++i) {
        if (!isLowerHex(text.at(i)))
            return reading;
    }
    qsizetype end = sequenceStart;
    while (end < text.size() && end - sequenceStart < maxSequenceDigits && isDecimal(text.at(end)))
        ++end;
    const qsizetype digits = end - sequenceStart;
    if (digits < minSequenceDigits || end >= text.size() || text.at(end) != ' ')
        return reading;
    const QByteArray sequenceText = text.mid(sequenceStart, digits);
    const int sequence = sequenceText.toInt();
    // One sequence number, one tag: a longer form than make() writes is no tag.
    if (sequence < 1 ||
        sequenceText != QByteArray::number(sequence).rightJustified(minSequenceDigits, '0'))
        return reading;
    reading.kind = Reading::Kind::Tagged;
    reading.runId = quint16(text.mid(1, runIdDigits).toUInt(nullptr, 16));
    reading.sequence = sequence;
    return reading;
}

QByteArray sentText(const ReceivedText::Content &content)
{
    if (!content.codingScheme && content.octets.startsWith(textCodingOctet))
        return content.octets.mid(1);
    return content.octets;
}

} // namespace LinkTag
