#include "serial/Comms.h"
#include "serial/OpenFailure.h"
#include "serial/TermiosMapping_linux.h"

#include "ComPortTestSupport.h"
#include "SerialTestSupport.h"

#include <QRegularExpression>
#include <QTest>
#include <atomic>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>

namespace {

using namespace std::chrono_literals;
using Op = serial::TestLine::Op;

// ---- The port on a pseudo-terminal: the test is the far end. ----

class ComPortOnPty : public ::testing::Test
{
protected:
    PtyPair pty;
    OpenCloseLog log; // outlives the port, whose destruction reports a close
    TComPort port;

    void SetUp() override
    {
        port.setDevicePath(pty.path());
        log.attach(port);
    }

    void farEndWrite(const QByteArray &bytes)
    {
        ASSERT_EQ(::write(pty.master(), bytes.constData(), size_t(bytes.size())),
                  ssize_t(bytes.size()));
    }

    // Reads what the port wrote until `count` bytes arrived or time ran out.
    QByteArray farEndRead(int count)
    {
        QByteArray all;
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        char chunk[65536];
        while (all.size() < count && std::chrono::steady_clock::now() < deadline) {
            pollfd target{pty.master(), POLLIN, 0};
            if (::poll(&target, 1, 100) != 1)
                continue;
            const ssize_t n = ::read(pty.master(), chunk, sizeof chunk);
            if (n > 0)
                all.append(chunk, int(n));
        }
        return all;
    }

    void withoutWriteLimit()
    {
        port.Timeouts()->setWriteTotalMultiplier(0);
        port.Timeouts()->setWriteTotalConstant(0);
    }
};

TEST_F(ComPortOnPty, BytesTravelBothWays)
{
    port.Open();
    ASSERT_TRUE(port.Connected());
    EXPECT_EQ(port.WriteStr("AT\r", true), 3);
    EXPECT_EQ(farEndRead(3), QByteArray("AT\r"));

    EXPECT_EQ(port.InputCount(), 0);
    farEndWrite("\r\nOK\r\n");
    ASSERT_EQ(waitForInput(port, 6), 6);
    QByteArray received;
    EXPECT_EQ(port.ReadStr(received, port.InputCount(), true), 6);
    EXPECT_EQ(received, QByteArray("\r\nOK\r\n"));
    EXPECT_EQ(port.InputCount(), 0);

    QByteArray all8bit;
    for (int i = 0; i < 256; ++i)
        all8bit.append(char(i));
    EXPECT_EQ(port.WriteStr(all8bit, true), 256);
    EXPECT_EQ(farEndRead(256), all8bit) << "every octet passes unchanged";
}

TEST_F(ComPortOnPty, ReadTakesWhatIsThereAndKeepsTheAskedLength)
{
    port.Open();
    farEndWrite("abc");
    ASSERT_EQ(waitForInput(port, 3), 3);
    QByteArray received;
    EXPECT_EQ(port.ReadStr(received, 10, true), 3);
    EXPECT_EQ(received.size(), 10);
    EXPECT_EQ(received.left(3), QByteArray("abc"));
    EXPECT_EQ(port.ReadStr(received, 10, true), 0) << "nothing more to read returns at once";
}

TEST_F(ComPortOnPty, ReadAvailableTakesWhatArrivedAndNeverWaits)
{
    // Time-outs under which ReadStr waits for its whole count.
    port.Timeouts()->setReadInterval(0);
    port.Open();
    QByteArray received("kept:");
    EXPECT_EQ(port.ReadAvailable(received, 100), 0);
    farEndWrite("abc");
    ASSERT_EQ(waitForInput(port, 3), 3);
    EXPECT_EQ(port.ReadAvailable(received, 100), 3);
    EXPECT_EQ(received, QByteArray("kept:abc"));
    EXPECT_EQ(port.InputCount(), 0);
    EXPECT_EQ(port.ReadAvailable(received, 100), 0);
    EXPECT_EQ(received, QByteArray("kept:abc"));
}

// Writes `total` numbered bytes into the far end as fast as the port takes
// them, on a thread of its own.
class FarEndStream
{
public:
    FarEndStream(int master, int total) : m_bytes(total, '\0')
    {
        for (int i = 0; i < total; ++i)
            m_bytes[i] = char(i % 251);
        m_thread = std::thread([this, master] {
            int sent = 0;
            while (sent < m_bytes.size() && !m_failed) {
                pollfd target{master, POLLOUT, 0};
                if (::poll(&target, 1, 100) < 0 && errno != EINTR)
                    m_failed = true;
                const ssize_t n = ::write(master, m_bytes.constData() + sent,
                                          size_t(std::min<qsizetype>(m_bytes.size() - sent, 4096)));
                if (n > 0)
                    sent += int(n);
                else if (n < 0 && errno != EAGAIN && errno != EINTR)
                    m_failed = true;
            }
        });
    }
    ~FarEndStream()
    {
        m_failed = true; // ends a writer that is still going
        m_thread.join();
    }
    FarEndStream(const FarEndStream &) = delete;
    FarEndStream &operator=(const FarEndStream &) = delete;

