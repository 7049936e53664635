#include "serial/CommApi.h"

#include "SerialTestSupport.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace {

using namespace std::chrono_literals;
using serial::CommTimeouts;
using serial::MAXDWORD;
using serial::Overlapped;
using Op = serial::TestLine::Op;

// Long enough for a loaded machine; only ever waited for in full on failure.
constexpr uint32_t kPatienceMs = 10000;

CommTimeouts timeouts(uint32_t interval, uint32_t readMultiplier, uint32_t readConstant,
                      uint32_t writeMultiplier = 0, uint32_t writeConstant = 0)
{
    CommTimeouts t;
    t.ReadIntervalTimeout = interval;
    t.ReadTotalTimeoutMultiplier = readMultiplier;
    t.ReadTotalTimeoutConstant = readConstant;
    t.WriteTotalTimeoutMultiplier = writeMultiplier;
    t.WriteTotalTimeoutConstant = writeConstant;
    return t;
}

class CommApiTest : public ::testing::Test
{
protected:
    RegisteredLine registered{QStringLiteral("COMMAPI")};
    serial::TestLine &line = registered.line();
    std::unique_ptr<serial::CommHandle> handle;

    void SetUp() override
    {
        int err = -1;
        handle = serial::createFile(registered.name(), err);
        ASSERT_TRUE(handle);
        ASSERT_EQ(err, 0);
    }

    void useTimeouts(const CommTimeouts &t)
    {
        ASSERT_EQ(serial::setCommTimeouts(handle.get(), t), 0);
    }

    // Starts a read that must go pending.
    void startPendingRead(char *buffer, uint32_t count, Overlapped &ov)
    {
        uint32_t done = 99;
        ASSERT_EQ(serial::readFile(handle.get(), buffer, count, done, ov),
                  serial::ERROR_IO_PENDING);
        EXPECT_EQ(done, 0u);
    }

    int collect(Overlapped &ov, uint32_t &done)
    {
        EXPECT_EQ(ov.event().wait(kPatienceMs), serial::WAIT_OBJECT_0);
        return serial::getOverlappedResult(handle.get(), ov, done, false);
    }
};

TEST_F(CommApiTest, ClosedHandleFailsWithEbadf)
{
    serial::CommHandle *none = nullptr;
    serial::Dcb dcb;
    serial::ComStat stat;
    uint32_t value = 0;
    char buffer[4];
    Overlapped ov;
    EXPECT_EQ(serial::setupComm(none, 1, 1), EBADF);
    EXPECT_EQ(serial::setCommState(none, dcb), EBADF);
    EXPECT_EQ(serial::setCommTimeouts(none, CommTimeouts()), EBADF);
    EXPECT_EQ(serial::clearCommError(none, value, stat), EBADF);
    EXPECT_EQ(serial::getCommModemStatus(none, value), EBADF);
    EXPECT_EQ(serial::escapeCommFunction(none, serial::SETDTR), EBADF);
    EXPECT_EQ(serial::purgeComm(none, serial::PURGE_RXCLEAR), EBADF);
    EXPECT_EQ(serial::readFile(none, buffer, 4, value, ov), EBADF);
    EXPECT_EQ(serial::writeFile(none, buffer, 4, value, ov), EBADF);
    EXPECT_EQ(serial::getOverlappedResult(none, ov, value, false), EBADF);
}

TEST_F(CommApiTest, CreateFileReportsTheOpenError)
{
    int err = 0;
    EXPECT_FALSE(serial::createFile(registered.name(), err)) << "the line is already open";
    EXPECT_EQ(err, EBUSY);
    handle.reset();
    line.failNext(Op::Open, ENODEV);
    EXPECT_FALSE(serial::createFile(registered.name(), err));
    EXPECT_EQ(err, ENODEV);
    EXPECT_FALSE(serial::createFile(QStringLiteral("/nonexistent/ttyX"), err));
    EXPECT_EQ(err, ENOENT);
}

TEST_F(CommApiTest, CallsReachTheDevice)
{
    line.pushInput("12345");
    uint32_t errors = 7;
    serial::ComStat stat;
    ASSERT_EQ(serial::clearCommError(handle.get(), errors, stat), 0);
    EXPECT_EQ(stat.cbInQue, 5u);
    EXPECT_EQ(errors, 0u);
    ASSERT_EQ(serial::escapeCommFunction(handle.get(), serial::SETRTS), 0);
    EXPECT_EQ(line.escapeCalls(), QVector<uint32_t>{serial::SETRTS});
    line.failNext(Op::GetModemStatus, EPROTO);
    uint32_t status = 0;
    EXPECT_EQ(serial::getCommModemStatus(handle.get(), status), EPROTO);
}

