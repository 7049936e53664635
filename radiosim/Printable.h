#pragma once

#include <QByteArray>
#include <QString>

namespace radiosim {

// PEI traffic as one readable log line: printable ASCII as it is, "\r" and
// "\n" as those escapes, a backslash doubled, every other octet as "\xNN".
QString printable(const QByteArray &bytes);

} // namespace radiosim
