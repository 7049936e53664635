#include "pei/MessageTextLimit.h"

#include <QStringList>
#include <QStringView>
#include <algorithm>

namespace MessageTextLimit {

int headerOctets(const QByteArray &protocolIdText)
{
    // Protocol identifier, report flags, message reference; "130" adds the
    // text coding octet.
    return protocolIdText == "130" ? 4 : 3;
}

int maxCharacters(int userDataBits, const QByteArray &protocolIdText)
{
    return std::max(0, userDataBits / 8 - headerOctets(protocolIdText));
}

QString charactersOutsideLatin1(const QString &text)
{
    QString found;
    for (const char32_t codePoint : QStringView(text).toUcs4()) {
        if (codePoint <= 0xFF)
            continue;
        const QString character = QString::fromUcs4(&codePoint, 1);
        if (!found.contains(character))
            found += character;
    }
    return found;
}

QString outsideLatin1Warning(const QString &text)
{
    const QString found = charactersOutsideLatin1(text);
    if (found.isEmpty())
        return {};
    QStringList named;
    for (const char32_t codePoint : QStringView(found).toUcs4())
        named << QString::fromUcs4(&codePoint, 1) + QStringLiteral(" U+") +
                     QStringLiteral("%1")
                         .arg(static_cast<uint>(codePoint), 4, 16, QLatin1Char('0'))
                         .toUpper();
    return QStringLiteral("Not Latin-1, sent as \"?\": ") + named.join(QStringLiteral(", "));
}

QString charactersLeftText(int left)
{
    return left == 1 ? QStringLiteral("1 character left")
                     : QStringLiteral("%1 characters left").arg(left);
}

} // namespace MessageTextLimit