TEST_F(CommApiTest, ReadWithIntervalMaxReturnsAtOnceWithWhatIsThere)
{
    useTimeouts(timeouts(MAXDWORD, 0, 0));
    Overlapped ov;
    char buffer[10] = {};
    uint32_t done = 0;
    ASSERT_EQ(serial::readFile(handle.get(), buffer, 10, done, ov), 0);
    EXPECT_EQ(done, 0u);
    line.pushInput("abc");
    ASSERT_EQ(serial::readFile(handle.get(), buffer, 10, done, ov), 0);
    EXPECT_EQ(QByteArray(buffer, int(done)), "abc");
}

TEST_F(CommApiTest, ReadOfNothingSucceedsAtOnce)
{
    useTimeouts(timeouts(0, 0, 0));
    Overlapped ov;
    char buffer[1];
    uint32_t done = 5;
    EXPECT_EQ(serial::readFile(handle.get(), buffer, 0, done, ov), 0);
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(line.callCount(Op::Read), 0);
}

TEST_F(CommApiTest, PendingReadDeliversOnlyWhenCollected)
{
    useTimeouts(timeouts(0, 0, 0));
    line.pushInput("ab");
    Overlapped ov;
    char buffer[6] = "-----";
    startPendingRead(buffer, 5, ov);
    EXPECT_EQ(QByteArray(buffer), "-----") << "nothing is written behind the caller's back";
    uint32_t done = 0;
    EXPECT_EQ(serial::getOverlappedResult(handle.get(), ov, done, false),
              serial::ERROR_IO_INCOMPLETE);
    std::thread farEnd([&] {
        std::this_thread::sleep_for(20ms);
        line.pushInput("cdeXY");
    });
    ASSERT_EQ(collect(ov, done), 0);
    farEnd.join();
    EXPECT_EQ(done, 5u);
    EXPECT_EQ(QByteArray(buffer), "abcde");
    uint32_t errors = 0;
    serial::ComStat stat;
    serial::clearCommError(handle.get(), errors, stat);
    EXPECT_EQ(stat.cbInQue, 2u) << "a read takes no more than its count";
}

TEST_F(CommApiTest, WaitingGetOverlappedResultBlocksUntilTheEnd)
{
    useTimeouts(timeouts(0, 0, 0));
    Overlapped ov;
    char buffer[3] = {};
    startPendingRead(buffer, 3, ov);
    std::thread farEnd([&] {
        std::this_thread::sleep_for(20ms);
        line.pushInput("xyz");
    });
    uint32_t done = 0;
    EXPECT_EQ(serial::getOverlappedResult(handle.get(), ov, done, true), 0);
    farEnd.join();
    EXPECT_EQ(QByteArray(buffer, 3), "xyz");
}

TEST_F(CommApiTest, TotalReadTimeoutEndsTheReadWithWhatArrived)
{
    useTimeouts(timeouts(0, 10, 100)); // 10 x 10 + 100 = 200 ms
    line.pushInput("ab");
    Overlapped ov;
    char buffer[10] = {};
    const auto start = std::chrono::steady_clock::now();
    startPendingRead(buffer, 10, ov);
    uint32_t done = 0;
    ASSERT_EQ(collect(ov, done), 0) << "a read time-out is no failure";
    EXPECT_GE(std::chrono::steady_clock::now() - start, 190ms);
    EXPECT_EQ(QByteArray(buffer, int(done)), "ab");
}

TEST_F(CommApiTest, IntervalTimeoutStartsWithTheFirstByte)
{
    useTimeouts(timeouts(30, 0, 0));
    Overlapped ov;
    char buffer[10] = {};
    startPendingRead(buffer, 10, ov);
    EXPECT_EQ(ov.event().wait(150), serial::WAIT_TIMEOUT) << "no byte yet, so no interval";
    line.pushInput("q");
    uint32_t done = 0;
    ASSERT_EQ(collect(ov, done), 0);
    EXPECT_EQ(QByteArray(buffer, int(done)), "q");
}

TEST_F(CommApiTest, IntervalAndMultiplierMaxReturnWithTheFirstBytes)
{
    useTimeouts(timeouts(MAXDWORD, MAXDWORD, 5000));
    Overlapped ov;
    char buffer[10] = {};
    uint32_t done = 0;
    line.pushInput("now");
    ASSERT_EQ(serial::readFile(handle.get(), buffer, 10, done, ov), 0);
    EXPECT_EQ(QByteArray(buffer, int(done)), "now");

    Overlapped later;
    startPendingRead(buffer, 10, later);
    line.pushInput("xy");
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(collect(later, done), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 4000ms);
    EXPECT_EQ(QByteArray(buffer, int(done)), "xy");
}

