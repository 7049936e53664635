#pragma once

#include <QByteArray>
#include <QList>
#include <optional>

class PeiDialect;

// One response of the radio, cut from the received bytes: every byte of it,
// unchanged, and when its last byte was read.
struct FramedResponse
{
    QByteArray bytes;
    qint64 readAtMs = 0;

    bool operator==(const FramedResponse &other) const
    {
        return bytes == other.bytes && readAtMs == other.readAtMs;
    }
};

// Cuts the byte stream from the radio into responses as each completes:
// - a final answer: the lines up to and including "OK", "ERROR",
//   "+CME ERROR: <code>" or "+CMS ERROR: <code>";
// - an indication: its header line (the dialect says which) and its data line;
// - anything else (an echoed command, noise, an unknown unsolicited line):
//   a response of its own, ending at its line end.
// A line is its leading "\r\n" pairs, its text, and its end: "\r\n", a lone
// "\r" or a lone "\n". Information text of an answer (the dialect says which,
// such as "+CMGS: 0") waits for the final result it belongs to. The responses handed out are the
// stream itself, cut: nothing is dropped, added or reordered, and the cuts do not depend on how the
// bytes were split into reads.
class ResponseFramer
{
public:
    // Held bytes beyond this go on as a response of their own, so that a
    // stream of junk that never ends a line cannot grow without bound.
    static constexpr qsizetype MaxResponseSize = 64 * 1024;

    explicit ResponseFramer(const PeiDialect &dialect);

    // The dialect of the lines read from now on; it must outlive the framer.
    void setDialect(const PeiDialect &dialect) { m_dialect = &dialect; }

    // Takes bytes read at `readAtMs` and returns the responses they complete,
    // in arrival order, each stamped with the read that completed it.
    QList<FramedResponse> feed(const QByteArray &bytes, qint64 readAtMs);

    // Hands on whatever is held as one response (for a line that has gone
    // quiet in the middle of a response); nullopt when nothing is held.
    std::optional<FramedResponse> flush();

    bool isEmpty() const { return m_buffer.isEmpty(); }
    qsizetype size() const { return m_buffer.size(); }
    const QByteArray &heldBytes() const { return m_buffer; }
    // When the newest held byte was read.
    qint64 lastReadAtMs() const { return m_lastReadAtMs; }
    void clear();

private:
    enum class Held { Nothing, InformationText, IndicationHeader };

    struct LineEnd
    {
        qsizetype end = 0;
        // No line end came within MaxResponseSize: the line is cut there.
        bool forced = false;
    };

    // The end of the line that starts at m_lineStart, or nullopt while the
    // bytes so far cannot tell where it ends.
    std::optional<LineEnd> findLineEnd();
    void takeLine(LineEnd lineEnd, QList<FramedResponse> *out);
    void emitUpTo(qsizetype end, QList<FramedResponse> *out);

    const PeiDialect *m_dialect;
    // Bytes not yet handed on: held lines, then the line being read.
    QByteArray m_buffer;
    qsizetype m_lineStart = 0;
    // Where the search for the current line's end goes on.
    qsizetype m_scanFrom = 0;
    Held m_held = Held::Nothing;
    qint64 m_lastReadAtMs = 0;
};
