#include "pei/ResponseScan.h"

namespace ResponseScan {

namespace {

const QByteArray CmeErrorStart = QByteArrayLiteral("+CME ERROR: ");
const QByteArray CmsErrorStart = QByteArrayLiteral("+CMS ERROR: ");

} // namespace

QList<QByteArray> responseLines(const QByteArray &response)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= response.size(); ++i) {
        if (i < response.size() && response.at(i) != '\r' && response.at(i) != '\n')
            continue;
        if (i > start)
            lines.append(response.mid(start, i - start));
        start = i + 1;
    }
    return lines;
}

QList<QByteArray> answerLines(const QByteArray &response)
{
    QList<QByteArray> lines = responseLines(response);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (isFinalResultLine(lines.at(i))) {
            lines.resize(i + 1);
            break;
        }
    }
    return lines;
}

bool isFinalResultLine(const QByteArray &text)
{
    return text == "OK" || text == "ERROR" || text.startsWith("+CME ERROR:") ||
           text.startsWith("+CMS ERROR:");
}

bool endsWithFinalResult(const QByteArray &response)
{
    const QList<QByteArray> lines = answerLines(response);
    return !lines.isEmpty() && isFinalResultLine(lines.constLast());
}

bool isProbeAnswer(const QByteArray &response)
{
    return responseLines(response) == QList<QByteArray>{"OK"};
}

bool isRegistrationAnswer(const QByteArray &response)
{
    return responseLines(response) == QList<QByteArray>{"+CMGS: 0", "OK"};
}

SendingAnswer refusalOf(const QByteArray &finalLine)
{
    using Kind = SendingAnswer::Kind;
    if (finalLine.startsWith(CmeErrorStart)) {
        const QByteArray code = finalLine.mid(CmeErrorStart.size());
        return {Kind::Refused, ": CME ERROR received from MS with error code: " + code,
                "CME ERROR " + code};
    }
    if (finalLine.startsWith(CmsErrorStart)) {
        const QByteArray code = finalLine.mid(CmsErrorStart.size());
        return {Kind::Refused, ": CMS ERROR received from MS with error code: " + code,
                "CMS ERROR " + code};
    }
    if (finalLine == "ERROR")
        return {Kind::Refused, ": ERROR received from MS.", "ERROR"};
    return {};
}

SendingAnswer readSendingAnswer(const QByteArray &response)
{
    const QList<QByteArray> lines = answerLines(response);
    if (lines.isEmpty() || !isFinalResultLine(lines.constLast()))
        return {};
    if (lines.constLast() == "OK") {
        if (lines == QList<QByteArray>{"+CMGS: 0", "OK"})
            return {SendingAnswer::Kind::Completed, ": Send command completed successfully.",
                    QByteArray()};
        return {};
    }
    return refusalOf(lines.constLast());
}

} // namespace ResponseScan