TEST_F(CommApiTest, HeldWriteCompletesWhenReleased)
{
    useTimeouts(timeouts(MAXDWORD, 0, 0, 0, 0));
    line.setHoldWrites(true);
    Overlapped ov;
    QByteArray text("hello");
    uint32_t done = 0;
    ASSERT_EQ(serial::writeFile(handle.get(), text.constData(), 5, done, ov),
              serial::ERROR_IO_PENDING);
    text.fill('X'); // the caller's bytes were copied
    EXPECT_EQ(ov.event().wait(100), serial::WAIT_TIMEOUT) << "no limit when both are 0";
    line.setHoldWrites(false);
    ASSERT_EQ(collect(ov, done), 0);
    EXPECT_EQ(done, 5u);
    EXPECT_EQ(line.output(), "hello");
}

TEST_F(CommApiTest, WriteFailsAfterItsTotalTimeout)
{
    useTimeouts(timeouts(MAXDWORD, 0, 0, 20, 100)); // 20 x 4 + 100 = 180 ms
    line.setHoldWrites(true);
    Overlapped ov;
    uint32_t done = 0;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(serial::writeFile(handle.get(), "ping", 4, done, ov), serial::ERROR_IO_PENDING);
    EXPECT_EQ(collect(ov, done), ETIMEDOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 170ms);
    EXPECT_TRUE(line.output().isEmpty());
}

TEST_F(CommApiTest, DeviceFailuresOfTransfersPassThrough)
{
    Overlapped ov;
    char buffer[4];
    uint32_t done = 0;
    line.failNext(Op::Read, EPROTO);
    EXPECT_EQ(serial::readFile(handle.get(), buffer, 4, done, ov), EPROTO);
    line.failNext(Op::Write, ENOSPC);
    EXPECT_EQ(serial::writeFile(handle.get(), "ab", 2, done, ov), ENOSPC);
}

TEST_F(CommApiTest, PurgeAbortCancelsTheTransfersOfItsDirection)
{
    useTimeouts(timeouts(0, 0, 0));
    line.setHoldWrites(true);
    Overlapped reading;
    Overlapped writing;
    char buffer[4] = "---";
    uint32_t done = 0;
    startPendingRead(buffer, 3, reading);
    ASSERT_EQ(serial::writeFile(handle.get(), "out", 3, done, writing), serial::ERROR_IO_PENDING);

    ASSERT_EQ(serial::purgeComm(handle.get(), serial::PURGE_TXABORT), 0);
    EXPECT_EQ(collect(writing, done), ECANCELED);
    EXPECT_FALSE(reading.event().isSet());

    line.failNext(Op::Purge, EIO);
    EXPECT_EQ(serial::purgeComm(handle.get(), serial::PURGE_RXABORT), EIO);
    EXPECT_EQ(reading.event().wait(50), serial::WAIT_TIMEOUT) << "a failed purge cancels nothing";

    ASSERT_EQ(serial::purgeComm(handle.get(), serial::PURGE_RXABORT), 0);
    EXPECT_EQ(collect(reading, done), ECANCELED);
    EXPECT_EQ(QByteArray(buffer), "---");
}

TEST_F(CommApiTest, VanishedLineEndsAPendingReadWithEio)
{
    useTimeouts(timeouts(0, 0, 0));
    Overlapped ov;
    char buffer[4];
    startPendingRead(buffer, 4, ov);
    line.hangUp();
    uint32_t done = 0;
    EXPECT_EQ(collect(ov, done), EIO);
}

TEST_F(CommApiTest, ReleasingTheRecordOrTheHandleStopsTheTransfer)
{
    useTimeouts(timeouts(0, 0, 0));
    char buffer[4] = "---";
    {
        Overlapped ov;
        startPendingRead(buffer, 3, ov);
    }
    line.pushInput("abc");
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(QByteArray(buffer), "---");
    uint32_t errors = 0;
    serial::ComStat stat;
    serial::clearCommError(handle.get(), errors, stat);
    EXPECT_EQ(stat.cbInQue, 3u) << "the released read takes nothing any more";

    Overlapped ov;
    char other[4] = {};
    startPendingRead(other, 4, ov);
    serial::closeHandle(handle);
    EXPECT_FALSE(handle);
    EXPECT_TRUE(ov.event().isSet()) << "closing the handle ends its transfers";
    EXPECT_FALSE(line.isOpen());
}

TEST_F(CommApiTest, FailedTimeoutsKeepTheOldOnes)
{
    useTimeouts(timeouts(MAXDWORD, 0, 0));
    line.failNext(Op::SetCommTimeouts, EINVAL);
    EXPECT_EQ(serial::setCommTimeouts(handle.get(), timeouts(0, 0, 0)), EINVAL);
    Overlapped ov;
    char buffer[4];
    uint32_t done = 0;
    EXPECT_EQ(serial::readFile(handle.get(), buffer, 4, done, ov), 0)
        << "still the time-outs that return at once";
}

