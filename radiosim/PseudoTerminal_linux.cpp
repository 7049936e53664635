#include "radiosim/PseudoTerminal_linux.h"

#include "radiosim/SystemError_linux.h"

#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>

namespace radiosim {

namespace {

UniqueFd openSlave(const QByteArray &path)
{
    UniqueFd slave(
        retryOnEintr([&] { return ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK); }));
    if (!slave.valid())
        throw SystemError("open", errno);
    return slave;
}

} // namespace

PseudoTerminal::PseudoTerminal() : m_master(posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK))
{
    if (!m_master.valid())
        throw SystemError("posix_openpt", errno);
    if (grantpt(m_master.get()) != 0)
        throw SystemError("grantpt", errno);
    if (unlockpt(m_master.get()) != 0)
        throw SystemError("unlockpt", errno);
    char path[128] = {};
    if (const int error = ptsname_r(m_master.get(), path, sizeof path); error != 0)
        throw SystemError("ptsname_r", error);
    m_slavePath = path;

    // Terminal settings made through the master apply to the slave.
    termios settings{};
    if (tcgetattr(m_master.get(), &settings) != 0)
        throw SystemError("tcgetattr", errno);
    cfmakeraw(&settings);
    if (retryOnEintr([&] { return tcsetattr(m_master.get(), TCSANOW, &settings); }) != 0)
        throw SystemError("tcsetattr", errno);

    // A slave that was never opened does not hang up the master; one that
    // was opened and closed does, which is the state "no client".
    openSlave(m_slavePath);
}

bool PseudoTerminal::hungUp() const
{
    pollfd master{m_master.get(), POLLIN, 0};
    if (retryOnEintr([&] { return ::poll(&master, 1, 0); }) < 0)
        throw SystemError("poll", errno);
    return master.revents & POLLHUP;
}

void PseudoTerminal::discardUnreadOutput()
{
    const UniqueFd slave = openSlave(m_slavePath);
    if (tcflush(slave.get(), TCIFLUSH) != 0)
        throw SystemError("tcflush", errno);
}

} // namespace radiosim
