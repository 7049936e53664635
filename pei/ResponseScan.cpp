#include "pei/ResponseScan.h"

namespace ResponseScan {

namespace {

const QByteArray ProbeAnswer = QByteArrayLiteral("\r\nOK\r\n");
const QByteArray SendCompletion = QByteArrayLiteral("\r\n+CMGS: 0\r\n\r\nOK\r\n");
const QByteArray ErrorAnswer = QByteArrayLiteral("\r\nERROR\r\n");
const QByteArray CmeErrorStart = QByteArrayLiteral("\r\n+CME ERROR: ");
const QByteArray CmsErrorStart = QByteArrayLiteral("\r\n+CMS ERROR: ");

// The code runs to the next "\r\n"; a code with no line end after it runs to
// the end of the response.
QByteArray errorCode(const QByteArray &response, qsizetype codeStart)
{
    const qsizetype lineEnd = response.indexOf("\r\n", codeStart);
    return response.mid(codeStart, lineEnd < 0 ? -1 : lineEnd - codeStart);
}

} // namespace

bool isFinalResultLine(const QByteArray &text)
{
    return text == "OK" || text == "ERROR" || text.startsWith("+CME ERROR:") ||
           text.startsWith("+CMS ERROR:");
}

bool endsWithFinalResult(const QByteArray &response)
{
    qsizetype end = response.size();
    while (end > 0 && (response.at(end - 1) == '\r' || response.at(end - 1) == '\n'))
        --end;
    qsizetype start = end;
    while (start > 0 && response.at(start - 1) != '\r' && response.at(start - 1) != '\n')
        --start;
    return isFinalResultLine(response.mid(start, end - start));
}

bool isProbeAnswer(const QByteArray &response)
{
    return response == ProbeAnswer;
}

bool isRegistrationAnswer(const QByteArray &response)
{
    return response == SendCompletion;
}

SendingAnswer readSendingAnswer(const QByteArray &response)
{
    using Kind = SendingAnswer::Kind;
    if (response.startsWith(SendCompletion))
        return {Kind::Completed, ": Send command completed successfully.", QByteArray()};
    if (response.startsWith(CmeErrorStart)) {
        const QByteArray code = errorCode(response, CmeErrorStart.size());
        return {Kind::Refused, ": CME ERROR received from MS with error code: " + code,
                "CME ERROR " + code};
    }
    if (response.startsWith(CmsErrorStart)) {
        const QByteArray code = errorCode(response, CmsErrorStart.size());
        return {Kind::Refused, ": CMS ERROR received from MS with error code: " + code,
                "CMS ERROR " + code};
    }
    if (response.startsWith(ErrorAnswer))
        return {Kind::Refused, ": ERROR received from MS.", "ERROR"};
    return {};
}

} // namespace ResponseScan
