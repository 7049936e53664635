#pragma once

#include "serial/Event.h"

#include <QEvent>
#include <QObject>
#include <array>
#include <cstdint>
#include <exception>
#include <thread>

class TComPort;

namespace serial {
class CommHandle;
}

// Event code of the message that hands one line event to the message window.
constexpr int CM_COMEVENT = 0x409;

// The line event bits in the order their handlers are called, whatever
// order the events happened in.
extern const std::array<uint32_t, 10> ComEventDispatchOrder;

// Calls the port's handler for one line event bit, when it is assigned.
// OnRxChar gets the port's InputCount, taken just before the call; it is
// not called when that count cannot be read.
void callComEventHandler(TComPort &port, uint32_t eventBit);
// Calls the handlers of every bit of `mask`, in dispatch order.
void dispatchComEvents(TComPort &port, uint32_t mask);

// The CM_COMEVENT message; its word parameter is one line event bit.
class ComEventMessage : public QEvent
{
public:
    explicit ComEventMessage(uint32_t eventBit);
    uint32_t wParam() const { return m_eventBit; }

private:
    uint32_t m_eventBit = 0;
};

// Stands for the message window of delivery mode smWindow. It lives in the
// window thread; a CM_COMEVENT calls the one handler of its bit, and every
// other event gets QObject's own handling.
class ComMessageWindow : public QObject
{
    Q_OBJECT

public:
    explicit ComMessageWindow(TComPort &port);

protected:
    bool event(QEvent *event) override;

private:
    TComPort &m_port;
};

// The event thread of an open port. It sets the port's event mask, waits
// for line events or its stop event, and delivers each wake-up in the
// port's SyncMethod: smSynchronize runs the whole dispatch in the window
// thread, smWindow sends one CM_COMEVENT per event to the message window,
// both waiting until the window thread has run them; smNone runs the
// handlers in this thread, where an exception of a handler ends that
// wake-up's dispatch (it cannot leave the thread). When it stops, the
// thread purges the port.
//
// Created by Open in the window thread, which the port's synchroniser
// serves; stopped by Close.
class TComThread
{
public:
    explicit TComThread(TComPort &port);
    // Stops the thread if Stop was not called; handler errors are dropped.
    ~TComThread();
    TComThread(const TComThread &) = delete;
    TComThread &operator=(const TComThread &) = delete;

    // Sets the stop event and waits for the thread's end, running its
    // deliveries meanwhile so that one waiting for the window thread
    // finishes. Returns the first exception a handler raised meanwhile.
    std::exception_ptr Stop();

    // True on the event thread itself (a handler delivered in smNone).
    bool isCurrentThread() const { return std::this_thread::get_id() == m_thread.get_id(); }

private:
    void Execute();
    void deliver(uint32_t mask);

    TComPort &m_port;
    serial::CommHandle *m_handle = nullptr;
    uint32_t m_mask = 0;
    serial::Event m_stopEvent;
    std::thread m_thread;
};