    const QByteArray &bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
    std::atomic<bool> m_failed{false};
    std::thread m_thread;
};

enum class RxReading { ReadAvailable, InputCountThenReadStr };

class StreamOnPty : public ComPortOnPty, public ::testing::WithParamInterface<RxReading>
{
};

// A queue that is read and refilled to the same count between two looks of
// the event thread must still be reported; otherwise input stalls.
TEST_P(StreamOnPty, ContinuousInputReachesOnRxCharWholeAndInOrder)
{
    port.Open();
    QByteArray received;
    port.OnRxChar = [&](QObject *, int) {
        if (GetParam() == RxReading::ReadAvailable) {
            port.ReadAvailable(received, 1 << 16);
            return;
        }
        QByteArray chunk;
        const int got = port.ReadStr(chunk, port.InputCount(), true);
        received.append(chunk.left(got));
    };
    const int total = 1 << 20;
    FarEndStream farEnd(pty.master(), total);
    EXPECT_TRUE(QTest::qWaitFor([&] { return received.size() >= total; }, 60000))
        << received.size() << " of " << total << " bytes arrived";
    EXPECT_TRUE(received == farEnd.bytes()) << "bytes lost, doubled or reordered";
    port.OnRxChar = nullptr;
}

INSTANTIATE_TEST_SUITE_P(Readers, StreamOnPty,
                         ::testing::Values(RxReading::ReadAvailable,
                                           RxReading::InputCountThenReadStr));

TEST_F(ComPortOnPty, OpenLeavesTheLineRawAtTheStoredSettings)
{
    port.Open();
    termios t{};
    ASSERT_EQ(::tcgetattr(pty.slave(), &t), 0);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_iflag & (ICRNL | IXON | IXOFF | INPCK), 0u);
    EXPECT_EQ(t.c_cflag & (CSTOPB | CRTSCTS | HUPCL), 0u);
    EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
    serial::Termios2 t2;
    ASSERT_EQ(serial::readTermios2(pty.slave(), t2), 0);
    EXPECT_EQ(t2.c_ospeed, 9600u);
}

TEST_F(ComPortOnPty, SecondOpenOfTheSameDeviceIsRefused)
{
    port.Open();
    TComPort second;
    second.setDevicePath(pty.path());
    const std::string failure = comFailure([&] { second.Open(); });
    const QRegularExpression form(QStringLiteral("^Unable to open com port: (\\d+)$"));
    const auto match = form.match(QString::fromStdString(failure));
    ASSERT_TRUE(match.hasMatch()) << failure;
    const int code = match.captured(1).toInt();
    EXPECT_TRUE(code == EWOULDBLOCK || code == EBUSY) << code;
    EXPECT_FALSE(second.Connected());
    EXPECT_EQ(port.WriteStr("still mine", true), 10);
}

