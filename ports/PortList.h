#pragma once

#include "serial/PortEnumerator.h"

#include <QList>
#include <QString>
#include <optional>

// One entry of the port selector: the text shown in its list and the path
// Connect opens for it.
struct PortEntry
{
    QString text;
    QString path;

    friend bool operator==(const PortEntry &a, const PortEntry &b)
    {
        return a.text == b.text && a.path == b.path;
    }
};

// "/dev/ttyUSB0 (FT232R USB UART, FTDI, A50285BI)": the path, then what the
// system knows of the device; the path alone when it knows nothing.
QString portEntryText(const serial::PortInfo &port);

// The selector's list: COM1..COM4 first (they name /dev/ttyS0..3), then every
// enumerated port followed by its by-id link, then the typed path that last
// connected (when it is not listed already), then SIM when it is available.
QList<PortEntry> buildPortList(const QList<serial::PortInfo> &ports, const QString &typedPath,
                               bool withSim);

// The path a selector text stands for: the path of the entry shown with
// exactly that text, otherwise the text itself without surrounding blanks.
QString portPathForText(const QString &text, const QList<PortEntry> &entries);

// What the list knows of the port at `path`, its device node or its by-id
// link; nullopt when it is not listed.
std::optional<serial::PortInfo> portInfoFor(const QString &path,
                                            const QList<serial::PortInfo> &ports);

// True when `path` is an entry of its own: COM1..COM4, SIM, an enumerated
// port or by-id link. Any other path was typed.
bool isListedPort(const QString &path, const QList<serial::PortInfo> &ports);
