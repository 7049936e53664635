#include "serial/DeviceRegistry.h"

#include "serial/TtyDevice_linux.h"

#include <QHash>
#include <mutex>

namespace serial {

namespace {

struct Registry
{
    std::mutex mutex;
    QHash<QString, DeviceFactory> factories;
};

Registry &registry()
{
    static Registry instance;
    return instance;
}

} // namespace

void registerDevice(const QString &name, DeviceFactory factory)
{
    Registry &r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.factories.insert(name, std::move(factory));
}

void unregisterDevice(const QString &name)
{
    Registry &r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.factories.remove(name);
}

bool isRegisteredDevice(const QString &name)
{
    Registry &r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.factories.contains(name);
}

std::unique_ptr<SerialDevice> createDevice(const QString &name)
{
    DeviceFactory factory;
    {
        Registry &r = registry();
        std::lock_guard<std::mutex> lock(r.mutex);
        factory = r.factories.value(name);
    }
    if (factory)
        return factory();
    return std::make_unique<TtyDevice>();
}

} // namespace serial
