#pragma once

#include <QString>
#include <optional>
#include <sys/types.h>

namespace serial {

// A process that has a device open.
struct DeviceHolder
{
    qint64 pid = 0;
    QString program; // its name as /proc gives it; empty when unreadable
};

// The first process other than this one that has the character device
// `device` (a device number, st_rdev) open. Only the processes whose
// descriptors this user may look into are seen; nothing when none holds it
// or /proc cannot be read.
std::optional<DeviceHolder> findDeviceHolder(dev_t device);
// The same for the device at `path`, symbolic links followed; nothing when
// `path` is no character device.
std::optional<DeviceHolder> findDeviceHolder(const QString &path);

} // namespace serial
