#include "serial/TtyDevice_linux.h"

#include "serial/DeviceHolder.h"
#include "serial/Syscall_linux.h"
#include "serial/TermiosMapping_linux.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace serial {

namespace {

template <typename Arg> int control(int fd, unsigned long request, Arg arg)
{
    return retryOnEintr([&] { return ::ioctl(fd, request, arg); }) == 0 ? 0 : errno;
}

// A device that another program has open is not ours to take, even when
// that program neither locks it nor sets it exclusive: a reused
// pseudo-terminal may belong to a shell by now, a serial port to a
// terminal program. A pseudo-terminal whose far end only holds the master
// (a simulated radio) is free: the master is another device.
int refuseIfHeldElsewhere(int fd)
{
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0)
        return errno;
    return S_ISCHR(info.st_mode) && findDeviceHolder(info.st_rdev) ? EBUSY : 0;
}

} // namespace

TtyDevice::~TtyDevice()
{
    if (!m_fd.valid())
        return;
    // Failures are of no use here: the device may already be gone.
    ::tcflush(m_fd.get(), TCOFLUSH);
    ::ioctl(m_fd.get(), TIOCNXCL);
}

int TtyDevice::open(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    UniqueFd fd(retryOnEintr(
        [&] { return ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); }));
    if (!fd.valid())
        return errno;
    std::unique_ptr<EventWaiter> lineEvents;
    try {
        lineEvents = std::make_unique<EventWaiter>(fd.get());
    } catch (const std::system_error &error) {
        return error.code().value();
    }
    // The lock and the holder first: when another process holds the
    // device, it must not find its tty switched to exclusive mode by an
    // open that failed.
    if (retryOnEintr([&] { return ::flock(fd.get(), LOCK_EX | LOCK_NB); }) != 0)
        return errno;
    if (const int err = refuseIfHeldElsewhere(fd.get()); err != 0)
        return err;
    if (const int err = control(fd.get(), TIOCEXCL, 0); err != 0)
        return err;
    Termios2 termios;
    int err = readTermios2(fd.get(), termios);
    if (err == 0) {
        makeRaw(termios);
        err = writeTermios2(fd.get(), termios);
    }
    if (err != 0) {
        ::ioctl(fd.get(), TIOCNXCL);
        return err;
    }
    m_fd = std::move(fd);
    m_lineEvents = std::move(lineEvents);
    return 0;
}

int TtyDevice::checkLine() const
{
    Termios2 termios;
    return readTermios2(m_fd.get(), termios);
}

int TtyDevice::setupComm(uint32_t inQueue, uint32_t)
{
    const int err = checkLine();
    if (err == 0)
        m_lineEvents->setInputQueueSize(inQueue);
    return err;
}

int TtyDevice::setCommState(const Dcb &dcb)
{
    Termios2 termios;
    int err = readTermios2(m_fd.get(), termios);
    if (err != 0)
        return err;
    makeRaw(termios);
    err = applyLineState(dcb, termios);
    if (err == 0)
        err = writeTermios2(m_fd.get(), termios);
    if (err == 0 && dtrControl(dcb) == DTR_CONTROL_ENABLE)
        err = changeModemLine(TIOCMBIS, TIOCM_DTR);
    if (err == 0 && rtsControl(dcb) == RTS_CONTROL_ENABLE)
        err = changeModemLine(TIOCMBIS, TIOCM_RTS);
    return err;
}

int TtyDevice::setCommTimeouts(const CommTimeouts &)
{
    return checkLine();
}

int TtyDevice::clearCommError(uint32_t &errors, ComStat &stat)
{
    errors = 0;
    int inQueue = 0;
    int outQueue = 0;
    int err = control(m_fd.get(), FIONREAD, &inQueue);
    if (err == 0)
        err = control(m_fd.get(), TIOCOUTQ, &outQueue);
    if (err != 0)
        return err;
    stat.cbInQue = static_cast<uint32_t>(inQueue);
    stat.cbOutQue = static_cast<uint32_t>(outQueue);
    return 0;
}

