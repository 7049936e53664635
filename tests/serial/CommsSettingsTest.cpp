#include "serial/Comms.h"
#include "serial/TermiosMapping_linux.h"

#include "ComPortTestSupport.h"
#include "SerialTestSupport.h"

#include <QMetaProperty>
#include <gtest/gtest.h>
#include <termios.h>

namespace {

using Op = serial::TestLine::Op;

class ComPortSettings : public PortOnTestLine
{
protected:
    ComPortSettings() : PortOnTestLine(QStringLiteral("SETTINGS-TEST")) {}

    uint32_t dtrField() const { return serial::dtrControl(line.lastDcb()); }
    uint32_t rtsField() const { return serial::rtsControl(line.lastDcb()); }
};

TEST_F(ComPortSettings, DefaultsAtCreationTouchNothing)
{
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_EQ(port.Port(), COM1);
    EXPECT_EQ(port.StopBits(), sbOneStopBit);
    EXPECT_EQ(port.DataBits(), dbEight);
    EXPECT_FALSE(port.DiscardNull());
    EXPECT_EQ(port.EventChar(), 0);
    EXPECT_EQ(port.Events().bits(), 0x3FF);
    EXPECT_EQ(port.WriteBufSize(), 1024u);
    EXPECT_EQ(port.ReadBufSize(), 1024u);
    EXPECT_EQ(port.SyncMethod(), smSynchronize);
    EXPECT_EQ(port.Parity()->Bits(), prNone);
    EXPECT_FALSE(port.Parity()->Check());
    EXPECT_FALSE(port.FlowControl()->OutCtsFlow());
    EXPECT_EQ(port.FlowControl()->ControlDtr(), dtrDisable);
    EXPECT_EQ(port.FlowControl()->ControlRts(), rtsDisable);
    EXPECT_EQ(port.Timeouts()->ReadInterval(), -1);
    EXPECT_EQ(port.Timeouts()->WriteTotalMultiplier(), 100);
    EXPECT_EQ(port.Timeouts()->WriteTotalConstant(), 1000);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(line.totalCallCount(), 0);
}

TEST_F(ComPortSettings, OpenBuildsTheRecordsFromTheSettings)
{
    port.Open();
    EXPECT_EQ(line.lastInQueue(), 1024u);
    EXPECT_EQ(line.lastOutQueue(), 1024u);
    const serial::Dcb dcb = line.lastDcb();
    EXPECT_EQ(dcb.DCBlength, 28u);
    EXPECT_EQ(dcb.BaudRate, 9600u);
    EXPECT_EQ(dcb.Flags, serial::fBinary);
    EXPECT_EQ(dcb.XonLim, 256) << "ReadBufSize 1024 / 4";
    EXPECT_EQ(dcb.XoffLim, 256);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, serial::NOPARITY);
    EXPECT_EQ(dcb.StopBits, serial::ONESTOPBIT);
    EXPECT_EQ(dcb.XonChar, 0x11);
    EXPECT_EQ(dcb.XoffChar, 0x13);
    EXPECT_EQ(dcb.ErrorChar, 0);
    EXPECT_EQ(dcb.EofChar, 0);
    EXPECT_EQ(dcb.EvtChar, 0);
    const serial::CommTimeouts t = line.lastTimeouts();
    EXPECT_EQ(t.ReadIntervalTimeout, 0xFFFFFFFFu) << "ReadInterval -1 reaches the port as MAXDWORD";
    EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(t.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(t.WriteTotalTimeoutConstant, 1000u);
    EXPECT_TRUE(line.escapeCalls().isEmpty()) << "Open itself leaves DTR and RTS alone";
    EXPECT_EQ(line.callCount(Op::Purge), 0) << "and purges nothing";
}

TEST_F(ComPortSettings, OpenAppliesBuffersThenLineStateThenTimeouts)
{
    line.failNext(Op::SetupComm, EINVAL);
    EXPECT_THROW(port.Open(), EComPort);
    EXPECT_EQ(line.callCount(Op::SetCommState), 0);
    line.failNext(Op::SetCommState, EINVAL);
    EXPECT_THROW(port.Open(), EComPort);
    EXPECT_EQ(line.callCount(Op::SetupComm), 2);
    EXPECT_EQ(line.callCount(Op::SetCommTimeouts), 0);
}

TEST_F(ComPortSettings, EqualValuesTouchNothingEvenWhileConnected)
{
    port.Open();
    const int calls = line.totalCallCount();
    port.setBaudRate(port.BaudRate());
    port.setPort(port.Port());
    port.setDevicePath(port.DevicePath());
    port.setStopBits(port.StopBits());
    port.setDataBits(port.DataBits());
    port.setDiscardNull(port.DiscardNull());
    port.setEventChar(port.EventChar());
    port.setEvents(port.Events());
    port.setWriteBufSize(port.WriteBufSize());
    port.setReadBufSize(port.ReadBufSize());
    port.setSyncMethod(port.SyncMethod());
    port.setParity(TParity(*port.Parity()));
    port.setFlowControl(TFlowControl(*port.FlowControl()));
    port.setTimeouts(TComTimeouts(*port.Timeouts()));
    port.Parity()->setBits(prNone);
    port.Parity()->setCheck(false);
    port.Parity()->setReplace(false);
    port.Parity()->setReplaceChar(0);
    port.FlowControl()->setOutCtsFlow(false);
    port.FlowControl()->setOutDsrFlow(false);
    port.FlowControl()->setControlDtr(dtrDisable);
    port.FlowControl()->setControlRts(rtsDisable);
    port.FlowControl()->setXonXoffOut(false);
    port.FlowControl()->setXonXoffIn(false);
    port.Timeouts()->setReadInterval(-1);
    port.Timeouts()->setReadTotalMultiplier(0);
    port.Timeouts()->setReadTotalConstant(0);
    port.Timeouts()->setWriteTotalMultiplier(100);
    port.Timeouts()->setWriteTotalConstant(1000);
    EXPECT_EQ(line.totalCallCount(), calls);
    EXPECT_EQ(log.calls, QStringList{"open"});
}

TEST_F(ComPortSettings, ChangesWhileClosedAreStoredAndAppliedAtTheNextOpen)
{
    port.setBaudRate(br56000);
    port.setDataBits(dbSeven);
    port.setStopBits(sbTwoStopBits);
    port.setDiscardNull(true);
    port.setEventChar(0x0A);
    port.setReadBufSize(4096);
    port.setWriteBufSize(512);
    port.Parity()->setBits(prEven);
    port.Parity()->setCheck(true);
    port.Parity()->setReplaceChar('?');
    port.Parity()->setReplace(true);
    port.FlowControl()->setOutCtsFlow(true);
    port.FlowControl()->setControlDtr(dtrEnable);
    port.FlowControl()->setControlRts(rtsHandshake);
    port.FlowControl()->setXonXoffIn(true);
    port.Timeouts()->setReadInterval(25);
    port.Timeouts()->setWriteTotalConstant(300);
    EXPECT_EQ(line.totalCallCount(), 0);

    port.Open();
    const serial::Dcb dcb = line.lastDcb();
    EXPECT_EQ(dcb.BaudRate, 56000u);
    EXPECT_EQ(dcb.ByteSize, 7);
    EXPECT_EQ(dcb.StopBits, serial::TWOSTOPBITS);
    EXPECT_EQ(dcb.Parity, serial::EVENPARITY);
    EXPECT_EQ(dcb.EvtChar, 0x0A);
    EXPECT_EQ(dcb.ErrorChar, '?');
    EXPECT_EQ(dcb.XonLim, 1024);
    EXPECT_EQ(dcb.Flags & (serial::fNull | serial::fParity | serial::fErrorChar |
                           serial::fOutxCtsFlow | serial::fInX | serial::fOutX),
              serial::fNull | serial::fParity | serial::fErrorChar | serial::fOutxCtsFlow |
                  serial::fInX);
    EXPECT_EQ(dtrField(), serial::DTR_CONTROL_ENABLE);
    EXPECT_EQ(rtsField(), serial::RTS_CONTROL_HANDSHAKE);
    EXPECT_EQ(line.lastInQueue(), 4096u);
    EXPECT_EQ(line.lastOutQueue(), 512u);
    EXPECT_EQ(line.lastTimeouts().ReadIntervalTimeout, 25u);
    EXPECT_EQ(line.lastTimeouts().WriteTotalTimeoutConstant, 300u);
}

// Each change while open re-applies the line state once, with the new value.
TEST_F(ComPortSettings, LineSettingsChangedWhileOpenAreAppliedAtOnce)
{
    port.Open();
    int applied = line.callCount(Op::SetCommState);
    const auto expectApplied = [&](const char *what) {
        EXPECT_EQ(line.callCount(Op::SetCommState), ++applied) << what;
    };
    port.setBaudRate(br14400);
    expectApplied("BaudRate");
    EXPECT_EQ(line.lastDcb().BaudRate, 14400u);
    port.setDataBits(dbFive);
    expectApplied("DataBits");
    EXPECT_EQ(line.lastDcb().ByteSize, 5);
    port.setStopBits(sbOne5StopBits);
    expectApplied("StopBits");
    EXPECT_EQ(line.lastDcb().StopBits, serial::ONE5STOPBITS);
    port.setDiscardNull(true);
    expectApplied("DiscardNull");
    EXPECT_TRUE(line.lastDcb().Flags & serial::fNull);
    port.setEventChar(0x7E);
    expectApplied("EventChar");
    EXPECT_EQ(line.lastDcb().EvtChar, 0x7E);
    port.Parity()->setBits(prMark);
    expectApplied("Parity.Bits");
    EXPECT_EQ(line.lastDcb().Parity, serial::MARKPARITY);
    port.Parity()->setCheck(true);
    expectApplied("Parity.Check");
    EXPECT_TRUE(line.lastDcb().Flags & serial::fParity);
    port.Parity()->setReplaceChar('#');
    expectApplied("Parity.ReplaceChar");
    EXPECT_EQ(line.lastDcb().ErrorChar, 0) << "no replacement character until Replace";
    port.Parity()->setReplace(true);
    expectApplied("Parity.Replace");
    EXPECT_EQ(line.lastDcb().ErrorChar, '#');
    EXPECT_TRUE(line.lastDcb().Flags & serial::fErrorChar);
    port.FlowControl()->setOutCtsFlow(true);
    expectApplied("OutCtsFlow");
    EXPECT_TRUE(line.lastDcb().Flags & serial::fOutxCtsFlow);
    port.FlowControl()->setOutDsrFlow(true);
    expectApplied("OutDsrFlow");
    EXPECT_TRUE(line.lastDcb().Flags & serial::fOutxDsrFlow);
    port.FlowControl()->setControlDtr(dtrHandshake);
    expectApplied("ControlDtr");
    EXPECT_EQ(dtrField(), serial::DTR_CONTROL_HANDSHAKE);
    port.FlowControl()->setControlRts(rtsToggle);
    expectApplied("ControlRts");
    EXPECT_EQ(rtsField(), serial::RTS_CONTROL_TOGGLE);
    port.FlowControl()->setXonXoffOut(true);
    expectApplied("XonXoffOut");
    EXPECT_TRUE(line.lastDcb().Flags & serial::fOutX);
    port.FlowControl()->setXonXoffIn(true);
    expectApplied("XonXoffIn");
    EXPECT_TRUE(line.lastDcb().Flags & serial::fInX);
    EXPECT_TRUE(line.lastDcb().Flags & serial::fBinary);
    EXPECT_EQ(line.callCount(Op::SetupComm), 1);
    EXPECT_EQ(line.callCount(Op::SetCommTimeouts), 1);
}

TEST_F(ComPortSettings, BufferSizesChangedWhileOpenAreAppliedAtOnce)
{
    port.Open();
    port.setReadBufSize(4096);
    EXPECT_EQ(line.callCount(Op::SetupComm), 2);
    EXPECT_EQ(line.lastInQueue(), 4096u);
    EXPECT_EQ(line.lastDcb().XonLim, 256) << "the limits follow at the next line state";
    port.setWriteBufSize(2048);
    EXPECT_EQ(line.callCount(Op::SetupComm), 3);
    EXPECT_EQ(line.lastOutQueue(), 2048u);
    EXPECT_EQ(line.callCount(Op::SetCommState), 1);
    port.setBaudRate(br19200);
    EXPECT_EQ(line.lastDcb().XonLim, 1024);
    EXPECT_EQ(line.lastDcb().XoffLim, 1024);
    port.setReadBufSize(0x50000);
    port.setBaudRate(br38400);
    EXPECT_EQ(line.lastDcb().XonLim, 0x4000) << "kept in the 16-bit fields";
}

TEST_F(ComPortSettings, TimeoutsChangedWhileOpenAreAppliedAtOnce)
{
    port.Open();
    port.Timeouts()->setReadInterval(50);
    EXPECT_EQ(line.lastTimeouts().ReadIntervalTimeout, 50u);
    port.Timeouts()->setReadTotalMultiplier(3);
    EXPECT_EQ(line.lastTimeouts().ReadTotalTimeoutMultiplier, 3u);
    port.Timeouts()->setReadTotalConstant(40);
    EXPECT_EQ(line.lastTimeouts().ReadTotalTimeoutConstant, 40u);
    port.Timeouts()->setWriteTotalMultiplier(7);
    EXPECT_EQ(line.lastTimeouts().WriteTotalTimeoutMultiplier, 7u);
    port.Timeouts()->setWriteTotalConstant(-2);
    EXPECT_EQ(line.lastTimeouts().WriteTotalTimeoutConstant, 0xFFFFFFFEu);
    port.Timeouts()->setReadInterval(-1);
    EXPECT_EQ(line.lastTimeouts().ReadIntervalTimeout, 0xFFFFFFFFu);
    EXPECT_EQ(line.callCount(Op::SetCommTimeouts), 7);
    EXPECT_EQ(line.callCount(Op::SetCommState), 1);
}

TEST_F(ComPortSettings, FailedApplyRaisesAndKeepsTheNewValue)
{
    port.Open();
    line.failNext(Op::SetCommState, EINVAL);
    EXPECT_EQ(comFailure([&] { port.setBaudRate(br115200); }), "Unable to set com state: 22");
    EXPECT_EQ(port.BaudRate(), br115200);
    line.failNext(Op::SetupComm, ENOMEM);
    EXPECT_EQ(comFailure([&] { port.setReadBufSize(8); }), "Unable to set com state: 12");
    EXPECT_EQ(port.ReadBufSize(), 8u);
    line.failNext(Op::SetCommTimeouts, EIO);
    EXPECT_EQ(comFailure([&] { port.Timeouts()->setReadInterval(9); }),
              "Unable to set com state: 5");
    EXPECT_EQ(port.Timeouts()->ReadInterval(), 9);
    EXPECT_TRUE(port.Connected());
}

TEST_F(ComPortSettings, EventsAreOnlyStored)
{
    port.Open();
    const int calls = line.totalCallCount();
    port.setEvents(TEvents{evRxChar, evCTS});
    EXPECT_EQ(port.Events(), (TEvents{evRxChar, evCTS}));
    port.setEvents(TEvents());
    EXPECT_TRUE(port.Events().isEmpty());
    EXPECT_EQ(line.totalCallCount(), calls);
}

TEST_F(ComPortSettings, SyncMethodChangesOnlyWhileClosed)
{
    port.setSyncMethod(smNone);
    EXPECT_EQ(port.SyncMethod(), smNone);
    port.Open();
    port.setSyncMethod(smNone);
    EXPECT_EQ(comFailure([&] { port.setSyncMethod(smWindow); }),
              "Cannot set SyncMethod while connected");
    EXPECT_EQ(port.SyncMethod(), smNone);
    port.Close();
    port.setSyncMethod(smWindow);
    EXPECT_EQ(port.SyncMethod(), smWindow);
}

TEST_F(ComPortSettings, AssignedSettingsObjectsStayThisPortsOwn)
{
    port.Open();
    TParity parity;
    parity.setBits(prOdd);
    port.setParity(parity);
    EXPECT_EQ(line.lastDcb().Parity, serial::ODDPARITY);
    EXPECT_EQ(port.Parity()->port(), &port);
    port.Parity()->setBits(prSpace);
    EXPECT_EQ(line.lastDcb().Parity, serial::SPACEPARITY) << "later changes still reach the port";

    TFlowControl flow;
    flow.setXonXoffOut(true);
    port.setFlowControl(flow);
    EXPECT_TRUE(line.lastDcb().Flags & serial::fOutX);
    EXPECT_EQ(port.FlowControl()->port(), &port);

    TComTimeouts timeouts;
    timeouts.setReadInterval(0);
    port.setTimeouts(timeouts);
    EXPECT_EQ(line.lastTimeouts().ReadIntervalTimeout, 0u);
    EXPECT_EQ(port.Timeouts()->port(), &port);
}

TEST_F(ComPortSettings, PropertiesAreReachableByName)
{
    for (const char *name : {"BaudRate", "Port", "DevicePath", "Parity", "StopBits", "DataBits",
                             "DiscardNull", "EventChar", "Events", "WriteBufSize", "ReadBufSize",
                             "FlowControl", "Timeouts", "SyncMethod"})
        EXPECT_GE(port.metaObject()->indexOfProperty(name), 0) << name;
    EXPECT_TRUE(port.setProperty("BaudRate", QVariant::fromValue(br57600)));
    EXPECT_EQ(port.BaudRate(), br57600);
    EXPECT_TRUE(port.setProperty("ReadBufSize", 2048u));
    EXPECT_EQ(port.ReadBufSize(), 2048u);
    EXPECT_EQ(port.property("Parity").value<TParity *>(), port.Parity());
    EXPECT_EQ(port.property("Events").value<TEvents>(), TEvents::all());
}

// ---- Port and DevicePath move the port to another device. ----

class ComPortMoves : public ::testing::Test
{
protected:
    RegisteredLine com1{QStringLiteral("/dev/ttyS0")};
    RegisteredLine com3{QStringLiteral("/dev/ttyS2")};
    RegisteredLine named{QStringLiteral("NAMED-LINE")};
    OpenCloseLog log; // outlives the port, whose destruction reports a close
    TComPort port;

