#pragma once

#include "serial/EventWaiter.h"
#include "serial/SerialDevice.h"
#include "serial/UniqueFd_linux.h"

#include <memory>

namespace serial {

// A tty: a serial port (/dev/ttyS*, /dev/ttyUSB*, /dev/ttyACM*) or the
// slave side of a pseudo-terminal.
//
// The device is opened non-blocking and locked (TIOCEXCL for other users,
// flock for every process including root, which TIOCEXCL does not stop),
// and put in raw mode. Opening fails with EBUSY when another process has
// the device open, whether or not it locked it. Nothing here blocks: output is never drained
// (tcdrain waits for ever under CTS flow control with CTS low), and pending
// output is discarded before closing, which could otherwise wait in the
// driver for up to 30 s.
//
// A device without modem lines (a pseudo-terminal, a driver that answers
// ENOTTY to the modem ioctls) reads CTS as up and accepts DTR and RTS
// changes without effect. A vanished device (cable pulled, the far end of a
// pseudo-terminal closed) answers EIO.
//
// Linux cannot size the driver's queues, so setupComm only checks that the
// line is still there and keeps the input size for the 80% event; the read
// and write time-outs are carried out by the handle. Line errors (overrun,
// parity, framing, break) are not reported by clearCommError; they reach
// the event thread where the driver counts them. Line events are told
// apart as serial/EventWaiter.h describes.
class TtyDevice : public SerialDevice
{
public:
    TtyDevice() = default;
    ~TtyDevice() override;

    int open(const QString &path) override;
    int setupComm(uint32_t inQueue, uint32_t outQueue) override;
    int setCommState(const Dcb &dcb) override;
    int setCommTimeouts(const CommTimeouts &timeouts) override;
    int clearCommError(uint32_t &errors, ComStat &stat) override;
    int getCommModemStatus(uint32_t &status) override;
    int escapeCommFunction(uint32_t function) override;
    int purgeComm(uint32_t flags) override;
    int read(char *buffer, uint32_t size, uint32_t &done) override;
    int write(const char *buffer, uint32_t size, uint32_t &done) override;
    PollTarget readiness(Direction direction) const override;
    int setCommMask(uint32_t mask) override;
    uint32_t waitCommEvent(const Event &stop, uint32_t &events) override;

private:
    int checkLine() const;
    int changeModemLine(unsigned long request, int line);
    bool hungUp() const;

    UniqueFd m_fd;
    std::unique_ptr<EventWaiter> m_lineEvents;
};

} // namespace serial
