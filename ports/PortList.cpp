#include "ports/PortList.h"

namespace {

const QString simName = QStringLiteral("SIM");

QStringList comNames()
{
    return {QStringLiteral("COM1"), QStringLiteral("COM2"), QStringLiteral("COM3"),
            QStringLiteral("COM4")};
}

} // namespace

QString portEntryText(const serial::PortInfo &port)
{
    QStringList known;
    for (const QString &part : {port.product, port.manufacturer, port.serialNumber})
        if (!part.trimmed().isEmpty() && !known.contains(part.trimmed()))
            known.append(part.trimmed());
    if (known.isEmpty())
        return port.path;
    return QStringLiteral("%1 (%2)").arg(port.path, known.join(QStringLiteral(", ")));
}

QList<PortEntry> buildPortList(const QList<serial::PortInfo> &ports, const QString &typedPath,
                               bool withSim)
{
    QList<PortEntry> entries;
    for (const QString &name : comNames())
        entries.append({name, name});
    for (const serial::PortInfo &port : ports) {
        entries.append({portEntryText(port), port.path});
        if (!port.byIdLink.isEmpty())
            entries.append({QStringLiteral("%1 (stable name of %2)").arg(port.byIdLink, port.path),
                            port.byIdLink});
    }
    if (!typedPath.isEmpty() && !isListedPort(typedPath, ports))
        entries.append({typedPath, typedPath});
    if (withSim)
        entries.append({simName, simName});
    return entries;
}

QString portPathForText(const QString &text, const QList<PortEntry> &entries)
{
    for (const PortEntry &entry : entries)
        if (entry.text == text)
            return entry.path;
    return text.trimmed();
}

std::optional<serial::PortInfo> portInfoFor(const QString &path,
                                            const QList<serial::PortInfo> &ports)
{
    for (const serial::PortInfo &port : ports)
        if (port.path == path || (!port.byIdLink.isEmpty() && port.byIdLink == path))
            return port;
    return std::nullopt;
}

bool isListedPort(const QString &path, const QList<serial::PortInfo> &ports)
{
    return path == simName || comNames().contains(path) || portInfoFor(path, ports).has_value();
}