TEST_F(ComPortOnPty, DeviceAnotherProgramHoldsIsRefusedUntilItLetsGo)
{
    ProgramHolding shell(pty.slave());
    EXPECT_EQ(comFailure([&] { port.Open(); }), "Unable to open com port: 16");
    EXPECT_FALSE(port.Connected());
    EXPECT_TRUE(log.calls.isEmpty());
    const serial::OpenFailure failure = serial::diagnoseOpenFailure(pty.path(), EBUSY);
    EXPECT_EQ(failure.holder, "sleep");
    EXPECT_EQ(failure.holderPid, shell.pid());
    int exclusive = -1;
    ASSERT_EQ(::ioctl(pty.slave(), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0) << "the refused open left the device as it was";

    shell.end();
    port.Open();
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(port.WriteStr("AT\r", true), 3);
    EXPECT_EQ(farEndRead(3), QByteArray("AT\r"));
}

// A simulated radio in a program of its own holds only the master.
TEST(ComPortOnAnotherProgramsPty, SlaveWhoseMasterAnotherProgramHoldsOpens)
{
    PtyPair pty;
    ProgramHolding radio(pty.master());
    pty.closeMaster();

    TComPort port;
    port.setDevicePath(pty.path());
    port.Open();
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(port.WriteStr("AT\r", true), 3);
    port.Close();
}

TEST_F(ComPortOnPty, CloseOfANeverOpenedPortDoesNothing)
{
    port.Close();
    EXPECT_FALSE(port.Connected());
    EXPECT_TRUE(log.calls.isEmpty());
}

TEST_F(ComPortOnPty, OpenOfAnOpenPortClosesItFirst)
{
    port.Open();
    EXPECT_EQ(log.calls, QStringList{"open"});
    port.Open();
    EXPECT_EQ(log.calls, (QStringList{"open", "close", "open"}));
    EXPECT_TRUE(port.Connected());
    port.Close();
    port.Close();
    EXPECT_EQ(log.calls, (QStringList{"open", "close", "open", "close"}));
}

TEST_F(ComPortOnPty, WaitForAsyncWithNothingPendingReturnsMinusTwo)
{
    EXPECT_EQ(port.WaitForAsync(), -2);
    port.Open();
    EXPECT_EQ(port.WaitForAsync(), -2);
    EXPECT_FALSE(port.AsyncPending());
}

TEST_F(ComPortOnPty, ReadOfZeroBytesReturnsZeroAndAnEmptyString)
{
    port.Open();
    farEndWrite("waiting");
    ASSERT_EQ(waitForInput(port, 7), 7);
    QByteArray received("left over");
    EXPECT_EQ(port.ReadStr(received, 0, true), 0);
    EXPECT_TRUE(received.isEmpty());
    EXPECT_EQ(port.InputCount(), 7);
}

TEST_F(ComPortOnPty, AsynchronousWriteStaysPendingUntilCollected)
{
    withoutWriteLimit();
    port.Open();
    // Far more than a pseudo-terminal buffers while nobody reads.
    QByteArray block(1 << 20, 'x');
    for (int i = 0; i < block.size(); i += 1000)
        block[i] = char('a' + (i / 1000) % 26);
    EXPECT_EQ(port.WriteStr(block, false), -1);
    EXPECT_TRUE(port.AsyncPending());
    block.fill('-'); // the port keeps its own copy of pending bytes

    QByteArray received;
    std::thread farEnd([&] { received = farEndRead(1 << 20); });
    EXPECT_EQ(port.WaitForAsync(), 1 << 20);
    farEnd.join();
    EXPECT_FALSE(port.AsyncPending());
    ASSERT_EQ(received.size(), 1 << 20);
    EXPECT_EQ(received[0], 'a');
    EXPECT_EQ(received[1000], 'b');
    EXPECT_EQ(received[1], 'x');
}

TEST_F(ComPortOnPty, AsynchronousReadIsCollectedLater)
{
    port.Timeouts()->setReadInterval(0);
    port.Open();
    QByteArray received;
    EXPECT_EQ(port.ReadStr(received, 4, false), -1);
    EXPECT_TRUE(port.AsyncPending());
    QByteArray other;
    EXPECT_EQ(comFailure([&] { port.ReadAvailable(other, 4); }), "Operation aborted: 16")
        << "the pending read takes the first bytes";
    farEndWrite("ABCD");
    EXPECT_EQ(port.WaitForAsync(), 4);
    EXPECT_EQ(received, QByteArray("ABCD"));
}

TEST_F(ComPortOnPty, CloseCancelsWhatIsPending)
{
    withoutWriteLimit();
    port.Open();
    EXPECT_EQ(port.WriteStr(QByteArray(1 << 20, 'z'), false), -1);
    ASSERT_TRUE(port.AsyncPending());
    const auto start = std::chrono::steady_clock::now();
    port.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_FALSE(port.Connected());
    EXPECT_FALSE(port.AsyncPending());
    EXPECT_EQ(log.calls, (QStringList{"open", "close"}));
    port.Open(); // the device was released
    EXPECT_TRUE(port.Connected());
}

TEST_F(ComPortOnPty, VanishedFarEndIsReportedAsEio)
{
    port.Open();
    pty.closeMaster();
    QByteArray received;
    EXPECT_EQ(comFailure([&] { port.InputCount(); }), "Unable to read com status: 5");
    EXPECT_EQ(comFailure([&] { port.ReadStr(received, 4, true); }), "Operation aborted: 5");
    EXPECT_EQ(comFailure([&] { port.ReadAvailable(received, 4); }), "Operation aborted: 5");
    EXPECT_EQ(comFailure([&] { port.WriteStr("AT\r", true); }), "Operation failed: 5");
    EXPECT_EQ(comFailure([&] { port.GetCTS(); }), "Unable to read com status: 5");
    port.Close();
    EXPECT_FALSE(port.Connected());
}

// ---- The port on the scriptable test device. ----

class ComPortOnTestLine : public PortOnTestLine
{
protected:
    ComPortOnTestLine() : PortOnTestLine(QStringLiteral("COMPORT-TEST")) {}
};

TEST_F(ComPortOnTestLine, DtrAndRtsIssueTheirCodes)
{
    port.Open();
    port.SetDTR(true);
    port.SetDTR(false);
    port.SetRTS(true);
    port.SetRTS(false);
    EXPECT_EQ(line.escapeCalls(), (QVector<uint32_t>{5, 6, 3, 4}));
}

TEST_F(ComPortOnTestLine, ClosingLowersDtrAndRtsAndOpeningLeavesThemAlone)
{
    port.Open();
    EXPECT_TRUE(line.escapeCalls().isEmpty());
    EXPECT_FALSE(port.DtrSet());
    port.SetDTR(true);
    port.SetRTS(true);
    EXPECT_TRUE(port.DtrSet());
    EXPECT_TRUE(port.RtsSet());
    port.Open(); // a reopen closes first
    EXPECT_EQ(line.escapeCalls(), (QVector<uint32_t>{5, 3, 6, 4}));
    EXPECT_FALSE(line.dtr());
    EXPECT_FALSE(line.rts());
    EXPECT_FALSE(port.DtrSet());
    port.SetDTR(true);
    port.Close();
    EXPECT_EQ(line.escapeCalls().mid(4), (QVector<uint32_t>{5, 6, 4}));
    EXPECT_FALSE(port.DtrSet());
}

TEST_F(ComPortOnTestLine, ClosingAVanishedDeviceStillReleasesIt)
{
    port.Open();
    line.hangUp();
    port.Close();
    EXPECT_FALSE(port.Connected());
    EXPECT_FALSE(line.isOpen());
}

TEST_F(ComPortOnTestLine, ModemStatusCarriesTheInputLinesAndFailsWithTheStatusPrefix)
{
    port.Open();
    line.setCts(true);
    EXPECT_EQ(port.ModemStatus() & serial::MS_CTS_ON, serial::MS_CTS_ON);
    line.setCts(false);
    EXPECT_EQ(port.ModemStatus() & serial::MS_CTS_ON, 0u);
    line.hangUp();
    try {
        port.ModemStatus();
        FAIL() << "a vanished device answers";
    } catch (const EComPort &error) {
        EXPECT_STREQ(error.what(), "Unable to read com status: 5");
        EXPECT_EQ(error.code(), EIO);
    }
}

TEST_F(ComPortOnTestLine, CtsFollowsTheLine)
{
    port.Open();
    line.setCts(false);
    EXPECT_FALSE(port.GetCTS());
    line.setCts(true);
    EXPECT_TRUE(port.GetCTS());
}

TEST_F(ComPortOnTestLine, FailedOpenLeavesThePortClosed)
{
    line.failNext(Op::Open, ENODEV);
    EXPECT_EQ(comFailure([&] { port.Open(); }), "Unable to open com port: 19");
    EXPECT_FALSE(port.Connected());
    EXPECT_TRUE(log.calls.isEmpty());
}

TEST_F(ComPortOnTestLine, FailedSettingsStepClosesTheHandleAgain)
{
    for (Op step : {Op::SetupComm, Op::SetCommState, Op::SetCommTimeouts}) {
        line.failNext(step, EINVAL);
        EXPECT_EQ(comFailure([&] { port.Open(); }), "Unable to set com state: 22");
        EXPECT_FALSE(port.Connected());
        EXPECT_FALSE(line.isOpen()) << "step " << int(step);
    }
    EXPECT_TRUE(log.calls.isEmpty()) << "no OnOpen, and no OnClose either";
    EXPECT_EQ(line.callCount(Op::SetCommTimeouts), 1) << "the steps stop at the failure";
    port.Open();
    EXPECT_TRUE(port.Connected());
}

TEST_F(ComPortOnTestLine, EachFailureCarriesItsPrefixAndCode)
{
    port.Open();
    QByteArray buffer;
    line.failNext(Op::ClearCommError, EPROTO);
    EXPECT_EQ(comFailure([&] { port.InputCount(); }), "Unable to read com status: 71");
    line.failNext(Op::GetModemStatus, ENXIO);
    EXPECT_EQ(comFailure([&] { port.GetCTS(); }), "Unable to read com status: 6");
    line.failNext(Op::Escape, EPERM);
    EXPECT_EQ(comFailure([&] { port.SetDTR(true); }), "Unable to set signal: 1");
    line.failNext(Op::Escape, EACCES);
    EXPECT_EQ(comFailure([&] { port.SetRTS(false); }), "Unable to set signal: 13");
    line.failNext(Op::Write, ENOSPC);
    EXPECT_EQ(comFailure([&] { port.WriteStr("x", true); }), "Operation failed: 28");
    line.failNext(Op::Read, EPROTO);
    EXPECT_EQ(comFailure([&] { port.ReadStr(buffer, 1, true); }), "Operation aborted: 71");
    EXPECT_FALSE(port.AsyncPending()) << "a failed transfer leaves no record behind";
    EXPECT_TRUE(line.escapeCalls().isEmpty());
}

TEST_F(ComPortOnTestLine, ClosedPortFailsInsteadOfIgnoringCalls)
{
    QByteArray buffer;
    EXPECT_EQ(comFailure([&] { port.InputCount(); }), "Unable to read com status: 9");
    EXPECT_EQ(comFailure([&] { port.SetDTR(true); }), "Unable to set signal: 9");
    EXPECT_EQ(comFailure([&] { port.GetCTS(); }), "Unable to read com status: 9");
    EXPECT_EQ(comFailure([&] { port.WriteStr("x", true); }), "Operation failed: 9");
    EXPECT_EQ(comFailure([&] { port.ReadStr(buffer, 1, true); }), "Operation aborted: 9");
    EXPECT_EQ(comFailure([&] { port.ReadAvailable(buffer, 1); }), "Operation aborted: 9");
}

TEST_F(ComPortOnTestLine, PendingWriteCompletesOnceReleased)
{
    port.Open();
    line.setHoldWrites(true);
    EXPECT_EQ(port.WriteStr("AT+CMGS\r", false), -1);
    EXPECT_TRUE(port.AsyncPending());
    line.setHoldWrites(false);
    EXPECT_EQ(port.WaitForAsync(), 8);
    EXPECT_EQ(line.output(), QByteArray("AT+CMGS\r"));
}

TEST_F(ComPortOnTestLine, TimedWaitLeavesAnUnfinishedWritePendingForALaterCall)
{
    port.Open();
    line.setHoldWrites(true);
    EXPECT_EQ(port.WriteStr("AT\r", false), -1);
    EXPECT_EQ(port.WaitForAsync(0), -1);
    EXPECT_EQ(port.WaitForAsync(20), -1);
    EXPECT_TRUE(port.AsyncPending());
    line.setHoldWrites(false);
    int result = -1;
    while (result == -1)
        result = port.WaitForAsync(10);
    EXPECT_EQ(result, 3);
    EXPECT_FALSE(port.AsyncPending());
    EXPECT_EQ(port.WaitForAsync(0), -2);
}

TEST_F(ComPortOnTestLine, WriteThatCannotFinishInTimeFails)
{
    port.Timeouts()->setWriteTotalMultiplier(10);
    port.Timeouts()->setWriteTotalConstant(100);
    port.Open();
    line.setHoldWrites(true);
    EXPECT_EQ(comFailure([&] { port.WriteStr("AT\r", true); }), "Operation failed: 110");
    EXPECT_FALSE(port.AsyncPending());
}

TEST_F(ComPortOnTestLine, ReadThatFailsWhileWaitedForReportsTheWaitPrefix)
{
    port.Timeouts()->setReadInterval(0);
    port.Open();
    std::thread farEnd([&] {
        std::this_thread::sleep_for(30ms);
        line.hangUp();
    });
    QByteArray buffer;
    EXPECT_EQ(comFailure([&] { port.ReadStr(buffer, 4, true); }), "Operation failed: 5");
    farEnd.join();
    EXPECT_FALSE(port.AsyncPending());
}

TEST_F(ComPortOnTestLine, PendingTransfersAreCollectedNewestFirst)
{
    port.Timeouts()->setReadInterval(0);
    port.Open();
    line.setHoldWrites(true);
    QByteArray buffer;
    EXPECT_EQ(port.ReadStr(buffer, 2, false), -1);
    EXPECT_EQ(port.WriteStr("abc", false), -1);
    line.setHoldWrites(false);
    EXPECT_EQ(port.WaitForAsync(), 3) << "the write came last";
    line.pushInput("xy");
    EXPECT_EQ(port.WaitForAsync(), 2);
    EXPECT_EQ(buffer, QByteArray("xy"));
    EXPECT_EQ(port.WaitForAsync(), -2);
}

TEST_F(ComPortOnTestLine, AbortThatCannotPurgeKeepsThePortOpen)
{
    port.setEvents(TEvents()); // no event thread, whose end purges the port too
    port.Open();
    line.setHoldWrites(true);
    EXPECT_EQ(port.WriteStr("AT\r", false), -1);
    line.failNext(Op::Purge, EBUSY);
    EXPECT_EQ(comFailure([&] { port.AbortAllAsync(); }), "Cannot abort operation: 16");
    EXPECT_TRUE(port.AsyncPending());
    line.setFailure(Op::Purge, EIO);
    EXPECT_EQ(comFailure([&] { port.Close(); }), "Cannot abort operation: 5");
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(log.calls, QStringList{"open"});
    line.setFailure(Op::Purge, 0);
    port.Close();
    EXPECT_FALSE(port.Connected());
    EXPECT_FALSE(port.AsyncPending());
    EXPECT_EQ(line.lastPurge(), serial::PURGE_TXABORT | serial::PURGE_RXABORT);
}

TEST_F(ComPortOnTestLine, AbortWithNothingPendingTouchesNothing)
{
    port.setEvents(TEvents()); // no event thread, whose end purges the port too
    port.Open();
    port.AbortAllAsync();
    port.Close();
    EXPECT_EQ(line.callCount(Op::Purge), 0);
}

TEST_F(ComPortOnTestLine, DestroyingAPortWhoseDeviceVanishedReleasesIt)
{
    {
        TComPort doomed;
        doomed.setDevicePath(registered.name());
        doomed.Open();
        line.setHoldWrites(true);
        EXPECT_EQ(doomed.WriteStr("AT\r", false), -1);
        line.hangUp(); // the purge of Close now fails as well
    }
    EXPECT_FALSE(line.isOpen());
}

TEST(ComPortDeviceName, ComPortsMapToSerialTtysUnlessAPathIsGiven)
{
    TComPort port;
    EXPECT_EQ(port.DeviceName(), QStringLiteral("/dev/ttyS0"));
    port.setPort(COM8);
    EXPECT_EQ(port.DeviceName(), QStringLiteral("/dev/ttyS7"));
    port.setDevicePath(QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(port.DeviceName(), QStringLiteral("/dev/ttyUSB0"));
    port.setDevicePath(QString());
    EXPECT_EQ(port.DeviceName(), QStringLiteral("/dev/ttyS7"));
}

} // namespace
