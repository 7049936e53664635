#include "serial/TermiosMapping_linux.h"
#include "serial/TtyDevice_linux.h"

#include "SerialTestSupport.h"

#include <QTemporaryFile>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>

namespace {

using serial::TtyDevice;

class TtyDeviceTest : public ::testing::Test
{
protected:
    PtyPair pty;
    std::unique_ptr<TtyDevice> opened = std::make_unique<TtyDevice>();
    TtyDevice &device = *opened;

    void SetUp() override { ASSERT_EQ(device.open(pty.path()), 0); }

    // The tty's settings, seen through the descriptor openpty gave.
    serial::Termios2 lineSettings()
    {
        serial::Termios2 t;
        EXPECT_EQ(serial::readTermios2(pty.slave(), t), 0);
        return t;
    }

    QByteArray readMaster()
    {
        QByteArray all;
        char chunk[256];
        pollfd target{pty.master(), POLLIN, 0};
        while (::poll(&target, 1, 200) == 1) {
            const ssize_t n = ::read(pty.master(), chunk, sizeof chunk);
            if (n <= 0)
                break;
            all.append(chunk, int(n));
        }
        return all;
    }
};

TEST_F(TtyDeviceTest, OpensInRawModeThatKeepsDtrOnClose)
{
    const serial::Termios2 t = lineSettings();
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | BRKINT), 0u);
    EXPECT_EQ(t.c_cflag & HUPCL, 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), uint32_t(CLOCAL | CREAD));
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 0);
}

TEST_F(TtyDeviceTest, SecondOpenOfTheSameDeviceFailsUntilTheFirstEnds)
{
    {
        TtyDevice second;
        const int err = second.open(pty.path());
        EXPECT_TRUE(err == EWOULDBLOCK || err == EBUSY) << "errno " << err;
    }
    opened.reset();
    TtyDevice other;
    EXPECT_EQ(other.open(pty.path()), 0);
}

TEST_F(TtyDeviceTest, OpenFailuresGiveTheErrno)
{
    TtyDevice missing;
    EXPECT_EQ(missing.open(QStringLiteral("/dev/does-not-exist-corvane")), ENOENT);
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    TtyDevice notATty;
    EXPECT_EQ(notATty.open(file.fileName()), ENOTTY);
}

TEST_F(TtyDeviceTest, BytesTravelBothWaysUntranslated)
{
    uint32_t done = 0;
    ASSERT_EQ(device.write("AT\r\n\x1A", 5, done), 0);
    EXPECT_EQ(done, 5u);
    EXPECT_EQ(readMaster(), QByteArray("AT\r\n\x1A"));

    ASSERT_EQ(::write(pty.master(), "OK\r", 3), 3);
    pollfd target{device.readiness(serial::Direction::Input).fd, POLLIN, 0};
    ASSERT_EQ(::poll(&target, 1, 5000), 1);
    uint32_t errors = 0;
    serial::ComStat stat;
    ASSERT_EQ(device.clearCommError(errors, stat), 0);
    EXPECT_EQ(stat.cbInQue, 3u) << "raw mode counts bytes, not whole lines";
    char buffer[8];
    ASSERT_EQ(device.read(buffer, 8, done), 0);
    EXPECT_EQ(QByteArray(buffer, int(done)), QByteArray("OK\r"));
}

TEST_F(TtyDeviceTest, EmptyLineReadsNothingWithoutFailing)
{
    char buffer[4];
    uint32_t done = 7;
    EXPECT_EQ(device.read(buffer, 4, done), 0);
    EXPECT_EQ(done, 0u);
}

TEST_F(TtyDeviceTest, PseudoTerminalWithoutModemLinesReadsCtsUp)
{
    uint32_t status = 0;
    ASSERT_EQ(device.getCommModemStatus(status), 0);
    EXPECT_EQ(status, serial::MS_CTS_ON);
    for (uint32_t code : {serial::SETDTR, serial::CLRDTR, serial::SETRTS, serial::CLRRTS})
        EXPECT_EQ(device.escapeCommFunction(code), 0) << code;
    EXPECT_EQ(device.escapeCommFunction(7), EINVAL);
}

