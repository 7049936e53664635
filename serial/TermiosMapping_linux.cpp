#include "serial/TermiosMapping_linux.h"

#include "serial/Syscall_linux.h"

#include <cerrno>
#include <sys/ioctl.h>
#include <termios.h>

namespace serial {

namespace {

// Kernel values from <asm/termbits.h> (see the header).
constexpr uint32_t kCbaud = 0010017;
constexpr uint32_t kBother = 0010000;
constexpr int kIbshift = 16;
constexpr unsigned long kTcgets2 = _IOR('T', 0x2A, Termios2);
constexpr unsigned long kTcsets2 = _IOW('T', 0x2B, Termios2);

static_assert(sizeof(Termios2) == 44, "termios2 has the kernel's layout");

uint32_t characterSize(uint8_t byteSize)
{
    switch (byteSize) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
}

uint32_t parityBits(uint8_t parity)
{
    switch (parity) {
    case ODDPARITY:
        return PARENB | PARODD;
    case EVENPARITY:
        return PARENB;
    case MARKPARITY:
        return PARENB | CMSPAR | PARODD;
    case SPACEPARITY:
        return PARENB | CMSPAR;
    default:
        return 0;
    }
}

bool twoStopBits(const Dcb &dcb)
{
    return dcb.StopBits == TWOSTOPBITS || (dcb.StopBits == ONE5STOPBITS && dcb.ByteSize == 5);
}

} // namespace

int readTermios2(int fd, Termios2 &termios)
{
    return retryOnEintr([&] { return ::ioctl(fd, kTcgets2, &termios); }) == 0 ? 0 : errno;
}

int writeTermios2(int fd, const Termios2 &termios)
{
    return retryOnEintr([&] { return ::ioctl(fd, kTcsets2, &termios); }) == 0 ? 0 : errno;
}

void makeRaw(Termios2 &termios)
{
    termios.c_iflag &= ~uint32_t(ICRNL | INLCR | IGNCR | ISTRIP | BRKINT | IGNBRK | PARMRK | IXANY);
    termios.c_oflag &= ~uint32_t(OPOST);
    termios.c_lflag &= ~uint32_t(ICANON | ECHO | ECHONL | ISIG | IEXTEN);
    termios.c_cflag &= ~uint32_t(HUPCL);
    termios.c_cflag |= CLOCAL | CREAD;
    termios.c_cc[VMIN] = 0;
    termios.c_cc[VTIME] = 0;
}

int applyLineState(const Dcb &dcb, Termios2 &termios)
{
    if (dcb.BaudRate == 0 || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > SPACEPARITY ||
        dcb.StopBits > TWOSTOPBITS)
        return EINVAL;
    termios.c_cflag &= ~(kCbaud | (kCbaud << kIbshift));
    termios.c_cflag |= kBother | (kBother << kIbshift);
    termios.c_ispeed = dcb.BaudRate;
    termios.c_ospeed = dcb.BaudRate;

    termios.c_cflag &= ~uint32_t(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    termios.c_cflag |= characterSize(dcb.ByteSize) | parityBits(dcb.Parity);
    if (twoStopBits(dcb))
        termios.c_cflag |= CSTOPB;
    if ((dcb.Flags & fOutxCtsFlow) || rtsControl(dcb) == RTS_CONTROL_HANDSHAKE)
        termios.c_cflag |= CRTSCTS;

    termios.c_iflag &= ~uint32_t(INPCK | IXON | IXOFF);
    if (dcb.Flags & fParity)
        termios.c_iflag |= INPCK;
    if (dcb.Flags & fOutX)
        termios.c_iflag |= IXON;
    if (dcb.Flags & fInX)
        termios.c_iflag |= IXOFF;
    termios.c_cc[VSTART] = dcb.XonChar;
    termios.c_cc[VSTOP] = dcb.XoffChar;
    return 0;
}

} // namespace serial