    void SetUp() override { log.attach(port); }
};

TEST_F(ComPortMoves, PortSetToItsValueDoesNothing)
{
    port.Open();
    const int calls = com1.line().totalCallCount();
    port.setPort(COM1);
    EXPECT_EQ(com1.line().totalCallCount(), calls);
    EXPECT_EQ(log.calls, QStringList{"open"});
}

TEST_F(ComPortMoves, PortChangedWhileClosedIsOnlyStored)
{
    port.setPort(COM3);
    EXPECT_EQ(port.Port(), COM3);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(com3.line().totalCallCount(), 0);
    port.Open();
    EXPECT_TRUE(com3.line().isOpen());
    EXPECT_FALSE(com1.line().isOpen());
}

TEST_F(ComPortMoves, PortChangedWhileOpenReopensOnTheNewPort)
{
    port.Open();
    ASSERT_TRUE(com1.line().isOpen());
    port.setPort(COM3);
    EXPECT_TRUE(port.Connected());
    EXPECT_FALSE(com1.line().isOpen());
    EXPECT_TRUE(com3.line().isOpen());
    EXPECT_EQ(log.calls, (QStringList{"open", "close", "open"}));
    EXPECT_EQ(com3.line().lastDcb().BaudRate, 9600u) << "the settings follow";
}

TEST_F(ComPortMoves, PortThatCannotBeOpenedLeavesThePortClosed)
{
    port.Open();
    com3.line().failNext(serial::TestLine::Op::Open, ENOENT);
    EXPECT_EQ(comFailure([&] { port.setPort(COM3); }), "Unable to open com port: 2");
    EXPECT_EQ(port.Port(), COM3);
    EXPECT_FALSE(port.Connected());
    EXPECT_FALSE(com1.line().isOpen());
}

TEST_F(ComPortMoves, DevicePathFollowsTheSameRules)
{
    port.setDevicePath(QString());
    EXPECT_EQ(com1.line().totalCallCount(), 0);
    port.Open();
    port.setDevicePath(named.name());
    EXPECT_TRUE(named.line().isOpen());
    EXPECT_FALSE(com1.line().isOpen());
    const int calls = named.line().totalCallCount();
    port.setDevicePath(named.name());
    EXPECT_EQ(named.line().totalCallCount(), calls);
    port.setDevicePath(QString());
    EXPECT_TRUE(com1.line().isOpen()) << "an empty path returns to the COM port";
    EXPECT_EQ(log.calls, (QStringList{"open", "close", "open", "close", "open"}));
}

// ---- Settings read back from a pseudo-terminal. ----

class ComPortSettingsOnPty : public ::testing::Test
{
protected:
    PtyPair pty;
    TComPort port;

