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
    for (;;) {
        const Echo echo = takeEcho(&out);
        if (echo == Echo::Taken)
            continue;
        if (echo == Echo::Waiting)
            break;
        const std::optional<LineEnd> lineEnd = findLineEnd();
        if (!lineEnd)
            break;
        takeLine(*lineEnd, &out);
    }
    return out;
}

void ResponseFramer::expectEcho(const QByteArray &command)
{
    m_echoLines.clear();
    qsizetype start = 0;
    for (qsizetype i = 0; i < command.size(); ++i) {
        if (command.at(i) != '\r' && command.at(i) != '\n')
            continue;
        if (command.at(i) == '\r' && i + 1 < command.size() && command.at(i + 1) == '\n')
            ++i;
        m_echoLines.append(command.mid(start, i + 1 - start));
        start = i + 1;
    }
    if (start < command.size())
        m_echoLines.append(command.mid(start));
}

ResponseFramer::Echo ResponseFramer::takeEcho(QList<FramedResponse> *out)
{
    if (m_echoLines.isEmpty() || m_held != Held::Nothing || m_lineStart != 0 || m_buffer.isEmpty())
        return Echo::None;
    const QByteArray &line = m_echoLines.constFirst();
    if (m_buffer.startsWith(line)) {
        emitUpTo(line.size(), out);
        out->last().isEcho = true;
        m_echoLines.removeFirst();
        return Echo::Taken;
    }
    // Part of the echo so far: the rest decides.
    if (line.startsWith(m_buffer))
        return Echo::Waiting;
    return Echo::None;
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
    m_echoLines.clear();
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
