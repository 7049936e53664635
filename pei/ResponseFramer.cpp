#include "pei/ResponseFramer.h"

#include "pei/PeiDialect.h"
#include "pei/ResponseScan.h"

#include <algorithm>

namespace {

// The leading "\r\n" pairs of a line.
qsizetype prefixLength(const QByteArray &buffer, qsizetype from, qsizetype end)
{
    qsizetype i = from;
    while (i + 1 < end && buffer.at(i) == '\r' && buffer.at(i + 1) == '\n')
        i += 2;
    return i - from;
}

// The line's text: without its leading pairs and its line end.
QByteArray lineText(const QByteArray &buffer, qsizetype start, qsizetype end)
{
    const qsizetype textStart = start + prefixLength(buffer, start, end);
    qsizetype textEnd = end;
    if (textEnd > textStart && buffer.at(textEnd - 1) == '\n')
        --textEnd;
    if (textEnd > textStart && buffer.at(textEnd - 1) == '\r')
        --textEnd;
    return buffer.mid(textStart, textEnd - textStart);
}

} // namespace

ResponseFramer::ResponseFramer(const PeiDialect &dialect) : m_dialect(&dialect) {}

QList<FramedResponse> ResponseFramer::feed(const QByteArray &bytes, qint64 readAtMs)
{
    QList<FramedResponse> out;
    if (bytes.isEmpty())
        return out;
    m_lastReadAtMs = readAtMs;
    m_buffer += bytes;
    while (const std::optional<LineEnd> lineEnd = findLineEnd())
        takeLine(*lineEnd, &out);
    return out;
}

std::optional<FramedResponse> ResponseFramer::flush()
{
    if (m_buffer.isEmpty())
        return std::nullopt;
    FramedResponse response{m_buffer, m_lastReadAtMs};
    clear();
    return response;
}

void ResponseFramer::clear()
{
    m_buffer.clear();
    m_lineStart = 0;
    m_scanFrom = 0;
    m_held = Held::Nothing;
}

std::optional<ResponseFramer::LineEnd> ResponseFramer::findLineEnd()
{
    const qsizetype size = m_buffer.size();
    const qsizetype limit = m_lineStart + MaxResponseSize;
    const qsizetype scanEnd = std::min(size, limit);
    qsizetype i = std::max(m_scanFrom, m_lineStart + prefixLength(m_buffer, m_lineStart, scanEnd));
    for (; i < scanEnd; ++i) {
        const char c = m_buffer.at(i);
        if (c == '\n')
            return LineEnd{i + 1, false};
        if (c != '\r')
            continue;
        // A "\r" last in the buffer may be the start of "\r\n": wait for it.
        if (i + 1 == size) {
            m_scanFrom = i;
            return std::nullopt;
        }
        return LineEnd{m_buffer.at(i + 1) == '\n' ? i + 2 : i + 1, false};
    }
    if (i >= limit)
        return LineEnd{limit, true};
    m_scanFrom = i;
    return std::nullopt;
}

void ResponseFramer::takeLine(LineEnd lineEnd, QList<FramedResponse> *out)
{
    qsizetype end = lineEnd.end;
    const QByteArray text = lineText(m_buffer, m_lineStart, end);
    const bool hasPrefix = prefixLength(m_buffer, m_lineStart, end) > 0;
    const bool whole = !lineEnd.forced;
    const bool isFinal = whole && ResponseScan::isFinalResultLine(text);
    const bool isHeader = whole && !isFinal && m_dialect->isIndicationHeader(text);
    const bool isAnswerText = whole && !isFinal && !isHeader && m_dialect->isAnswerText(text);
    // Hands on the held lines alone; the line just read then starts at 0.
    const auto emitHeld = [&] {
        end -= m_lineStart;
        emitUpTo(m_lineStart, out);
    };

    switch (m_held) {
    case Held::IndicationHeader:
        if (whole && !isFinal && !isHeader && !isAnswerText && !hasPrefix) {
            // Its data line, which follows the header at once: the indication
            // is whole. A line with "\r\n" in front starts a response of its own.
            emitUpTo(end, out);
            return;
        }
        // A header with no data line goes on alone.
        emitHeld();
        break;
    case Held::InformationText:
        if (isFinal) {
            emitUpTo(end, out);
            return;
        }
        if (!isAnswerText)
            emitHeld();
        break;
    case Held::Nothing:
        break;
    }

    m_lineStart = end;
    m_scanFrom = end;
    if (isHeader) {
        m_held = Held::IndicationHeader;
    } else if (isAnswerText) {
        // Information text waits for its final answer, within bounds.
        m_held = Held::InformationText;
        if (end >= MaxResponseSize)
            emitUpTo(end, out);
    } else {
        emitUpTo(end, out);
    }
}

// Hands on the first `end` bytes as one response; what follows stays.
void ResponseFramer::emitUpTo(qsizetype end, QList<FramedResponse> *out)
{
    if (end <= 0)
        return;
    out->append({m_buffer.left(end), m_lastReadAtMs});
    m_buffer.remove(0, end);
    m_lineStart = std::max<qsizetype>(0, m_lineStart - end);
    m_scanFrom = std::max<qsizetype>(0, m_scanFrom - end);
    m_held = Held::Nothing;
}
