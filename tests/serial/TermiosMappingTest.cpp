#include "serial/TermiosMapping_linux.h"

#include <gtest/gtest.h>
#include <termios.h>

namespace {

using serial::Dcb;
using serial::Termios2;

constexpr uint32_t kCbaud = 0010017;
constexpr uint32_t kBother = 0010000;

Dcb lineRecord(uint32_t baud = 9600, uint8_t byteSize = 8, uint8_t parity = serial::NOPARITY,
               uint8_t stopBits = serial::ONESTOPBIT)
{
    Dcb dcb;
    dcb.BaudRate = baud;
    dcb.Flags = serial::fBinary;
    dcb.ByteSize = byteSize;
    dcb.Parity = parity;
    dcb.StopBits = stopBits;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    return dcb;
}

Termios2 applied(const Dcb &dcb, Termios2 start = Termios2())
{
    EXPECT_EQ(serial::applyLineState(dcb, start), 0);
    return start;
}

TEST(TermiosMapping, EverySpeedGoesThroughBother)
{
    for (uint32_t baud : {110u, 9600u, 14400u, 56000u, 115200u}) {
        Termios2 start;
        start.c_cflag = B38400 | (B38400 << 16);
        const Termios2 t = applied(lineRecord(baud), start);
        EXPECT_EQ(t.c_cflag & kCbaud, kBother) << baud;
        EXPECT_EQ((t.c_cflag >> 16) & kCbaud, kBother) << baud;
        EXPECT_EQ(t.c_ospeed, baud);
        EXPECT_EQ(t.c_ispeed, baud);
    }
}

TEST(TermiosMapping, ByteSizeGivesCharacterSize)
{
    EXPECT_EQ(applied(lineRecord(9600, 5)).c_cflag & CSIZE, uint32_t(CS5));
    EXPECT_EQ(applied(lineRecord(9600, 6)).c_cflag & CSIZE, uint32_t(CS6));
    EXPECT_EQ(applied(lineRecord(9600, 7)).c_cflag & CSIZE, uint32_t(CS7));
    Termios2 start;
    start.c_cflag = CS5;
    EXPECT_EQ(applied(lineRecord(9600, 8), start).c_cflag & CSIZE, uint32_t(CS8));
}

TEST(TermiosMapping, ParityKinds)
{
    const uint32_t bits = PARENB | PARODD | CMSPAR;
    Termios2 start;
    start.c_cflag = bits;
    EXPECT_EQ(applied(lineRecord(9600, 8, serial::NOPARITY), start).c_cflag & bits, 0u);
    EXPECT_EQ(applied(lineRecord(9600, 8, serial::ODDPARITY)).c_cflag & bits,
              uint32_t(PARENB | PARODD));
    EXPECT_EQ(applied(lineRecord(9600, 8, serial::EVENPARITY), start).c_cflag & bits,
              uint32_t(PARENB));
    EXPECT_EQ(applied(lineRecord(9600, 8, serial::MARKPARITY)).c_cflag & bits,
              uint32_t(PARENB | PARODD | CMSPAR));
    EXPECT_EQ(applied(lineRecord(9600, 8, serial::SPACEPARITY), start).c_cflag & bits,
              uint32_t(PARENB | CMSPAR));
}

TEST(TermiosMapping, ParityCheckEnablesInputChecking)
{
    Dcb dcb = lineRecord(9600, 8, serial::EVENPARITY);
    EXPECT_EQ(applied(dcb).c_iflag & INPCK, 0u);
    dcb.Flags |= serial::fParity;
    EXPECT_NE(applied(dcb).c_iflag & INPCK, 0u);
}

TEST(TermiosMapping, StopBits)
{
    Termios2 start;
    start.c_cflag = CSTOPB;
    EXPECT_EQ(applied(lineRecord(9600, 8, 0, serial::ONESTOPBIT), start).c_cflag & CSTOPB, 0u);
    EXPECT_NE(applied(lineRecord(9600, 8, 0, serial::TWOSTOPBITS)).c_cflag & CSTOPB, 0u);
    // CSTOPB with five data bits is 1.5 stop bits on the UART; with more
    // data bits Linux has no 1.5 and the line keeps one stop bit.
    EXPECT_NE(applied(lineRecord(9600, 5, 0, serial::ONE5STOPBITS)).c_cflag & CSTOPB, 0u);
    EXPECT_EQ(applied(lineRecord(9600, 7, 0, serial::ONE5STOPBITS), start).c_cflag & CSTOPB, 0u);
}

TEST(TermiosMapping, HardwareFlowFromCtsOutputOrRtsHandshake)
{
    Dcb dcb = lineRecord();
    Termios2 start;
    start.c_cflag = CRTSCTS;
    EXPECT_EQ(applied(dcb, start).c_cflag & CRTSCTS, 0u);
    dcb.Flags |= serial::fOutxCtsFlow;
    EXPECT_NE(applied(dcb).c_cflag & CRTSCTS, 0u);
    dcb = lineRecord();
    dcb.Flags |= serial::RTS_CONTROL_HANDSHAKE << serial::fRtsControlShift;
    EXPECT_NE(applied(dcb).c_cflag & CRTSCTS, 0u);
    dcb = lineRecord();
    dcb.Flags |= serial::RTS_CONTROL_TOGGLE << serial::fRtsControlShift;
    EXPECT_EQ(applied(dcb).c_cflag & CRTSCTS, 0u);
    dcb = lineRecord();
    dcb.Flags |= serial::fOutxDsrFlow | serial::DTR_CONTROL_HANDSHAKE << serial::fDtrControlShift;
    EXPECT_EQ(applied(dcb).c_cflag & CRTSCTS, 0u) << "DSR/DTR flow has no Linux equivalent";
}

TEST(TermiosMapping, SoftwareFlowAndItsCharacters)
{
    Dcb dcb = lineRecord();
    Termios2 start;
    start.c_iflag = IXON | IXOFF;
    Termios2 t = applied(dcb, start);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);
    EXPECT_EQ(t.c_cc[VSTART], 0x11);
    EXPECT_EQ(t.c_cc[VSTOP], 0x13);
    dcb.Flags |= serial::fOutX;
    EXPECT_EQ(applied(dcb).c_iflag & (IXON | IXOFF), uint32_t(IXON));
    dcb.Flags = serial::fBinary | serial::fInX;
    EXPECT_EQ(applied(dcb).c_iflag & (IXON | IXOFF), uint32_t(IXOFF));
}

