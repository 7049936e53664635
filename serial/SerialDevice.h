#pragma once

#include "serial/Event.h"

#include <QString>
#include <cstdint>

// The serial port component is written in Win32 terms: a handle, a DCB line
// record, a time-out record, overlapped transfers with a waitable event. This
// header gives those records and constants, and the device interface that
// carries them out on Linux. The calls over a handle (createFile, readFile,
// purgeComm, ...) and the Overlapped record are in serial/CommApi.h.
namespace serial {

constexpr uint32_t MAXDWORD = 0xFFFFFFFFu;

// Results of readFile/writeFile/getOverlappedResult besides 0 and errno values.
constexpr int ERROR_IO_INCOMPLETE = 996;
constexpr int ERROR_IO_PENDING = 997;

// Line state record with the fields of the Win32 DCB (28 bytes).
struct Dcb
{
    uint32_t DCBlength = 28;
    uint32_t BaudRate = 0;
    uint32_t Flags = 0; // the f* bits below
    uint16_t wReserved = 0;
    uint16_t XonLim = 0;
    uint16_t XoffLim = 0;
    uint8_t ByteSize = 0;
    uint8_t Parity = 0;
    uint8_t StopBits = 0;
    uint8_t XonChar = 0;
    uint8_t XoffChar = 0;
    uint8_t ErrorChar = 0;
    uint8_t EofChar = 0;
    uint8_t EvtChar = 0;
    uint16_t wReserved1 = 0;
};

// Dcb::Flags bits.
constexpr uint32_t fBinary = 0x0001;
constexpr uint32_t fParity = 0x0002;
constexpr uint32_t fOutxCtsFlow = 0x0004;
constexpr uint32_t fOutxDsrFlow = 0x0008;
constexpr uint32_t fDtrControlMask = 0x0030;
constexpr int fDtrControlShift = 4;
constexpr uint32_t fOutX = 0x0100;
constexpr uint32_t fInX = 0x0200;
constexpr uint32_t fErrorChar = 0x0400;
constexpr uint32_t fNull = 0x0800;
constexpr uint32_t fRtsControlMask = 0x3000;
constexpr int fRtsControlShift = 12;

// Values of the two-bit DTR and RTS control fields.
constexpr uint32_t DTR_CONTROL_DISABLE = 0;
constexpr uint32_t DTR_CONTROL_ENABLE = 1;
constexpr uint32_t DTR_CONTROL_HANDSHAKE = 2;
constexpr uint32_t RTS_CONTROL_DISABLE = 0;
constexpr uint32_t RTS_CONTROL_ENABLE = 1;
constexpr uint32_t RTS_CONTROL_HANDSHAKE = 2;
constexpr uint32_t RTS_CONTROL_TOGGLE = 3;

inline uint32_t dtrControl(const Dcb &dcb)
{
    return (dcb.Flags & fDtrControlMask) >> fDtrControlShift;
}
inline uint32_t rtsControl(const Dcb &dcb)
{
    return (dcb.Flags & fRtsControlMask) >> fRtsControlShift;
}

// Dcb::Parity and Dcb::StopBits values.
constexpr uint8_t NOPARITY = 0;
constexpr uint8_t ODDPARITY = 1;
constexpr uint8_t EVENPARITY = 2;
constexpr uint8_t MARKPARITY = 3;
constexpr uint8_t SPACEPARITY = 4;
constexpr uint8_t ONESTOPBIT = 0;
constexpr uint8_t ONE5STOPBITS = 1;
constexpr uint8_t TWOSTOPBITS = 2;

// Time-out record, milliseconds, with the Win32 meaning: see readFile/writeFile.
struct CommTimeouts
{
    uint32_t ReadIntervalTimeout = 0;
    uint32_t ReadTotalTimeoutMultiplier = 0;
    uint32_t ReadTotalTimeoutConstant = 0;
    uint32_t WriteTotalTimeoutMultiplier = 0;
    uint32_t WriteTotalTimeoutConstant = 0;
};

// Queue counts reported by clearCommError.
struct ComStat
{
    uint32_t cbInQue = 0;
    uint32_t cbOutQue = 0;
};

// getCommModemStatus bits.
constexpr uint32_t MS_CTS_ON = 0x0010;
constexpr uint32_t MS_DSR_ON = 0x0020;
constexpr uint32_t MS_RING_ON = 0x0040;
constexpr uint32_t MS_RLSD_ON = 0x0080;

// escapeCommFunction codes.
constexpr uint32_t SETRTS = 3;
constexpr uint32_t CLRRTS = 4;
constexpr uint32_t SETDTR = 5;
constexpr uint32_t CLRDTR = 6;

// purgeComm flags: the abort bits cancel pending transfers, the clear bits
// discard the driver's queues.
constexpr uint32_t PURGE_TXABORT = 0x0001;
constexpr uint32_t PURGE_RXABORT = 0x0002;
constexpr uint32_t PURGE_TXCLEAR = 0x0004;
constexpr uint32_t PURGE_RXCLEAR = 0x0008;

// Line event mask bits.
constexpr uint32_t EV_RXCHAR = 0x0001;
constexpr uint32_t EV_RXFLAG = 0x0002;
constexpr uint32_t EV_TXEMPTY = 0x0004;
constexpr uint32_t EV_CTS = 0x0008;
constexpr uint32_t EV_DSR = 0x0010;
constexpr uint32_t EV_RLSD = 0x0020;
constexpr uint32_t EV_BREAK = 0x0040;
constexpr uint32_t EV_ERR = 0x0080;
constexpr uint32_t EV_RING = 0x0100;
constexpr uint32_t EV_RX80FULL = 0x0400;

// A descriptor that polls ready (for `events`) when the device may have
// progress for one direction: input to read, or room for output.
struct PollTarget
{
    int fd = -1;
    short events = 0;
};

enum class Direction { Input, Output };

// One opened serial device. Every call returns 0 on success or an errno
// value; a device that vanished answers EIO. Calls may come from several
// threads at once (the caller's, a pending transfer's, an event thread's).
class SerialDevice
{
public:
    virtual ~SerialDevice() = default; // releases the device