int TtyDevice::getCommModemStatus(uint32_t &status)
{
    int lines = 0;
    if (const int err = control(m_fd.get(), TIOCMGET, &lines); err != 0) {
        if (err != ENOTTY)
            return err;
        status = MS_CTS_ON; // no modem lines: the far end is always ready
        return 0;
    }
    status = 0;
    if (lines & TIOCM_CTS)
        status |= MS_CTS_ON;
    if (lines & TIOCM_DSR)
        status |= MS_DSR_ON;
    if (lines & TIOCM_RI)
        status |= MS_RING_ON;
    if (lines & TIOCM_CD)
        status |= MS_RLSD_ON;
    return 0;
}

int TtyDevice::changeModemLine(unsigned long request, int line)
{
    const int err = control(m_fd.get(), request, &line);
    return err == ENOTTY ? 0 : err;
}

int TtyDevice::escapeCommFunction(uint32_t function)
{
    switch (function) {
    case SETRTS:
        return changeModemLine(TIOCMBIS, TIOCM_RTS);
    case CLRRTS:
        return changeModemLine(TIOCMBIC, TIOCM_RTS);
    case SETDTR:
        return changeModemLine(TIOCMBIS, TIOCM_DTR);
    case CLRDTR:
        return changeModemLine(TIOCMBIC, TIOCM_DTR);
    default:
        return EINVAL;
    }
}

int TtyDevice::purgeComm(uint32_t flags)
{
    const bool output = flags & PURGE_TXCLEAR;
    const bool input = flags & PURGE_RXCLEAR;
    if (!output && !input)
        return 0;
    const int queue = output && input ? TCIOFLUSH : (output ? TCOFLUSH : TCIFLUSH);
    return ::tcflush(m_fd.get(), queue) == 0 ? 0 : errno;
}

bool TtyDevice::hungUp() const
{
    pollfd target{m_fd.get(), POLLIN, 0};
    return retryOnEintr([&] { return ::poll(&target, 1, 0); }) > 0 &&
           (target.revents & (POLLHUP | POLLERR | POLLNVAL));
}

int TtyDevice::read(char *buffer, uint32_t size, uint32_t &done)
{
    done = 0;
    const ssize_t n = retryOnEintr([&] { return ::read(m_fd.get(), buffer, size); });
    if (n < 0)
        return errno == EAGAIN ? 0 : errno;
    // In raw mode with VMIN = VTIME = 0 an empty line also reads 0 bytes;
    // only a hung-up line makes it a failure.
    if (n == 0 && size > 0 && hungUp())
        return EIO;
    if (n > 0)
        m_lineEvents->noteRead();
    done = static_cast<uint32_t>(n);
    return 0;
}

int TtyDevice::write(const char *buffer, uint32_t size, uint32_t &done)
{
    done = 0;
    const ssize_t n = retryOnEintr([&] { return ::write(m_fd.get(), buffer, size); });
    if (n < 0)
        return errno == EAGAIN ? 0 : errno;
    if (n > 0)
        m_lineEvents->noteWrite();
    done = static_cast<uint32_t>(n);
    return 0;
}

PollTarget TtyDevice::readiness(Direction direction) const
{
    return {m_fd.get(), static_cast<short>(direction == Direction::Input ? POLLIN : POLLOUT)};
}

int TtyDevice::setCommMask(uint32_t mask)
{
    if (!m_lineEvents)
        return EBADF;
    m_lineEvents->setMask(mask);
    return 0;
}

uint32_t TtyDevice::waitCommEvent(const Event &stop, uint32_t &events)
{
    events = 0;
    if (!m_lineEvents)
        return WAIT_FAILED;
    return m_lineEvents->wait(stop, events);
}

} // namespace serial
