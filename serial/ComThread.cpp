#include "serial/ComThread.h"

#include "serial/CommApi.h"
#include "serial/Comms.h"

#include <QCoreApplication>

using namespace serial;

const std::array<uint32_t, 10> ComEventDispatchOrder = {EV_RXCHAR, EV_TXEMPTY, EV_BREAK,  EV_RING,
                                                        EV_CTS,    EV_DSR,     EV_RXFLAG, EV_RLSD,
                                                        EV_ERR,    EV_RX80FULL};

namespace {

void notify(TComPort &port, const TNotifyEvent &handler)
{
    if (handler)
        handler(&port);
}

} // namespace

void callComEventHandler(TComPort &port, uint32_t eventBit)
{
    switch (eventBit) {
    case EV_RXCHAR:
        if (port.OnRxChar) {
            int inQue = 0;
            try {
                inQue = port.InputCount();
            } catch (const EComPort &) {
                // The port is failing (a device gone mid-read): there is
                // nothing to hand on, and its owner hears of the failure
                // once, from its own next call on the port.
                break;
            }
            port.OnRxChar(&port, inQue);
        }
        break;
    case EV_TXEMPTY:
        notify(port, port.OnTxEmpty);
        break;
    case EV_BREAK:
        notify(port, port.OnBreak);
        break;
    case EV_RING:
        notify(port, port.OnRing);
        break;
    case EV_CTS:
        notify(port, port.OnCTS);
        break;
    case EV_DSR:
        notify(port, port.OnDSR);
        break;
    case EV_RXFLAG:
        notify(port, port.OnRxFlag);
        break;
    case EV_RLSD:
        notify(port, port.OnRLSD);
        break;
    case EV_ERR:
        notify(port, port.OnError);
        break;
    case EV_RX80FULL:
        notify(port, port.OnRx80Full);
        break;
    default:
        break;
    }
}

void dispatchComEvents(TComPort &port, uint32_t mask)
{
    for (const uint32_t eventBit : ComEventDispatchOrder) {
        if (mask & eventBit)
            callComEventHandler(port, eventBit);
    }
}

ComEventMessage::ComEventMessage(uint32_t eventBit)
    : QEvent(QEvent::Type(CM_COMEVENT)), m_eventBit(eventBit)
{}

ComMessageWindow::ComMessageWindow(TComPort &port) : QObject(&port), m_port(port) {}

bool ComMessageWindow::event(QEvent *event)
{
    if (event->type() != QEvent::Type(CM_COMEVENT))
        return QObject::event(event);
    callComEventHandler(m_port, static_cast<ComEventMessage *>(event)->wParam());
    return true;
}

TComThread::TComThread(TComPort &port) : m_port(port), m_handle(port.Handle())
{
    // As with the Win32 call, a refused mask is not reported: the thread
    // then waits for its stop event only.
    m_handle->device().setCommMask(eventMask(port.Events()));
    m_port.m_synchronizer.workerStarting();
    m_thread = std::thread([this] { Execute(); });
}

TComThread::~TComThread()
{
    if (m_thread.joinable())
        Stop();
}

std::exception_ptr TComThread::Stop()
{
    m_stopEvent.set();
    std::exception_ptr handlerError = m_port.m_synchronizer.serveUntilWorkerFinished();
    m_thread.join();
    return handlerError;
}

void TComThread::Execute()
{
    while (m_handle->device().waitCommEvent(m_stopEvent, m_mask) == WAIT_OBJECT_0 + 1)
        deliver(m_mask);
    purgeComm(m_handle, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    m_port.m_synchronizer.workerFinished();
}

void TComThread::deliver(uint32_t mask)
{
    Synchronizer &synchronizer = m_port.m_synchronizer;
    switch (m_port.SyncMethod()) {
    case smSynchronize:
        // Captured by value: the call may outlive this frame by a moment.
        synchronizer.runInOwnerThread([this, mask] { dispatchComEvents(m_port, mask); });
        break;
    case smWindow:
        for (const uint32_t eventBit : ComEventDispatchOrder) {
            if ((mask & eventBit) == 0)
                continue;
            synchronizer.runInOwnerThread([this, eventBit] {
                ComEventMessage message(eventBit);
                QCoreApplication::sendEvent(m_port.m_window.get(), &message);
            });
        }
        break;
    case smNone:
        try {
            dispatchComEvents(m_port, mask);
        } catch (...) {
            // Nothing in this thread can report it; the next wake-up goes on.
        }
        break;
    }
}