    // Opens `path` exclusively (a second open of the same device fails).
    virtual int open(const QString &path) = 0;
    virtual int setupComm(uint32_t inQueue, uint32_t outQueue) = 0;
    virtual int setCommState(const Dcb &dcb) = 0;
    virtual int setCommTimeouts(const CommTimeouts &timeouts) = 0;
    // Reports the queue counts; `errors` receives line errors and clears them.
    virtual int clearCommError(uint32_t &errors, ComStat &stat) = 0;
    virtual int getCommModemStatus(uint32_t &status) = 0;
    virtual int escapeCommFunction(uint32_t function) = 0;
    // The device part of a purge: the clear bits; the abort bits concern
    // transfers, which the handle cancels.
    virtual int purgeComm(uint32_t flags) = 0;
    // Never blocks: `done` receives what could be moved now, possibly 0.
    virtual int read(char *buffer, uint32_t size, uint32_t &done) = 0;
    virtual int write(const char *buffer, uint32_t size, uint32_t &done) = 0;
    virtual PollTarget readiness(Direction direction) const = 0;

    // Line events for the event thread. setCommMask selects the EV_ bits
    // that waitCommEvent reports. waitCommEvent blocks until events of the
    // mask happened (WAIT_OBJECT_0 + 1, the bits in `events`) or `stop` is
    // set (WAIT_OBJECT_0, which wins over events that happened meanwhile);
    // WAIT_FAILED when the wait itself failed. One thread waits at a time.
    virtual int setCommMask(uint32_t mask) = 0;
    virtual uint32_t waitCommEvent(const Event &stop, uint32_t &events) = 0;
};

} // namespace serial