    void SetUp() override
    {
        port.setDevicePath(pty.path());
        port.Open();
    }

    termios settings()
    {
        termios t{};
        EXPECT_EQ(::tcgetattr(pty.slave(), &t), 0);
        return t;
    }
    uint32_t speed()
    {
        serial::Termios2 t;
        EXPECT_EQ(serial::readTermios2(pty.slave(), t), 0);
        EXPECT_EQ(t.c_ispeed, t.c_ospeed);
        return t.c_ospeed;
    }
};

TEST_F(ComPortSettingsOnPty, EverySpeedReachesTheTty)
{
    const uint32_t expected[] = {110,   300,   600,   1200,  2400,  4800,  9600,
                                 14400, 19200, 38400, 56000, 57600, 115200};
    for (int rate = br115200; rate >= br110; --rate) {
        port.setBaudRate(TBaudRate(rate));
        EXPECT_EQ(speed(), expected[rate]) << "ordinal " << rate;
    }
}

TEST_F(ComPortSettingsOnPty, FramingAndFlowControlReachTheTty)
{
    // A pseudo-terminal keeps CS8 and clears PARENB whatever it is given, so
    // the size and the parity enable are checked on the record instead; the
    // bits that tell the parity kinds apart stay.
    const tcflag_t kinds = PARODD | CMSPAR;
    port.Parity()->setBits(prOdd);
    EXPECT_EQ(settings().c_cflag & kinds, tcflag_t(PARODD));
    port.Parity()->setBits(prMark);
    EXPECT_EQ(settings().c_cflag & kinds, tcflag_t(PARODD | CMSPAR));
    port.Parity()->setBits(prSpace);
    EXPECT_EQ(settings().c_cflag & kinds, tcflag_t(CMSPAR));
    port.Parity()->setBits(prEven);
    EXPECT_EQ(settings().c_cflag & kinds, 0u);
    port.Parity()->setCheck(true);
    EXPECT_NE(settings().c_iflag & INPCK, 0u);

    port.setStopBits(sbTwoStopBits);
    EXPECT_NE(settings().c_cflag & CSTOPB, 0u);
    port.setStopBits(sbOneStopBit);
    EXPECT_EQ(settings().c_cflag & CSTOPB, 0u);

    port.FlowControl()->setOutCtsFlow(true);
    EXPECT_NE(settings().c_cflag & CRTSCTS, 0u);
    port.FlowControl()->setOutCtsFlow(false);
    EXPECT_EQ(settings().c_cflag & CRTSCTS, 0u);
    port.FlowControl()->setControlRts(rtsHandshake);
    EXPECT_NE(settings().c_cflag & CRTSCTS, 0u);

    port.FlowControl()->setXonXoffOut(true);
    EXPECT_EQ(settings().c_iflag & (IXON | IXOFF), tcflag_t(IXON));
    port.FlowControl()->setXonXoffIn(true);
    termios t = settings();
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), tcflag_t(IXON | IXOFF));
    EXPECT_EQ(t.c_cc[VSTART], 0x11);
    EXPECT_EQ(t.c_cc[VSTOP], 0x13);
    EXPECT_EQ(t.c_lflag & ICANON, 0u) << "still raw";
}

} // namespace
