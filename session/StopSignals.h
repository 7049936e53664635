#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QSocketNotifier;

// Brings SIGINT and SIGTERM into the event loop: while it exists, such a
// signal no longer ends the process but is announced by received(), from
// the event loop of the thread that made it. The handler only writes the
// signal's number into a pipe that the loop watches, which is all a handler
// may safely do. One at a time; the earlier handling comes back when it is
// destroyed. The constructor throws std::system_error when the pipe or the
// handlers cannot be set up.
class StopSignals : public QObject
{
    Q_OBJECT

public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    // "SIGINT", "SIGTERM", or "signal N" for any other.
    static QString name(int signalNumber);

signals:
    void received(int signalNumber);

private:
    void readPipe();

    struct Handling;
    std::unique_ptr<Handling> m_handling;
    QSocketNotifier *m_notifier = nullptr;
};
