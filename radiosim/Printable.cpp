#include "radiosim/Printable.h"

namespace radiosim {

QString printable(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto octet = quint8(c);
        if (c == '\r')
            text += QLatin1String("\\r");
        else if (c == '\n')
            text += QLatin1String("\\n");
        else if (c == '\\')
            text += QLatin1String("\\\\");
        else if (octet >= 0x20 && octet < 0x7F)
            text += QLatin1Char(c);
        else
            text += QString::asprintf("\\x%02X", octet);
    }
    return text;
}

} // namespace radiosim