TEST(TermiosMapping, RefusesRecordsOutsideTheirRange)
{
    Termios2 start;
    start.c_cflag = CS7 | PARENB;
    start.c_ospeed = 4800;
    const Termios2 before = start;
    for (const Dcb &dcb : {lineRecord(0), lineRecord(9600, 4), lineRecord(9600, 9),
                           lineRecord(9600, 8, 5), lineRecord(9600, 8, 0, 3)}) {
        Termios2 t = start;
        EXPECT_EQ(serial::applyLineState(dcb, t), EINVAL);
        EXPECT_EQ(t.c_cflag, before.c_cflag);
        EXPECT_EQ(t.c_ospeed, before.c_ospeed);
    }
}

TEST(TermiosMapping, RawModeIsByteTransparentAndKeepsDtrOnClose)
{
    Termios2 t;
    t.c_iflag = ICRNL | INLCR | IGNCR | ISTRIP | BRKINT | IXON;
    t.c_oflag = OPOST | ONLCR;
    t.c_lflag = ICANON | ECHO | ISIG | IEXTEN | ECHOE;
    t.c_cflag = HUPCL | CS8;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 5;
    serial::makeRaw(t);
    EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | BRKINT), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_cflag & HUPCL, 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), uint32_t(CLOCAL | CREAD));
    EXPECT_EQ(t.c_cflag & CSIZE, uint32_t(CS8)) << "framing is the line state's business";
    EXPECT_EQ(t.c_iflag & IXON, uint32_t(IXON)) << "flow control is the line state's business";
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 0);
}

} // namespace
