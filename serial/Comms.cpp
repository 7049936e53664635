#include "serial/Comms.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace {

const char kOpenFailed[] = "Unable to open com port: ";
const char kReadStatusFailed[] = "Unable to read com status: ";
const char kSignalFailed[] = "Unable to set signal: ";
const char kOperationFailed[] = "Operation failed: ";
const char kOperationAborted[] = "Operation aborted: ";
const char kAbortFailed[] = "Cannot abort operation: ";

} // namespace

TComPort::TComPort(QObject *parent) : QObject(parent) {}

TComPort::~TComPort()
{
    try {
        Close();
    } catch (...) {
        // The pending transfers could not be purged (the device is gone), or
        // a handler that Close ran failed: release everything anyway, a
        // destructor cannot report.
        stopThread();
        m_pending.clear();
        serial::closeHandle(m_handle);
        m_window.reset();
        m_connected = false;
    }
}

QString TComPort::DeviceName() const
{
    if (!m_devicePath.isEmpty())
        return m_devicePath;
    return QStringLiteral("/dev/ttyS%1").arg(static_cast<int>(m_port));
}

void TComPort::Open()
{
    Close();
    // Only a handler that Close runs while it waits for the event thread
    // gets here; the device is busy until that Close has ended.
    if (m_closing)
        throw EComPort(kOpenFailed, EBUSY);
    int err = 0;
    std::unique_ptr<serial::CommHandle> handle = serial::createFile(DeviceName(), err);
    if (!handle)
        throw EComPort(kOpenFailed, err);
    m_handle = std::move(handle);
    m_connected = true;
    m_dtrSet = false;
    m_rtsSet = false;
    try {
        ApplyBuffers();
        ApplyLineState();
        ApplyTimeouts();
    } catch (const EComPort &) {
        serial::closeHandle(m_handle);
        m_connected = false;
        throw;
    }
    try {
        if (m_syncMethod == smWindow)
            m_window = std::make_unique<ComMessageWindow>(*this);
        if (!m_events.isEmpty()) {
            m_thread = std::make_unique<TComThread>(*this);
            m_threadCreated = true;
        }
    } catch (const std::system_error &error) {
        // No event or thread could be created: the port is of no use
        // without its events, so it closes as after a failed settings step.
        m_window.reset();
        serial::closeHandle(m_handle);
        m_connected = false;
        throw EComPort(kOpenFailed, error.code().value());
    }
    if (OnOpen)
        OnOpen(this);
}

void TComPort::Close()
{
    // A handler that this Close runs while it waits for the event thread may
    // call Close again: the Close under way finishes the job.
    if (!m_connected || m_closing)
        return;
    // The event thread cannot wait for its own end: a handler running on it
    // (smNone) that closes or reopens the port is refused, not hung.
    if (m_threadCreated && m_thread->isCurrentThread())
        throw EComPort(kOperationFailed, EDEADLK);
    AbortAllAsync();
    const std::exception_ptr handlerError = stopThread();
    serial::closeHandle(m_handle);
    m_connected = false;
    m_dtrSet = false;
    m_rtsSet = false;
    m_window.reset();
    if (OnClose)
        OnClose(this);
    if (handlerError)
        std::rethrow_exception(handlerError);
}

// Waits for the thread's end while serving its deliveries; returns the
// first exception a handler raised meanwhile.
std::exception_ptr TComPort::stopThread()
{
    if (!m_threadCreated)
        return nullptr;
    m_closing = true;
    const std::exception_ptr handlerError = m_thread->Stop();
    m_thread.reset();
    m_threadCreated = false;
    m_closing = false;
    return handlerError;
}

int TComPort::InputCount()
{
    uint32_t errors = 0;
    serial::ComStat stat;
    const int err = serial::clearCommError(m_handle.get(), errors, stat);
    if (err != 0)
        throw EComPort(kReadStatusFailed, err);
    return static_cast<int>(stat.cbInQue);
}

