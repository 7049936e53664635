#include "session/ReconnectWatch.h"

#include "ports/PortList.h"

#include <QFile>
#include <sys/stat.h>

bool isCharacterDevicePath(const QString &path)
{
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISCHR(info.st_mode);
}

ReconnectWatch::ReconnectWatch(QObject *parent) : QObject(parent)
{
    m_timer.setInterval(CheckIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &ReconnectWatch::check);
}

void ReconnectWatch::setPortEnumerator(std::shared_ptr<serial::PortEnumerator> enumerator)
{
    m_enumerator = std::move(enumerator);
    m_listedStamp.reset();
    m_ports.clear();
}

std::optional<serial::PortInfo> ReconnectWatch::deviceAt(const QString &path)
{
    if (!m_enumerator)
        return std::nullopt;
    const quint64 stamp = m_enumerator->changeStamp();
    if (m_listedStamp != stamp) {
        m_ports = m_enumerator->ports();
        m_listedStamp = stamp;
    }
    return portInfoFor(path, m_ports);
}

void ReconnectWatch::start(const QString &path, const std::optional<serial::PortInfo> &device)
{
    m_path = path;
    m_device = device;
    m_timer.start();
}

void ReconnectWatch::stop()
{
    m_timer.stop();
}

bool ReconnectWatch::isTheVanishedDevice(const QString &path)
{
    // Nothing tells a device without link or serial number from another.
    if (!m_device || (m_device->byIdLink.isEmpty() && m_device->serialNumber.isEmpty()))
        return true;
    if (path == m_device->byIdLink)
        return true;
    const std::optional<serial::PortInfo> now = deviceAt(path);
    if (!now)
        return false;
    return (!m_device->serialNumber.isEmpty() && now->serialNumber == m_device->serialNumber) ||
           (!m_device->byIdLink.isEmpty() && now->byIdLink == m_device->byIdLink);
}

void ReconnectWatch::check()
{
    if (!isWaiting())
        return;
    const QString byIdLink = m_device ? m_device->byIdLink : QString();
    for (const QString &candidate : {byIdLink, m_path}) {
        if (candidate.isEmpty() || !isCharacterDevicePath(candidate))
            continue;
        if (!isTheVanishedDevice(candidate))
            continue;
        if (OnDeviceBack && OnDeviceBack(candidate)) {
            stop();
            return;
        }
    }
}
