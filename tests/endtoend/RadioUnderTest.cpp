#include "tests/endtoend/RadioUnderTest.h"

#include <QRegularExpression>

qint64 logTimeMs(const QString &line)
{
    static const QRegularExpression stamp(QStringLiteral("^\\[\\s*([0-9]+)\\.([0-9]{3})\\]"));
    const QRegularExpressionMatch match = stamp.match(line);
    if (!match.hasMatch())
        return -1;
    return match.captured(1).toLongLong() * 1000 + match.captured(2).toLongLong();
}

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

QList<SeenMessage> messagesSeenInLog(const QStringList &log)
{
    // "rx AT+CMGS=4321,1,0,80\r820C0A01...\x1A", escaped as the radio logs it.
    static const QRegularExpression received(QStringLiteral(
        "rx AT\\+CMGS=([0-9]+),1,0,[0-9]+\\\\r[0-9A-Fa-f]{4}([0-9A-Fa-f]{2})[0-9A-Fa-f]*\\\\x1A"));
    QList<SeenMessage> seen;
    for (const QString &line : log) {
        const QRegularExpressionMatch match = received.match(line);
        if (match.hasMatch())
            seen.append({match.captured(1).toLatin1(), match.captured(2).toInt(nullptr, 16)});
    }
    return seen;
}

QList<AppliedReportDelay> reportDelaysInLog(const QStringList &log)
{
    // "report 0A status 02 delayed 150 ms"
    static const QRegularExpression delayed(
        QStringLiteral("report ([0-9A-F]{2}) status ([0-9A-F]{2}) delayed ([0-9]+) ms"));
    QList<AppliedReportDelay> delays;
    for (const QString &line : log) {
        const QRegularExpressionMatch match = delayed.match(line);
        if (match.hasMatch())
            delays.append({match.captured(1).toInt(nullptr, 16),
                           match.captured(2).toInt(nullptr, 16), match.captured(3).toLongLong()});
    }
    return delays;
}
