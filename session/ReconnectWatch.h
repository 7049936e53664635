#pragma once

#include "serial/PortEnumerator.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

// Waits for a vanished device to come back: its by-id link (which follows
// the device to whatever node it gets) or its path, checked twice a second
// while waiting. A USB device is known by its by-id link or serial number:
// another device that appears under its old node is not taken for it.
// OnDeviceBack gets the path that exists again and answers whether it could
// be reopened (a device another program holds open cannot be); the wait
// ends when it could.
class ReconnectWatch : public QObject
{
    Q_OBJECT

public:
    static constexpr int CheckIntervalMs = 500;

    explicit ReconnectWatch(QObject *parent = nullptr);

    // Where the ports are listed from; without it every device is known by
    // its path alone.
    void setPortEnumerator(std::shared_ptr<serial::PortEnumerator> enumerator);
    // What the port list knows of the device at `path` now: its node or by-id
    // link, serial number, ...; nullopt when it lists none there. Listing
    // takes tens of ms, so the list is kept until the system's ports change.
    std::optional<serial::PortInfo> deviceAt(const QString &path);

    // path: the node that vanished; device: what the port list knew of it
    // (nothing for a device it does not list, such as a pseudo-terminal).
    void start(const QString &path, const std::optional<serial::PortInfo> &device);
    void stop();
    bool isWaiting() const { return m_timer.isActive(); }
    QString path() const { return m_path; }

    // Checks at once, as the timer does.
    void check();

    std::function<bool(const QString &device)> OnDeviceBack;

private:
    // True when the device now at the vanished node is the one that vanished.
    bool isTheVanishedDevice(const QString &path);

    QTimer m_timer;
    QString m_path;
    std::optional<serial::PortInfo> m_device;
    std::shared_ptr<serial::PortEnumerator> m_enumerator;
    std::optional<quint64> m_listedStamp;
    QList<serial::PortInfo> m_ports;
};

// True when `path` names an existing character device (links followed).
bool isCharacterDevicePath(const QString &path);
