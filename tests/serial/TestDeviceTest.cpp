#include "serial/TestDevice.h"

#include <gtest/gtest.h>
#include <poll.h>

namespace {

using serial::TestDevice;
using serial::TestLine;
using Op = TestLine::Op;

bool pollsReady(const serial::PollTarget &target)
{
    pollfd fd{target.fd, target.events, 0};
    return ::poll(&fd, 1, 0) == 1;
}

class TestDeviceTest : public ::testing::Test
{
protected:
    std::shared_ptr<TestLine> line = std::make_shared<TestLine>();
    TestDevice device{line};

    void SetUp() override { ASSERT_EQ(device.open(QStringLiteral("ANY")), 0); }
};

TEST_F(TestDeviceTest, OpenIsExclusiveAndEndsWithTheDevice)
{
    EXPECT_TRUE(line->isOpen());
    EXPECT_EQ(line->openCount(), 1);
    {
        TestDevice second(line);
        EXPECT_EQ(second.open(QStringLiteral("ANY")), EBUSY);
    }
    EXPECT_TRUE(line->isOpen()) << "a refused open must not close the line";
    {
        auto other = std::make_shared<TestLine>();
        TestDevice third(other);
        EXPECT_EQ(third.open(QStringLiteral("ANY")), 0);
        EXPECT_TRUE(other->isOpen());
    }
    EXPECT_EQ(line->openCount(), 1);
}

TEST_F(TestDeviceTest, InputIsReadInOrderAndCounted)
{
    line->pushInput("hello ");
    line->pushInput("world");
    uint32_t errors = 0;
    serial::ComStat stat;
    ASSERT_EQ(device.clearCommError(errors, stat), 0);
    EXPECT_EQ(stat.cbInQue, 11u);
    char buffer[8];
    uint32_t done = 0;
    ASSERT_EQ(device.read(buffer, 8, done), 0);
    EXPECT_EQ(QByteArray(buffer, int(done)), "hello wo");
    ASSERT_EQ(device.read(buffer, 8, done), 0);
    EXPECT_EQ(QByteArray(buffer, int(done)), "rld");
    ASSERT_EQ(device.read(buffer, 8, done), 0);
    EXPECT_EQ(done, 0u);
}

TEST_F(TestDeviceTest, ReadinessFollowsInputAndHeldWrites)
{
    const serial::PollTarget input = device.readiness(serial::Direction::Input);
    const serial::PollTarget output = device.readiness(serial::Direction::Output);
    EXPECT_FALSE(pollsReady(input));
    EXPECT_TRUE(pollsReady(output));
    line->pushInput("x");
    EXPECT_TRUE(pollsReady(input));
    char c;
    uint32_t done = 0;
    device.read(&c, 1, done);
    EXPECT_FALSE(pollsReady(input));
    line->setHoldWrites(true);
    EXPECT_FALSE(pollsReady(output));
    ASSERT_EQ(device.write("ab", 2, done), 0);
    EXPECT_EQ(done, 0u);
    EXPECT_TRUE(line->output().isEmpty());
    line->setHoldWrites(false);
    EXPECT_TRUE(pollsReady(output));
}

TEST_F(TestDeviceTest, OutputIsCapturedAndHandedToTheHook)
{
    QByteArray hooked;
    line->setWriteHook([&](const QByteArray &block) {
        hooked += block;
        line->pushInput("OK"); // the far end may answer from inside the hook
    });
    uint32_t done = 0;
    ASSERT_EQ(device.write("AT\r", 3, done), 0);
    EXPECT_EQ(done, 3u);
    ASSERT_EQ(device.write("ATE0\r", 5, done), 0);
    EXPECT_EQ(hooked, "AT\rATE0\r");
    EXPECT_EQ(line->output(), "AT\rATE0\r");
    EXPECT_EQ(line->takeOutput(), "AT\rATE0\r");
    EXPECT_TRUE(line->output().isEmpty());
    serial::ComStat stat;
    uint32_t errors = 0;
    device.clearCommError(errors, stat);
    EXPECT_EQ(stat.cbInQue, 4u);
}

TEST_F(TestDeviceTest, AFarEndThatTakesTheOutputLeavesNoRecordOfIt)
{
    QByteArray hooked;
    line->setWriteHook([&](const QByteArray &block) { hooked += block; });
    line->setKeepOutput(false);
    uint32_t done = 0;
    ASSERT_EQ(device.write("AT\r", 3, done), 0);
    EXPECT_EQ(done, 3u);
    EXPECT_EQ(hooked, "AT\r");
    EXPECT_TRUE(line->output().isEmpty());
    line->setKeepOutput(true);
    ASSERT_EQ(device.write("ATE0\r", 5, done), 0);
    EXPECT_EQ(line->output(), "ATE0\r");
}

TEST_F(TestDeviceTest, SignalsAreRecordedInOrder)
{
    line->setCts(false);
    uint32_t status = 0xFFFF;
    ASSERT_EQ(device.getCommModemStatus(status), 0);
    EXPECT_EQ(status & serial::MS_CTS_ON, 0u);
    line->setCts(true);
    ASSERT_EQ(device.getCommModemStatus(status), 0);
    EXPECT_NE(status & serial::MS_CTS_ON, 0u);

    EXPECT_EQ(device.escapeCommFunction(serial::SETDTR), 0);
    EXPECT_EQ(device.escapeCommFunction(serial::SETRTS), 0);
    EXPECT_TRUE(line->dtr());
    EXPECT_TRUE(line->rts());
    EXPECT_EQ(device.escapeCommFunction(serial::CLRRTS), 0);
    EXPECT_EQ(device.escapeCommFunction(serial::CLRDTR), 0);
    EXPECT_EQ(device.escapeCommFunction(9), EINVAL);
    EXPECT_EQ(line->escapeCalls(), (QVector<uint32_t>{5, 3, 4, 6}));
    EXPECT_FALSE(line->dtr());
    EXPECT_FALSE(line->rts());
}

TEST_F(TestDeviceTest, RecordsTheLastSettings)
{
    serial::Dcb dcb;
    dcb.BaudRate = 14400;
    dcb.XonLim = 77;
    dcb.Flags = serial::DTR_CONTROL_ENABLE << serial::fDtrControlShift;
    serial::CommTimeouts timeouts;
    timeouts.ReadIntervalTimeout = 12;
    ASSERT_EQ(device.setupComm(100, 200), 0);
    ASSERT_EQ(device.setCommState(dcb), 0);
    ASSERT_EQ(device.setCommTimeouts(timeouts), 0);
    EXPECT_EQ(line->lastInQueue(), 100u);
    EXPECT_EQ(line->lastOutQueue(), 200u);
    EXPECT_EQ(line->lastDcb().BaudRate, 14400u);
    EXPECT_EQ(line->lastDcb().XonLim, 77);
    EXPECT_EQ(line->lastTimeouts().ReadIntervalTimeout, 12u);
    EXPECT_TRUE(line->dtr()) << "DTR control enable raises DTR";
    EXPECT_TRUE(line->escapeCalls().isEmpty());
}

TEST_F(TestDeviceTest, PurgeClearsInputOnlyWhenAsked)
{
    line->pushInput("abc");
    ASSERT_EQ(device.purgeComm(serial::PURGE_TXABORT | serial::PURGE_RXABORT), 0);
    EXPECT_EQ(line->lastPurge(), 3u);
    serial::ComStat stat;
    uint32_t errors = 0;
    device.clearCommError(errors, stat);
    EXPECT_EQ(stat.cbInQue, 3u);
    ASSERT_EQ(device.purgeComm(serial::PURGE_RXCLEAR), 0);
    device.clearCommError(errors, stat);
    EXPECT_EQ(stat.cbInQue, 0u);
}

TEST_F(TestDeviceTest, FailNextFailsOnceWithTheChosenCode)
{
    line->failNext(Op::Read, EPROTO);
    char c;
    uint32_t done = 0;
    EXPECT_EQ(device.read(&c, 1, done), EPROTO);
    EXPECT_EQ(device.read(&c, 1, done), 0);
    EXPECT_EQ(device.write("x", 1, done), 0) << "only the chosen operation fails";
}

TEST_F(TestDeviceTest, SetFailureLastsUntilCleared)
{
    line->setFailure(Op::Escape, EPERM);
    EXPECT_EQ(device.escapeCommFunction(serial::SETDTR), EPERM);
    EXPECT_EQ(device.escapeCommFunction(serial::SETDTR), EPERM);
    EXPECT_TRUE(line->escapeCalls().isEmpty()) << "a failed call changes nothing";
    line->setFailure(Op::Escape, 0);
    EXPECT_EQ(device.escapeCommFunction(serial::SETDTR), 0);
}

TEST_F(TestDeviceTest, CountsEveryCallPerOperation)
{
    const int before = line->totalCallCount();
    EXPECT_EQ(line->callCount(Op::Open), 1);
    uint32_t status = 0;
    device.getCommModemStatus(status);
    device.getCommModemStatus(status);
    line->failNext(Op::Purge, EIO);
    device.purgeComm(0);
    EXPECT_EQ(line->callCount(Op::GetModemStatus), 2);
    EXPECT_EQ(line->callCount(Op::Purge), 1) << "failed calls count as well";
    EXPECT_EQ(line->callCount(Op::Write), 0);
    EXPECT_EQ(line->totalCallCount(), before + 3);
}

TEST_F(TestDeviceTest, HangUpFailsEveryLaterCallWithEio)
{
    line->pushInput("left over");
    line->hangUp();
    EXPECT_TRUE(pollsReady(device.readiness(serial::Direction::Input)))
        << "waiters must wake to learn that the line is gone";
    char c;
    uint32_t done = 0;
    uint32_t status = 0;
    EXPECT_EQ(device.read(&c, 1, done), EIO);
    EXPECT_EQ(device.write("x", 1, done), EIO);
    EXPECT_EQ(device.getCommModemStatus(status), EIO);
    EXPECT_EQ(device.escapeCommFunction(serial::SETRTS), EIO);
    EXPECT_EQ(device.purgeComm(serial::PURGE_RXCLEAR), EIO);
    EXPECT_EQ(device.setCommState(serial::Dcb()), EIO);
}

} // namespace
