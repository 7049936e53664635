#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

// Waits for a vanished device to come back: its by-id link (which follows
// the device to whatever node it gets) or its path, checked twice a second
// while waiting. OnDeviceBack gets the path that exists again and answers
// whether it could be reopened; the wait ends when it could.
class ReconnectWatch : public QObject
{
    Q_OBJECT

public:
    static constexpr int CheckIntervalMs = 500;

    explicit ReconnectWatch(QObject *parent = nullptr);

    void start(const QString &path, const QString &byIdLink);
    void stop();
    bool isWaiting() const { return m_timer.isActive(); }
    QString path() const { return m_path; }

    // Checks at once, as the timer does.
    void check();

    std::function<bool(const QString &device)> OnDeviceBack;

private:
    QTimer m_timer;
    QString m_path;
    QString m_byIdLink;
};

// True when `path` names an existing character device (links followed).
bool isCharacterDevicePath(const QString &path);
