#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTimer>
#include <functional>

class TComPort;

// Writes commands to the port one after another without holding the window
// thread: a write that has not finished within HoldMs goes on in the
// background, and commands given meanwhile wait behind it in order. A write
// fails as the port says (EComPort, "Operation failed: 110" when its
// time-out passed): at once when it fails within the hold, otherwise out of
// the writer's own timer. The commands behind a failed write are dropped
// unwritten, as they would never have been issued had the write held the
// window until it failed.
class CommandWriter : public QObject
{
    Q_OBJECT

public:
    // Longest time a write holds the caller.
    static constexpr int HoldMs = 20;
    // How often a write in the background is looked at.
    static constexpr int PollMs = 10;

    explicit CommandWriter(TComPort &port, QObject *parent = nullptr);

    // Writes the command, or queues it behind a write still under way.
    void write(const QByteArray &command);
    // True while a write is under way in the background.
    bool busy();
    int queued() const { return static_cast<int>(m_queue.size()); }

    // Called once a command has been written completely.
    std::function<void(const QByteArray &command)> onWritten;
    // Called when a write in the background failed, before its exception
    // leaves the writer's timer.
    std::function<void()> onBackgroundFailure;

private:
    void start(const QByteArray &command);
    void poll();
    void failInBackground();
    // A port closed or reopened since has dropped the write under way, and
    // the commands behind it belonged to that connection.
    void forgetDroppedWrite();

    TComPort &m_port;
    QTimer m_poll;
    bool m_inFlight = false;
    QByteArray m_current;
    QList<QByteArray> m_queue;
};
