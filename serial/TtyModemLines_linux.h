#pragma once

#include "serial/ModemLines.h"

namespace serial {

// The modem lines of a tty: TIOCMGET for the lines, TIOCGICOUNT for the
// counters that catch a line toggled and back between two samples, and for
// breaks and line errors, TIOCMIWAIT to wait for a change. A pseudo-terminal
// answers none of them, and many USB drivers lack the counters and the wait.
class TtyModemLines : public ModemLines
{
public:
    explicit TtyModemLines(int fd) : m_fd(fd) {}

    LineSample sample() override;
    int waitForChange() override;

private:
    const int m_fd;
    bool m_hasModemLines = true;
    bool m_hasCounters = true;
};

} // namespace serial
