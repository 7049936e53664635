#include "radio/ResponseScan.h"

#include <algorithm>

namespace ResponseScan {

namespace {

const QByteArray ProbeAnswer = QByteArrayLiteral("\r\nOK\r\n");
const QByteArray SendCompletion = QByteArrayLiteral("\r\n+CMGS: 0\r\n\r\nOK\r\n");
const QByteArray ReportStart = QByteArrayLiteral("\r\n+CMT: ");
const QByteArray CmeErrorStart = QByteArrayLiteral("\r\n+CME ERROR: ");

// A report indication is read as a fixed 29-character record whose delivery
// status sits at offset 22.
constexpr qsizetype ReportLength = 29;
constexpr qsizetype ReportCodeOffset = 22;
constexpr qsizetype ReportCodeLength = 2;

// Removes up to `count` characters from the front; fewer remain than that
// only when the chunk was cut short.
void dropFront(QByteArray *rest, qsizetype count)
{
    rest->remove(0, std::min(count, rest->size()));
}

// The code runs to the next "\r\n", which is dropped with it. A code with no
// line end after it is the last thing in the chunk: all of the rest.
QByteArray takeCmeErrorCode(QByteArray *rest)
{
    const qsizetype lineEnd = rest->indexOf("\r\n");
    if (lineEnd < 0) {
        QByteArray code = *rest;
        rest->clear();
        return code;
    }
    QByteArray code = rest->left(lineEnd);
    dropFront(rest, lineEnd + 2);
    return code;
}

} // namespace

bool isProbeAnswer(const QByteArray &chunk)
{
    return chunk == ProbeAnswer;
}

bool isRegistrationAnswer(const QByteArray &chunk)
{
    return chunk == SendCompletion;
}

SendingScan scanSendingResponse(const QByteArray &chunk)
{
    SendingScan scan;
    QByteArray rest = chunk;
    // Every branch removes at least one character, so the scan ends.
    for (;;) {
        if (rest.startsWith(SendCompletion)) {
            scan.lines.append(": Send command completed successfully.");
            dropFront(&rest, SendCompletion.size());
            scan.completed = true;
        } else if (rest.startsWith(ReportStart) && scan.completed) {
            const QByteArray code = rest.mid(ReportCodeOffset, ReportCodeLength);
            scan.lines.append(": Report received with error code: " + code);
            dropFront(&rest, ReportLength);
        } else if (rest.startsWith(CmeErrorStart)) {
            dropFront(&rest, CmeErrorStart.size());
            const QByteArray code = takeCmeErrorCode(&rest);
            scan.lines.append(": CME ERROR received from MS with error code: " + code);
        } else {
            return scan;
        }
    }
}

} // namespace ResponseScan
