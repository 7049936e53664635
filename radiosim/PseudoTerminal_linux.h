#pragma once

#include "serial/UniqueFd_linux.h"

#include <QByteArray>

namespace radiosim {

// The master side of a pseudo-terminal whose slave device a client opens
// as if it were a serial port. The slave is set to raw mode, so the
// client's bytes arrive untouched and nothing is echoed by the line
// discipline. The master is non-blocking.
//
// While no client has the slave open, the master reports a hang-up
// (POLLHUP, and EIO on read). The simulator holds no slave descriptor of
// its own: the hang-up tells it when a client comes and goes.
class PseudoTerminal
{
public:
    // Throws SystemError.
    PseudoTerminal();

    int masterFd() const { return m_master.get(); }
    const QByteArray &slavePath() const { return m_slavePath; }

    // True while no client has the slave device open.
    bool hungUp() const;
    // Drops what a departed client left unread, so the next client starts
    // on a clean line. Throws SystemError.
    void discardUnreadOutput();

private:
    serial::UniqueFd m_master;
    QByteArray m_slavePath;
};

} // namespace radiosim
