#pragma once

#include "serial/ComSettings.h"
#include "serial/ComThread.h"
#include "serial/ComTypes.h"
#include "serial/CommApi.h"
#include "serial/EComPort.h"
#include "serial/PendingStack.h"
#include "serial/Synchronizer.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>

using TNotifyEvent = std::function<void(QObject *Sender)>;
using TRxCharEvent = std::function<void(QObject *Sender, int InQue)>;

// One serial port: its settings, opening and closing, reads and writes,
// line signals, and an event thread that calls the handlers on line events.
// Every failing port call raises EComPort; nothing is retried. Operations
// are called from one thread, the one that created the port (the window
// thread): its event loop runs the deliveries of smSynchronize and smWindow.
class TComPort : public QObject
{
    Q_OBJECT
    Q_PROPERTY(TBaudRate BaudRate READ BaudRate WRITE setBaudRate)
    Q_PROPERTY(TPortType Port READ Port WRITE setPort)
    Q_PROPERTY(QString DevicePath READ DevicePath WRITE setDevicePath)
    Q_PROPERTY(TParity *Parity READ Parity)
    Q_PROPERTY(TStopBits StopBits READ StopBits WRITE setStopBits)
    Q_PROPERTY(TDataBits DataBits READ DataBits WRITE setDataBits)
    Q_PROPERTY(bool DiscardNull READ DiscardNull WRITE setDiscardNull)
    Q_PROPERTY(quint8 EventChar READ EventChar WRITE setEventChar)
    Q_PROPERTY(TEvents Events READ Events WRITE setEvents)
    Q_PROPERTY(quint32 WriteBufSize READ WriteBufSize WRITE setWriteBufSize)
    Q_PROPERTY(quint32 ReadBufSize READ ReadBufSize WRITE setReadBufSize)
    Q_PROPERTY(TFlowControl *FlowControl READ FlowControl)
    Q_PROPERTY(TComTimeouts *Timeouts READ Timeouts)
    Q_PROPERTY(TSyncMethod SyncMethod READ SyncMethod WRITE setSyncMethod)

public:
    explicit TComPort(QObject *parent = nullptr);
    ~TComPort() override;

    void Open();
    void Close();
    bool Connected() const { return m_connected; }

    int InputCount();
    // With WaitFor false a transfer that cannot finish at once returns -1 and
    // stays pending until WaitForAsync collects it; Str (read) must then stay
    // untouched until then.
    int ReadStr(QByteArray &Str, int Count, bool WaitFor);
    int WriteStr(const QByteArray &Str, bool WaitFor);
    // Appends to Out every byte that has arrived, up to MaxBytes, and returns
    // how many; 0 when nothing waits. Never waits, whatever the time-outs:
    // usually one read of the device. Raises EComPort as ReadStr does, and
    // with EBUSY while a read of ReadStr is still pending.
    int ReadAvailable(QByteArray &Out, int MaxBytes);
    // Collects the newest pending transfer; -2 when nothing is pending. With
    // a time-out, -1 when the transfer has not finished within it: it stays
    // pending, to be collected by a later call.
    int WaitForAsync(uint32_t TimeoutMs = serial::INFINITE);
    void AbortAllAsync();
    bool AsyncPending() const { return !m_pending.isEmpty(); }

    void SetDTR(bool On);
    void SetRTS(bool On);
    bool GetCTS();
    // The modem input lines, MS_*_ON bits; raises as GetCTS does.
    uint32_t ModemStatus();
    // The output lines as SetDTR and SetRTS last set them since Open; both
    // are off while closed (closing lowers them).
    bool DtrSet() const { return m_dtrSet; }
    bool RtsSet() const { return m_rtsSet; }

    // Apply steps: each does nothing while the port is closed.
    void ApplyBuffers();
    void ApplyLineState();
    void ApplyTimeouts();

    // The open port's handle (null while closed), for the event thread.
    serial::CommHandle *Handle() const { return m_handle.get(); }
    // The device Open uses: DevicePath, or "/dev/ttyS<n>" for COM<n+1>.
    QString DeviceName() const;

    TBaudRate BaudRate() const { return m_baudRate; }
    void setBaudRate(TBaudRate value);
    TPortType Port() const { return m_port; }
    void setPort(TPortType value);
    QString DevicePath() const { return m_devicePath; }
    void setDevicePath(const QString &value);
    TParity *Parity() { return &m_parity; }
    void setParity(const TParity &value);
    TStopBits StopBits() const { return m_stopBits; }
    void setStopBits(TStopBits value);
    TDataBits DataBits() const { return m_dataBits; }
    void setDataBits(TDataBits value);
    bool DiscardNull() const { return m_discardNull; }
    void setDiscardNull(bool value);
    quint8 EventChar() const { return m_eventChar; }
    void setEventChar(quint8 value);
    TEvents Events() const { return m_events; }
    void setEvents(TEvents value);
    quint32 WriteBufSize() const { return m_writeBufSize; }
    void setWriteBufSize(quint32 value);
    quint32 ReadBufSize() const { return m_readBufSize; }
    void setReadBufSize(quint32 value);
    TFlowControl *FlowControl() { return &m_flowControl; }
    void setFlowControl(const TFlowControl &value);
    TComTimeouts *Timeouts() { return &m_timeouts; }
    void setTimeouts(const TComTimeouts &value);
    TSyncMethod SyncMethod() const { return m_syncMethod; }
    void setSyncMethod(TSyncMethod value);

    TRxCharEvent OnRxChar;
    TNotifyEvent OnTxEmpty;
    TNotifyEvent OnBreak;
    TNotifyEvent OnRing;
    TNotifyEvent OnCTS;
    TNotifyEvent OnDSR;
    TNotifyEvent OnRLSD;
    TNotifyEvent OnError;
    TNotifyEvent OnRxFlag;
    TNotifyEvent OnOpen;
    TNotifyEvent OnClose;
    TNotifyEvent OnRx80Full;

private:
    friend class TComThread;

    std::exception_ptr stopThread();
    serial::Dcb buildDcb() const;
    serial::CommTimeouts buildTimeouts() const;
    void reopenIfConnected();
    std::unique_ptr<serial::Overlapped> newRecord(const char *failurePrefix);
    int concludeTransfer(int result, uint32_t done, bool WaitFor, const char *failurePrefix);

    // Declared first: outlives the thread, which it serves until its end.
    serial::Synchronizer m_synchronizer;
    std::unique_ptr<TComThread> m_thread;
    bool m_threadCreated = false;
    PendingStack<serial::Overlapped> m_pending;
    std::unique_ptr<serial::CommHandle> m_handle;
    // Stands for the message window while open with smWindow.
    std::unique_ptr<ComMessageWindow> m_window;
    bool m_connected = false;
    bool m_dtrSet = false;
    bool m_rtsSet = false;
    // Set while Close waits for the event thread.
    bool m_closing = false;

    TBaudRate m_baudRate = br9600;
    TPortType m_port = COM1;
    QString m_devicePath;
    TParity m_parity{this};
    TStopBits m_stopBits = sbOneStopBit;
    TDataBits m_dataBits = dbEight;
    bool m_discardNull = false;
    quint8 m_eventChar = 0;
    TEvents m_events = TEvents::all();
    quint32 m_writeBufSize = 1024;
    quint32 m_readBufSize = 1024;
    TFlowControl m_flowControl{this};
    TComTimeouts m_timeouts{this};
    TSyncMethod m_syncMethod = smSynchronize;
};
