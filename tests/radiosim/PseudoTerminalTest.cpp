#include "radiosim/PseudoTerminal_linux.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>

using radiosim::PseudoTerminal;
using serial::UniqueFd;

namespace {

UniqueFd openClient(const PseudoTerminal &terminal)
{
    return UniqueFd(::open(terminal.slavePath().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK));
}

int waitingForClient(const UniqueFd &client)
{
    int count = 0;
    return ::ioctl(client.get(), FIONREAD, &count) == 0 ? count : -1;
}

} // namespace

TEST(PseudoTerminal, HangsUpExactlyWhileNoClientHasTheDeviceOpen)
{
    PseudoTerminal terminal;
    EXPECT_TRUE(terminal.slavePath().startsWith("/dev/pts/"));
    EXPECT_TRUE(terminal.hungUp());
    {
        const UniqueFd client = openClient(terminal);
        ASSERT_TRUE(client.valid());
        EXPECT_FALSE(terminal.hungUp());
    }
    EXPECT_TRUE(terminal.hungUp());
}

TEST(PseudoTerminal, ClientSideIsRawBothWays)
{
    PseudoTerminal terminal;
    const UniqueFd client = openClient(terminal);
    ASSERT_TRUE(client.valid());
    termios settings{};
    ASSERT_EQ(tcgetattr(client.get(), &settings), 0);
    EXPECT_FALSE(settings.c_lflag & (ECHO | ICANON | ISIG));
    EXPECT_FALSE(settings.c_iflag & (ICRNL | IXON));
    EXPECT_FALSE(settings.c_oflag & OPOST);

    const QByteArray bytes("AT\r\n\x1A\x03\x11", 7);
    ASSERT_EQ(::write(client.get(), bytes.constData(), size_t(bytes.size())), 7);
    pollfd master{terminal.masterFd(), POLLIN, 0};
    ASSERT_EQ(::poll(&master, 1, 5000), 1);
    char buffer[64];
    const ssize_t count = ::read(terminal.masterFd(), buffer, sizeof buffer);
    EXPECT_EQ(QByteArray(buffer, int(count)), bytes);
}

TEST(PseudoTerminal, LeftoversOfADepartedClientCanBeDiscarded)
{
    PseudoTerminal terminal;
    {
        const UniqueFd client = openClient(terminal);
        ASSERT_EQ(::write(terminal.masterFd(), "stale", 5), 5);
    }
    terminal.discardUnreadOutput();
    const UniqueFd next = openClient(terminal);
    ASSERT_TRUE(next.valid());
    EXPECT_EQ(waitingForClient(next), 0);
    ASSERT_EQ(::write(terminal.masterFd(), "fresh", 5), 5);
    pollfd fd{next.get(), POLLIN, 0};
    ASSERT_EQ(::poll(&fd, 1, 5000), 1);
    EXPECT_EQ(waitingForClient(next), 5);
}