std::unique_ptr<serial::Overlapped> TComPort::newRecord(const char *failurePrefix)
{
    try {
        return std::make_unique<serial::Overlapped>();
    } catch (const std::system_error &error) {
        throw EComPort(failurePrefix, error.code().value());
    }
}

// The common end of ReadStr and WriteStr once the record is on the stack.
int TComPort::concludeTransfer(int result, uint32_t done, bool WaitFor, const char *failurePrefix)
{
    if (result == 0) {
        m_pending.pop();
        return static_cast<int>(done);
    }
    if (result == serial::ERROR_IO_PENDING)
        return WaitFor ? WaitForAsync() : -1;
    m_pending.pop();
    throw EComPort(failurePrefix, result);
}

int TComPort::ReadStr(QByteArray &Str, int Count, bool WaitFor)
{
    const auto count = static_cast<uint32_t>(std::max(Count, 0));
    Str.resize(count);
    m_pending.push(newRecord(kOperationAborted));
    uint32_t done = 0;
    const int result = serial::readFile(m_handle.get(), Str.data(), count, done, m_pending.top());
    return concludeTransfer(result, done, WaitFor, kOperationAborted);
}

int TComPort::ReadAvailable(QByteArray &Out, int MaxBytes)
{
    uint32_t done = 0;
    const int err = serial::readAvailable(m_handle.get(), Out,
                                          static_cast<uint32_t>(std::max(MaxBytes, 0)), done);
    if (err != 0)
        throw EComPort(kOperationAborted, err);
    return static_cast<int>(done);
}

int TComPort::WriteStr(const QByteArray &Str, bool WaitFor)
{
    m_pending.push(newRecord(kOperationFailed));
    uint32_t done = 0;
    const int result = serial::writeFile(m_handle.get(), Str.constData(),
                                         static_cast<uint32_t>(Str.size()), done, m_pending.top());
    return concludeTransfer(result, done, WaitFor, kOperationFailed);
}

int TComPort::WaitForAsync(uint32_t TimeoutMs)
{
    if (m_pending.isEmpty())
        return -2;
    const uint32_t waited = m_pending.top().event().wait(TimeoutMs);
    if (waited == serial::WAIT_TIMEOUT)
        return -1;
    const int waitError = errno;
    const std::unique_ptr<serial::Overlapped> record = m_pending.pop();
    uint32_t done = 0;
    int err = 0;
    if (waited == serial::WAIT_OBJECT_0)
        err = serial::getOverlappedResult(m_handle.get(), *record, done, false);
    else
        err = waitError;
    if (err != 0)
        throw EComPort(kOperationFailed, err);
    return static_cast<int>(done);
}

void TComPort::AbortAllAsync()
{
    if (m_pending.isEmpty())
        return;
    const int err =
        serial::purgeComm(m_handle.get(), serial::PURGE_TXABORT | serial::PURGE_RXABORT);
    if (err != 0)
        throw EComPort(kAbortFailed, err);
    m_pending.clear();
}

void TComPort::SetDTR(bool On)
{
    const int err =
        serial::escapeCommFunction(m_handle.get(), On ? serial::SETDTR : serial::CLRDTR);
    if (err != 0)
        throw EComPort(kSignalFailed, err);
    m_dtrSet = On;
}

void TComPort::SetRTS(bool On)
{
    const int err =
        serial::escapeCommFunction(m_handle.get(), On ? serial::SETRTS : serial::CLRRTS);
    if (err != 0)
        throw EComPort(kSignalFailed, err);
    m_rtsSet = On;
}

bool TComPort::GetCTS()
{
    return (ModemStatus() & serial::MS_CTS_ON) != 0;
}

uint32_t TComPort::ModemStatus()
{
    uint32_t status = 0;
    const int err = serial::getCommModemStatus(m_handle.get(), status);
    if (err != 0)
        throw EComPort(kReadStatusFailed, err);
    return status;
}
