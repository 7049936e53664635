#pragma once

#include "serial/SerialDevice.h"

#include <QString>
#include <functional>
#include <memory>

// Device names that open something other than a tty: the scriptable test
// device, the simulated radio. Every open of a registered name gets a fresh
// device object from its factory. Thread-safe.
namespace serial {

using DeviceFactory = std::function<std::unique_ptr<SerialDevice>()>;

void registerDevice(const QString &name, DeviceFactory factory);
void unregisterDevice(const QString &name);
bool isRegisteredDevice(const QString &name);
// The registered device for `name`, or a tty device for any other name.
std::unique_ptr<SerialDevice> createDevice(const QString &name);

} // namespace serial
