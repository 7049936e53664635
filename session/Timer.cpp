#include "session/Timer.h"

TTimer::TTimer(QObject *parent, Qt::TimerType type) : QObject(parent)
{
    m_timer.setTimerType(type);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (OnTimer)
            OnTimer();
    });
    restart();
}

void TTimer::setInterval(int ms)
{
    if (ms == m_interval)
        return;
    m_interval = ms;
    restart();
}

void TTimer::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    restart();
}

void TTimer::restart()
{
    m_timer.stop();
    // An interval of 0 (or below) never ticks; QTimer would fire on every
    // pass of the event loop instead.
    if (m_enabled && m_interval > 0)
        m_timer.start(m_interval);
}
