#pragma once

#include "serial/SerialDevice.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// Win32-style calls over a port handle. Each returns 0 on success, an errno
// value on failure, or ERROR_IO_PENDING when readFile/writeFile continue in
// the background. A null handle (a closed port) fails with EBADF.
namespace serial {

class Transfer;

// An open device with its time-outs and the transfers still running on it.
class CommHandle
{
public:
    explicit CommHandle(std::unique_ptr<SerialDevice> device);
    ~CommHandle(); // cancels and waits for every running transfer
    CommHandle(const CommHandle &) = delete;
    CommHandle &operator=(const CommHandle &) = delete;

    SerialDevice &device() { return *m_device; }
    CommTimeouts timeouts() const;
    void setTimeouts(const CommTimeouts &timeouts);
    void addTransfer(const std::shared_ptr<Transfer> &transfer);
    // Cancels the running transfers of the directions selected by PURGE_TXABORT
    // and PURGE_RXABORT in `flags`.
    void cancelTransfers(uint32_t flags);
    // True while a read that went pending has not finished.
    bool readRunning() const;

private:
    std::unique_ptr<SerialDevice> m_device;
    mutable std::mutex m_mutex;
    CommTimeouts m_timeouts;
    std::vector<std::weak_ptr<Transfer>> m_transfers;
};

// The pending record of one read or write. Its event is set when a transfer
// that went pending has finished.
class Overlapped
{
public:
    Overlapped();  // throws std::system_error when no event can be created
    ~Overlapped(); // an unfinished transfer is cancelled and waited for
    Overlapped(const Overlapped &) = delete;
    Overlapped &operator=(const Overlapped &) = delete;

    Event &event() { return m_event; }

private:
    friend int readFile(CommHandle *, char *, uint32_t, uint32_t &, Overlapped &);
    friend int writeFile(CommHandle *, const char *, uint32_t, uint32_t &, Overlapped &);
    friend int getOverlappedResult(CommHandle *, Overlapped &, uint32_t &, bool);

    Event m_event;
    std::shared_ptr<Transfer> m_transfer;
};

// Opens the device `name`: a name registered in serial/DeviceRegistry.h gets
// its factory's device, any other name is opened as a tty.
std::unique_ptr<CommHandle> createFile(const QString &name, int &error);
// Lowers DTR and RTS, then releases the device.
void closeHandle(std::unique_ptr<CommHandle> &handle);

int setupComm(CommHandle *handle, uint32_t inQueue, uint32_t outQueue);
int setCommState(CommHandle *handle, const Dcb &dcb);
int setCommTimeouts(CommHandle *handle, const CommTimeouts &timeouts);

// Reads up to `count` bytes following the handle's time-outs:
// - ReadIntervalTimeout MAXDWORD with both totals 0: returns at once with
//   what is there;
// - ReadIntervalTimeout and ReadTotalTimeoutMultiplier MAXDWORD with a
//   constant between: returns at once if bytes are there, else with the first
//   bytes to arrive within the constant;
// - otherwise completes when `count` bytes arrived, when the total time-out
//   (multiplier x count + constant, none when both are 0) passed, or when the
//   interval time-out passed between two bytes.
// When the read cannot finish at once it returns ERROR_IO_PENDING; the bytes
// reach `buffer` only when getOverlappedResult collects them, so `buffer`
// must stay valid until then, and is never written by another thread.
int readFile(CommHandle *handle, char *buffer, uint32_t count, uint32_t &done,
             Overlapped &overlapped);
// Appends to `out` what has arrived, up to `maxBytes`, and never waits,
// whatever the time-outs say: the device is read again only while a read
// fills all the room it was given (more may be waiting behind it). `done`
// receives the number of bytes appended, 0 when nothing was waiting. A
// failure after some bytes were read is left to the next call, which meets
// it again. Fails with EBUSY while a read of readFile is still pending: the
// bytes it holds came first.
int readAvailable(CommHandle *handle, QByteArray &out, uint32_t maxBytes, uint32_t &done);
// Writes `count` bytes; what cannot be written at once continues in the
// background (the bytes are copied). The write fails with ETIMEDOUT after
// WriteTotalTimeoutMultiplier x count + WriteTotalTimeoutConstant ms (no
// limit when both are 0).
int writeFile(CommHandle *handle, const char *buffer, uint32_t count, uint32_t &done,
              Overlapped &overlapped);
// The outcome of a pending transfer: ERROR_IO_INCOMPLETE while it runs and
// `wait` is false. A cancelled transfer fails with ECANCELED.
int getOverlappedResult(CommHandle *handle, Overlapped &overlapped, uint32_t &done, bool wait);

int clearCommError(CommHandle *handle, uint32_t &errors, ComStat &stat);
int getCommModemStatus(CommHandle *handle, uint32_t &status);
int escapeCommFunction(CommHandle *handle, uint32_t function);
int purgeComm(CommHandle *handle, uint32_t flags);

} // namespace serial
