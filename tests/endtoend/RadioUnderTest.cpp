#include "tests/endtoend/RadioUnderTest.h"

#include <QRegularExpression>

std::optional<PeerVerdict> peerVerdictFromLog(const QString &line, qint64 atMs)
{
    // "peer: good report 82100001", "peer: bad report 82100201: <reason>"
    static const QRegularExpression verdict(
        QStringLiteral("peer: (good|bad) report ([0-9A-F]*)(?::|$)"));
    const QRegularExpressionMatch match = verdict.match(line);
    if (!match.hasMatch())
        return std::nullopt;
    PeerVerdict result;
    result.atMs = atMs;
    result.good = match.captured(1) == QLatin1String("good");
    result.report = match.captured(2);
    return result;
}
