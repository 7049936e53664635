#include "radiosim/AnswerFaults.h"

namespace radiosim {

std::optional<QByteArray> AnswerFaults::shape(const QByteArray &finalResult)
{
    ++m_finalResults;
    if (m_finalResults == m_dropAnswer)
        return std::nullopt;
    return nextJunk() + finalResult;
}

// Every octet value in turn but the two line ends, which would make the
// junk a line of its own: printable text, controls and octets from 0x80 mix.
QByteArray AnswerFaults::nextJunk()
{
    QByteArray junk;
    junk.reserve(m_junkBytes);
    while (junk.size() < m_junkBytes) {
        auto octet = quint8(m_junkSerial * 73 + 0x41);
        ++m_junkSerial;
        if (octet == '\r' || octet == '\n')
            octet |= 0x80;
        junk.append(char(octet));
    }
    return junk;
}

} // namespace radiosim
