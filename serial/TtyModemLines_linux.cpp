#include "serial/TtyModemLines_linux.h"

#include "serial/Syscall_linux.h"

#include <cerrno>
#include <linux/serial.h>
#include <sys/ioctl.h>

namespace serial {

namespace {

bool ioctlRetrying(int fd, unsigned long request, void *argument)
{
    return retryOnEintr([&] { return ::ioctl(fd, request, argument); }) == 0;
}

} // namespace

LineSample TtyModemLines::sample()
{
    LineSample sample;
    int lines = 0;
    if (m_hasModemLines && ioctlRetrying(m_fd, TIOCMGET, &lines)) {
        sample.hasModemLines = true;
        sample.cts = (lines & TIOCM_CTS) != 0;
        sample.dsr = (lines & TIOCM_DSR) != 0;
        sample.rlsd = (lines & TIOCM_CD) != 0;
        sample.ring = (lines & TIOCM_RI) != 0;
    } else {
        m_hasModemLines = false;
    }
    serial_icounter_struct counters{};
    if (m_hasCounters && ioctlRetrying(m_fd, TIOCGICOUNT, &counters)) {
        sample.hasCounters = true;
        sample.ctsChanges = counters.cts;
        sample.dsrChanges = counters.dsr;
        sample.rlsdChanges = counters.dcd;
        sample.rings = counters.rng;
        sample.breaks = counters.brk;
        sample.frameErrors = counters.frame;
        sample.overruns = counters.overrun;
        sample.parityErrors = counters.parity;
        sample.bufferOverruns = counters.buf_overrun;
    } else {
        m_hasCounters = false;
    }
    return sample;
}

int TtyModemLines::waitForChange()
{
    // Not retried here: an interrupted wait goes back to its thread, which
    // may be stopping.
    const unsigned long lines = TIOCM_CTS | TIOCM_DSR | TIOCM_CD | TIOCM_RNG;
    return ::ioctl(m_fd, TIOCMIWAIT, lines) == 0 ? 0 : errno;
}

} // namespace serial
