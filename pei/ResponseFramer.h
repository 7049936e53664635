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
    // The echo of the command in flight.
    bool isEcho = false;

    bool operator==(const FramedResponse &other) const
    {
        return bytes == other.bytes && readAtMs == other.readAtMs && isEcho == other.isEcho;
    }
};

// Cuts the byte stream from the radio into responses as each completes:
// - a final answer: the lines up to and including "OK", "ERROR",
//   "+CME ERROR: <code>" or "+CMS ERROR: <code>";
// - an indication: its header line (the dialect says which) and its data line;
// - anything else (an echoed command, noise, an unknown unsolicited line):
//   a response of its own, ending at its line end.
// A line is its leading "\r\n" pairs, its text, and its end: "\r\n", a lone
// "\r" or a lone "\n". A radio with echo on repeats each command; told the
// command in flight, the framer cuts its echo as responses of their own,
// line by line of the command, exactly as long as the command's lines, so
// the echo of text without a line end (a message's hex) never takes the
// "\r\n" that opens the answer after it. Information text of an answer (the dialect says which,
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

    // The command just written: its echo, if the radio sends one, comes
    // before anything else the radio says about it.
    void expectEcho(const QByteArray &command);

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
    enum class Echo { None, Taken, Waiting };
    // At a response boundary: cuts the next line of the expected echo.
    Echo takeEcho(QList<FramedResponse> *out);
    void emitUpTo(qsizetype end, QList<FramedResponse> *out);

    const PeiDialect *m_dialect;
    // Bytes not yet handed on: held lines, then the line being read.
    QByteArray m_buffer;
    qsizetype m_lineStart = 0;
    // Where the search for the current line's end goes on.
    qsizetype m_scanFrom = 0;
    Held m_held = Held::Nothing;
    // The lines of the command in flight still to be echoed, each with its
    // line end.
    QList<QByteArray> m_echoLines;
    qint64 m_lastReadAtMs = 0;
};
