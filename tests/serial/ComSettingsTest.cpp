#include "serial/ComSettings.h"
#include "serial/Comms.h"

#include "SerialTestSupport.h"

#include <gtest/gtest.h>

namespace {

using Op = serial::TestLine::Op;

class SettingsObjects : public ::testing::Test
{
protected:
    RegisteredLine registered{QStringLiteral("SETTINGS-OBJECTS")};
    serial::TestLine &line = registered.line();
    TComPort port;

    void SetUp() override { port.setDevicePath(registered.name()); }
};

TEST_F(SettingsObjects, SettersReachAnOpenPortOnly)
{
    TParity parity(&port);
    parity.setBits(prOdd);
    EXPECT_EQ(line.totalCallCount(), 0) << "closed: nothing applied";
    port.Open();
    const int states = line.callCount(Op::SetCommState);
    TFlowControl flow(&port);
    flow.setXonXoffIn(true);
    EXPECT_EQ(line.callCount(Op::SetCommState), states + 1);
    flow.setXonXoffIn(true);
    EXPECT_EQ(line.callCount(Op::SetCommState), states + 1) << "equal value";
    TComTimeouts timeouts(&port);
    timeouts.setReadTotalMultiplier(4);
    EXPECT_EQ(line.callCount(Op::SetCommTimeouts), 2);
    EXPECT_EQ(line.callCount(Op::SetCommState), states + 1);
}

TEST_F(SettingsObjects, AssignmentCopiesValuesAndPortAndAppliesNothing)
{
    port.Open();
    const int calls = line.totalCallCount();
    TParity parity;
    parity = *port.Parity();
    EXPECT_EQ(parity.port(), &port);
    TParity other;
    other.setBits(prMark);
    other.setCheck(true);
    other.setReplace(true);
    other.setReplaceChar('x');
    *port.Parity() = other;
    EXPECT_EQ(port.Parity()->Bits(), prMark);
    EXPECT_TRUE(port.Parity()->Check());
    EXPECT_TRUE(port.Parity()->Replace());
    EXPECT_EQ(port.Parity()->ReplaceChar(), 'x');
    EXPECT_EQ(port.Parity()->port(), nullptr) << "the reference is copied too";

    TFlowControl flow;
    flow.setControlRts(rtsToggle);
    flow.setOutDsrFlow(true);
    TFlowControl flowCopy(&port);
    flowCopy = flow;
    EXPECT_EQ(flowCopy.ControlRts(), rtsToggle);
    EXPECT_TRUE(flowCopy.OutDsrFlow());
    EXPECT_EQ(flowCopy.port(), nullptr);

    TComTimeouts timeouts(&port);
    timeouts.setWriteTotalConstant(5);
    TComTimeouts timeoutsCopy;
    timeoutsCopy = timeouts;
    EXPECT_EQ(timeoutsCopy.WriteTotalConstant(), 5);
    EXPECT_EQ(timeoutsCopy.port(), &port);
    EXPECT_EQ(line.totalCallCount(), calls + 1) << "only the setter with a port applied";
}

TEST_F(SettingsObjects, ValueComparisonAndValueCopyIgnoreThePort)
{
    TParity mine(&port);
    TParity theirs;
    EXPECT_TRUE(mine.sameValues(theirs));
    theirs.setReplaceChar(1);
    EXPECT_FALSE(mine.sameValues(theirs));
    mine.assignValues(theirs);
    EXPECT_TRUE(mine.sameValues(theirs));
    EXPECT_EQ(mine.port(), &port);

    TFlowControl flow(&port);
    TFlowControl otherFlow;
    otherFlow.setControlDtr(dtrEnable);
    EXPECT_FALSE(flow.sameValues(otherFlow));
    flow.assignValues(otherFlow);
    EXPECT_TRUE(flow.sameValues(otherFlow));
    EXPECT_EQ(flow.port(), &port);

    TComTimeouts timeouts(&port);
    TComTimeouts otherTimeouts;
    otherTimeouts.setReadInterval(3);
    EXPECT_FALSE(timeouts.sameValues(otherTimeouts));
    timeouts.assignValues(otherTimeouts);
    EXPECT_EQ(timeouts.ReadInterval(), 3);
    EXPECT_EQ(timeouts.port(), &port);
    EXPECT_EQ(line.totalCallCount(), 0);
}

} // namespace
