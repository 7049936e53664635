#pragma once

#include "serial/SerialDevice.h"

#include <cstdint>

// How the line state record becomes the tty's termios on Linux.
//
// Every speed is set through termios2 with BOTHER, so rates without a B
// constant (14400, 56000) work as well as the others. <asm/termbits.h>,
// which declares termios2, cannot be included together with <termios.h>,
// so the structure is declared here with the kernel's layout.
//
// Reaches the line:
//   BaudRate; ByteSize 5..8 (CS5..CS8); Parity (PARENB, PARODD, CMSPAR for
//   mark and space); fParity (INPCK); StopBits (CSTOPB); fOutxCtsFlow or
//   RTS_CONTROL_HANDSHAKE (CRTSCTS); fOutX (IXON); fInX (IXOFF); XonChar and
//   XoffChar (VSTART, VSTOP); DTR_CONTROL_ENABLE and RTS_CONTROL_ENABLE raise
//   the line (done by the tty device, not by termios).
// Linux has no equivalent, so these stay in the record only:
//   fOutxDsrFlow and DTR_CONTROL_HANDSHAKE (no DSR/DTR flow control);
//   RTS_CONTROL_TOGGLE; fNull (no null discarding); fErrorChar and
//   ErrorChar (no replacement of bytes with errors); XonLim and XoffLim (the
//   kernel picks its own thresholds); EofChar and EvtChar; ONE5STOPBITS with
//   6..8 data bits, which gives one stop bit (with 5 data bits CSTOPB is
//   1.5 stop bits on the UART, as is TWOSTOPBITS).
// DTR_CONTROL_DISABLE and RTS_CONTROL_DISABLE leave the lines as they are:
// the owner drives them with escapeCommFunction.
namespace serial {

struct Termios2
{
    uint32_t c_iflag = 0;
    uint32_t c_oflag = 0;
    uint32_t c_cflag = 0;
    uint32_t c_lflag = 0;
    uint8_t c_line = 0;
    uint8_t c_cc[19] = {};
    uint32_t c_ispeed = 0;
    uint32_t c_ospeed = 0;
};

int readTermios2(int fd, Termios2 &termios);
int writeTermios2(int fd, const Termios2 &termios);

// Byte-transparent, non-blocking reads (VMIN = VTIME = 0), a local line
// that receives, and no hang-up on close so DTR is not dropped behind the
// owner's back.
void makeRaw(Termios2 &termios);
// The line state part of `dcb`; leaves the raw mode settings alone. Returns
// EINVAL, changing nothing, for a rate of 0 or a byte size, parity or stop
// bits value outside the record's range.
int applyLineState(const Dcb &dcb, Termios2 &termios);

} // namespace serial
