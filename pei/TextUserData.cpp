#include "pei/TextUserData.h"

namespace TextUserData {

namespace {

constexpr quint8 TimestampUsed = 0x80;
constexpr quint8 CodingSchemeMask = 0x7F;
constexpr qsizetype TimestampOctets = 3;
constexpr quint8 ConcatenationElement = 0x00;
constexpr quint8 WideConcatenationElement = 0x08;
constexpr int ConcatenationLength = 3;
constexpr int WideConcatenationLength = 4;

quint8 octetAt(const QByteArray &octets, qsizetype index)
{
    return quint8(octets.at(index));
}

// One concatenation element's data: reference, part count, part number,
// into *part (left empty for a message of one part); false when hostile.
bool readConcatenation(quint8 id, const QByteArray &data, std::optional<ReceivedText::Part> *part)
{
    const bool wide = id == WideConcatenationElement;
    if (data.size() != (wide ? WideConcatenationLength : ConcatenationLength))
        return false;
    ReceivedText::Part read;
    read.wideReference = wide;
    read.reference = wide ? quint16(octetAt(data, 0) << 8 | octetAt(data, 1)) : octetAt(data, 0);
    read.count = octetAt(data, data.size() - 2);
    read.number = octetAt(data, data.size() - 1);
    if (read.count < 1 || read.number < 1 || read.number > read.count)
        return false;
    if (read.count > 1)
        *part = read;
    return true;
}

// The concatenation of a user data header's elements, the first one that
// names it; false when an element runs past the header or is hostile.
bool readUserDataHeader(const QByteArray &header, std::optional<ReceivedText::Part> *part)
{
    bool found = false;
    qsizetype at = 0;
    while (at < header.size()) {
        if (at + 2 > header.size())
            return false;
        const quint8 id = octetAt(header, at);
        const qsizetype length = octetAt(header, at + 1);
        if (at + 2 + length > header.size())
            return false;
        if (!found && (id == ConcatenationElement || id == WideConcatenationElement)) {
            if (!readConcatenation(id, header.mid(at + 2, length), part))
                return false;
            found = true;
        }
        at += 2 + length;
    }
    return true;
}

} // namespace

Layout layoutOf(int protocolId)
{
    switch (protocolId) {
    case SimpleText:
    case SimpleImmediateText:
        return Layout::SimpleText;
    case Text:
    case ImmediateText:
        return Layout::Text;
    case WithUserDataHeader:
    case Concatenated:
        return Layout::TextWithUserDataHeader;
    default:
        return Layout::Other;
    }
}

std::optional<ReceivedText::Content> read(int protocolId, const QByteArray &userData)
{
    ReceivedText::Content content;
    const Layout layout = layoutOf(protocolId);
    // Without a text header there is nothing to decode; nor in an empty message.
    if (layout == Layout::Other || userData.isEmpty()) {
        content.octets = userData;
        return content;
    }
    const quint8 textHeader = octetAt(userData, 0);
    content.codingScheme = textHeader & CodingSchemeMask;
    qsizetype at = 1;
    if (layout != Layout::SimpleText && (textHeader & TimestampUsed)) {
        if (userData.size() < at + TimestampOctets)
            return std::nullopt;
        content.timestamp = quint32(octetAt(userData, 1)) << 16 |
                            quint32(octetAt(userData, 2)) << 8 | octetAt(userData, 3);
        at += TimestampOctets;
    }
    if (layout == Layout::TextWithUserDataHeader) {
        if (at >= userData.size())
            return std::nullopt;
        const qsizetype headerLength = octetAt(userData, at);
        ++at;
        if (at + headerLength > userData.size() ||
            !readUserDataHeader(userData.mid(at, headerLength), &content.part))
            return std::nullopt;
        at += headerLength;
    }
    content.octets = userData.mid(at);
    return content;
}

} // namespace TextUserData
