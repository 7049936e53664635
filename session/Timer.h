#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

// A window-thread timer with the semantics the controller relies on: it
// ticks only while enabled with an interval above 0, and changing the
// interval (or enabling it) of a timer restarts its period. Setting a value
// equal to the current one leaves a running period alone.
class TTimer : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int Interval READ Interval WRITE setInterval)
    Q_PROPERTY(bool Enabled READ Enabled WRITE setEnabled)

public:
    explicit TTimer(QObject *parent = nullptr, Qt::TimerType type = Qt::CoarseTimer);

    int Interval() const { return m_interval; }
    void setInterval(int ms);
    bool Enabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    // True while a period is actually running (enabled and interval above 0).
    bool isTicking() const { return m_timer.isActive(); }

    std::function<void()> OnTimer;

private:
    void restart();

    QTimer m_timer;
    int m_interval = 1000;
    bool m_enabled = true;
};
