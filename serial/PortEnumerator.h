#pragma once

#include <QList>
#include <QString>
#include <memory>

namespace serial {

// One serial port the system knows of.
struct PortInfo
{
    QString path;         // the device node, such as /dev/ttyUSB0
    QString product;      // USB product, or the driver's description
    QString manufacturer; // USB manufacturer
    QString serialNumber; // USB serial number
    QString byIdLink;     // its /dev/serial/by-id/ link, empty when none
};

// Lists the serial ports that exist. Listing can take tens of ms, so the
// stamp tells cheaply whether the list may have changed since the last look.
class PortEnumerator
{
public:
    virtual ~PortEnumerator() = default;
    // Changes whenever a device node or a by-id link comes or goes.
    virtual quint64 changeStamp() const = 0;
    virtual QList<PortInfo> ports() const = 0;
};

// The system's ports, as Qt's serial port information and the by-id links
// under /dev/serial/by-id show them.
std::unique_ptr<PortEnumerator> systemPortEnumerator();

} // namespace serial
