#include "session/OwnIdentity.h"

#include "pei/ResponseScan.h"

namespace OwnIdentity {

namespace {

constexpr qsizetype maxDigits = 17;

bool allDigits(const QByteArray &text)
{
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

} // namespace

QByteArray query()
{
    return QByteArrayLiteral("AT+CNUMF?\r");
}

std::optional<QByteArray> fromAnswer(const QByteArray &response)
{
    const QList<QByteArray> lines = ResponseScan::answerLines(response);
    if (lines.isEmpty() || lines.constLast() != "OK")
        return std::nullopt;
    const QByteArray prefix = QByteArrayLiteral("+CNUMF:");
    for (const QByteArray &line : lines) {
        if (!line.startsWith(prefix))
            continue;
        const QList<QByteArray> fields = line.mid(prefix.size()).split(',');
        if (fields.size() < 2)
            return std::nullopt;
        const QByteArray identity = fields.at(1).trimmed();
        if (identity.isEmpty() || identity.size() > maxDigits || !allDigits(identity))
            return std::nullopt;
        return identity;
    }
    return std::nullopt;
}

} // namespace OwnIdentity