// A block of `size` bytes that differ along its length.
QByteArray numbered(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i * 7 + i / 256);
    return bytes;
}

TEST_F(CommApiTest, ReadAvailableAppendsEverythingWaitingAcrossSeveralReads)
{
    // Time-outs that would make readFile wait: readAvailable never does.
    useTimeouts(timeouts(0, 0, 0));
    const QByteArray input = numbered(150 * 1024);
    line.pushInput(input);
    QByteArray out("kept");
    uint32_t done = 0;
    ASSERT_EQ(serial::readAvailable(handle.get(), out, 1 << 20, done), 0);
    EXPECT_EQ(done, uint32_t(input.size()));
    EXPECT_EQ(out, "kept" + input);
    EXPECT_LE(line.callCount(Op::Read), 3) << "a few large reads, not one per byte";

    ASSERT_EQ(serial::readAvailable(handle.get(), out, 1 << 20, done), 0);
    EXPECT_EQ(done, 0u) << "nothing waiting returns at once";
    EXPECT_EQ(out.size(), 4 + input.size());
}

TEST_F(CommApiTest, ReadAvailableTakesAtMostItsLimitAndLeavesTheRest)
{
    line.pushInput("0123456789");
    QByteArray out;
    uint32_t done = 0;
    ASSERT_EQ(serial::readAvailable(handle.get(), out, 4, done), 0);
    EXPECT_EQ(done, 4u);
    EXPECT_EQ(out, "0123");
    ASSERT_EQ(serial::readAvailable(handle.get(), out, 0, done), 0);
    EXPECT_EQ(done, 0u);
    ASSERT_EQ(serial::readAvailable(handle.get(), out, 100, done), 0);
    EXPECT_EQ(done, 6u);
    EXPECT_EQ(out, "0123456789");
}

TEST_F(CommApiTest, ReadAvailableWaitsItsTurnBehindAPendingRead)
{
    useTimeouts(timeouts(0, 0, 0));
    Overlapped ov;
    char buffer[3] = {};
    startPendingRead(buffer, 3, ov);
    QByteArray out;
    uint32_t done = 0;
    EXPECT_EQ(serial::readAvailable(handle.get(), out, 100, done), EBUSY);
    EXPECT_TRUE(out.isEmpty());
    line.pushInput("abcde");
    ASSERT_EQ(collect(ov, done), 0);
    EXPECT_EQ(QByteArray(buffer, 3), "abc");
    ASSERT_EQ(serial::readAvailable(handle.get(), out, 100, done), 0);
    EXPECT_EQ(out, "de");
}

TEST_F(CommApiTest, ReadAvailableReportsFailuresAndAClosedHandle)
{
    QByteArray out;
    uint32_t done = 0;
    line.failNext(Op::Read, EPROTO);
    EXPECT_EQ(serial::readAvailable(handle.get(), out, 100, done), EPROTO);
    line.hangUp();
    EXPECT_EQ(serial::readAvailable(handle.get(), out, 100, done), EIO);
    EXPECT_EQ(serial::readAvailable(nullptr, out, 100, done), EBADF);
    EXPECT_TRUE(out.isEmpty());
}

// Fails every read after its first.
class DeviceThatFailsAfterOneRead : public serial::TestDevice
{
public:
    using TestDevice::TestDevice;
    int read(char *buffer, uint32_t size, uint32_t &done) override
    {
        if (m_reads++ > 0) {
            done = 0;
            return EIO;
        }
        return TestDevice::read(buffer, size, done);
    }

private:
    int m_reads = 0;
};

TEST_F(CommApiTest, ReadAvailableHandsOutWhatItReadBeforeAFailure)
{
    const QString name = QStringLiteral("COMMAPI-FAILS-LATER");
    const auto failing = std::make_shared<serial::TestLine>();
    serial::registerDevice(
        name, [failing] { return std::make_unique<DeviceThatFailsAfterOneRead>(failing); });
    int err = -1;
    std::unique_ptr<serial::CommHandle> failingHandle = serial::createFile(name, err);
    serial::unregisterDevice(name);
    ASSERT_TRUE(failingHandle);
    const QByteArray input = numbered(100 * 1024); // more than one read takes
    failing->pushInput(input);
    QByteArray out;
    uint32_t done = 0;
    ASSERT_EQ(serial::readAvailable(failingHandle.get(), out, 1 << 20, done), 0);
    ASSERT_GT(done, 0u);
    EXPECT_EQ(out, input.left(int(done)));
    EXPECT_EQ(serial::readAvailable(failingHandle.get(), out, 1 << 20, done), EIO);
    EXPECT_EQ(done, 0u);
}

} // namespace
