#include "session/ReconnectWatch.h"

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

void ReconnectWatch::start(const QString &path, const QString &byIdLink)
{
    m_path = path;
    m_byIdLink = byIdLink;
    m_timer.start();
}

void ReconnectWatch::stop()
{
    m_timer.stop();
}

void ReconnectWatch::check()
{
    if (!isWaiting())
        return;
    for (const QString &candidate : {m_byIdLink, m_path}) {
        if (candidate.isEmpty() || !isCharacterDevicePath(candidate))
            continue;
        if (OnDeviceBack && OnDeviceBack(candidate)) {
            stop();
            return;
        }
    }
}