TEST_F(TtyDeviceTest, VanishedFarEndFailsWithEio)
{
    pty.closeMaster();
    char buffer[4];
    uint32_t done = 0;
    uint32_t status = 0;
    uint32_t errors = 0;
    serial::ComStat stat;
    EXPECT_EQ(device.read(buffer, 4, done), EIO) << "not an empty success";
    EXPECT_EQ(device.write("x", 1, done), EIO);
    EXPECT_EQ(device.clearCommError(errors, stat), EIO);
    EXPECT_EQ(device.getCommModemStatus(status), EIO);
    EXPECT_EQ(device.setupComm(1024, 1024), EIO);
    EXPECT_EQ(device.setCommTimeouts(serial::CommTimeouts()), EIO);
    pollfd target{device.readiness(serial::Direction::Input).fd, POLLIN, 0};
    EXPECT_EQ(::poll(&target, 1, 0), 1);
    EXPECT_NE(target.revents & POLLHUP, 0);
}

TEST_F(TtyDeviceTest, LineStateReachesTheTty)
{
    serial::Dcb dcb;
    dcb.BaudRate = 56000;
    dcb.ByteSize = 8;
    dcb.Parity = serial::MARKPARITY;
    dcb.StopBits = serial::TWOSTOPBITS;
    dcb.Flags = serial::fBinary | serial::fOutxCtsFlow | serial::fOutX | serial::fInX |
                serial::DTR_CONTROL_ENABLE << serial::fDtrControlShift;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    ASSERT_EQ(device.setCommState(dcb), 0);
    serial::Termios2 t = lineSettings();
    EXPECT_EQ(t.c_ospeed, 56000u);
    EXPECT_EQ(t.c_ispeed, 56000u);
    EXPECT_NE(t.c_cflag & CSTOPB, 0u);
    EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
    // A pseudo-terminal forces CS8 and clears PARENB; the stick bits stay.
    EXPECT_EQ(t.c_cflag & (PARODD | CMSPAR), uint32_t(PARODD | CMSPAR));
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), uint32_t(IXON | IXOFF));
    EXPECT_EQ(t.c_lflag & ICANON, 0u) << "raw mode survives a new line state";

    dcb.BaudRate = 14400;
    dcb.Parity = serial::NOPARITY;
    dcb.StopBits = serial::ONESTOPBIT;
    dcb.Flags = serial::fBinary;
    ASSERT_EQ(device.setCommState(dcb), 0);
    t = lineSettings();
    EXPECT_EQ(t.c_ospeed, 14400u);
    EXPECT_EQ(t.c_cflag & (CSTOPB | CRTSCTS | PARODD | CMSPAR), 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);

    dcb.BaudRate = 0;
    EXPECT_EQ(device.setCommState(dcb), EINVAL);
    EXPECT_EQ(lineSettings().c_ospeed, 14400u);
}

TEST_F(TtyDeviceTest, PurgeDiscardsReceivedInput)
{
    ASSERT_EQ(::write(pty.master(), "stale", 5), 5);
    pollfd target{device.readiness(serial::Direction::Input).fd, POLLIN, 0};
    ASSERT_EQ(::poll(&target, 1, 5000), 1);
    ASSERT_EQ(device.purgeComm(serial::PURGE_TXABORT | serial::PURGE_RXABORT), 0);
    uint32_t errors = 0;
    serial::ComStat stat;
    device.clearCommError(errors, stat);
    EXPECT_EQ(stat.cbInQue, 5u) << "the abort bits leave the queues alone";
    ASSERT_EQ(device.purgeComm(serial::PURGE_RXCLEAR | serial::PURGE_TXCLEAR), 0);
    device.clearCommError(errors, stat);
    EXPECT_EQ(stat.cbInQue, 0u);
}

} // namespace
