#include "serial/ComThread.h"

#include "SerialTestSupport.h"
#include "serial/Comms.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using namespace serial;

constexpr uint32_t AllEventBits = 0x05FF;

// Counts the CM_COMEVENT messages that pass through the application.
class ComEventCounter : public QObject
{
public:
    ComEventCounter() { QCoreApplication::instance()->installEventFilter(this); }
    ~ComEventCounter() override { QCoreApplication::instance()->removeEventFilter(this); }
    std::vector<uint32_t> bits;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Type(CM_COMEVENT))
            bits.push_back(static_cast<ComEventMessage *>(event)->wParam());
        return false;
    }
};

// What the handlers saw, from whichever thread they ran in.
struct HandlerLog
{
    std::mutex mutex;
    std::vector<std::string> calls;
    std::vector<int> inQueues;
    std::vector<QThread *> threads;

    void add(const std::string &name)
    {
        std::lock_guard<std::mutex> lock(mutex);
        calls.push_back(name);
        threads.push_back(QThread::currentThread());
    }
    size_t size()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return calls.size();
    }
};

class ComThreadTest : public ::testing::Test
{
protected:
    ComThreadTest() { m_port.setDevicePath(m_line.name()); }

    void attachAllHandlers()
    {
        m_port.OnRxChar = [this](QObject *, int inQue) {
            {
                std::lock_guard<std::mutex> lock(m_log.mutex);
                m_log.inQueues.push_back(inQue);
            }
            m_log.add("RxChar");
        };
        m_port.OnTxEmpty = [this](QObject *) { m_log.add("TxEmpty"); };
        m_port.OnBreak = [this](QObject *) { m_log.add("Break"); };
        m_port.OnRing = [this](QObject *) { m_log.add("Ring"); };
        m_port.OnCTS = [this](QObject *) { m_log.add("CTS"); };
        m_port.OnDSR = [this](QObject *) { m_log.add("DSR"); };
        m_port.OnRxFlag = [this](QObject *) { m_log.add("RxFlag"); };
        m_port.OnRLSD = [this](QObject *) { m_log.add("RLSD"); };
        m_port.OnError = [this](QObject *) { m_log.add("Error"); };
        m_port.OnRx80Full = [this](QObject *) { m_log.add("Rx80Full"); };
    }
    bool waitForCalls(size_t count, int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&] { return m_log.size() >= count; }, timeoutMs);
    }
    // Keeps the window thread away from its event loop, as a blocking pause does.
    static void blockWindowThread(std::chrono::milliseconds time)
    {
        std::this_thread::sleep_for(time);
    }

    RegisteredLine m_line;
    HandlerLog m_log;
    TComPort m_port;
};

TEST_F(ComThreadTest, RxCharIsSkippedWhenTheInputCountCannotBeReadAndTheOwnerHearsOfItOnce)
{
    attachAllHandlers();
    m_port.Open();
    m_line.line().setFailure(TestLine::Op::ClearCommError, EIO);
    m_line.line().raiseEvents(EV_RXCHAR | EV_CTS);
    // The later handler of the same wake-up still runs; no error escapes the
    // delivery into the event loop.
    ASSERT_TRUE(waitForCalls(1));
    EXPECT_THROW(m_port.InputCount(), EComPort);
    m_line.line().setFailure(TestLine::Op::ClearCommError, 0);
    m_port.Close();
    EXPECT_EQ(m_log.calls, std::vector<std::string>({"CTS"}));
}

class DeliveryModeTest : public ComThreadTest, public ::testing::WithParamInterface<TSyncMethod>
{
};

TEST_P(DeliveryModeTest, RxCharGetsTheWaitingByteCountInTheModesThread)
{
    m_port.setSyncMethod(GetParam());
    attachAllHandlers();
    m_port.Open();
    m_line.line().pushInput("AT\r");
    ASSERT_TRUE(waitForCalls(1));
    m_port.Close(); // the log is read once the event thread has ended

    EXPECT_EQ(m_log.calls.front(), "RxChar");
    EXPECT_EQ(m_log.inQueues.front(), 3);
    QThread *const windowThread = QCoreApplication::instance()->thread();
    if (GetParam() == smNone)
        EXPECT_NE(m_log.threads.front(), windowThread);
    else
        EXPECT_EQ(m_log.threads.front(), windowThread);
}

TEST_P(DeliveryModeTest, EventsOfOneWakeUpComeInDispatchOrder)
{
    m_port.setSyncMethod(GetParam());
    attachAllHandlers();
    ComEventCounter messages;
    m_port.Open();
    m_line.line().raiseEvents(AllEventBits);
    ASSERT_TRUE(waitForCalls(10));
    QTest::qWait(50);
    m_port.Close();

    const std::vector<std::string> dispatchOrder = {
        "RxChar", "TxEmpty", "Break", "Ring", "CTS", "DSR", "RxFlag", "RLSD", "Error", "Rx80Full"};
    EXPECT_EQ(m_log.calls, dispatchOrder);
    if (GetParam() == smWindow)
        EXPECT_EQ(messages.bits, std::vector<uint32_t>(ComEventDispatchOrder.begin(),
                                                       ComEventDispatchOrder.end()));
    else
        EXPECT_TRUE(messages.bits.empty());
}

TEST_P(DeliveryModeTest, OnlyEventsOfTheEventsSetAreDelivered)
{
    m_port.setSyncMethod(GetParam());
    m_port.setEvents({evCTS, evRing});
    attachAllHandlers();
    m_port.Open();
    EXPECT_EQ(m_line.line().commMask(), EV_CTS | EV_RING);

    m_line.line().raiseEvents(EV_RXCHAR | EV_CTS | EV_ERR | EV_RING);
    ASSERT_TRUE(waitForCalls(2));
    QTest::qWait(100);
    m_port.Close();
    EXPECT_EQ(m_log.calls, (std::vector<std::string>{"Ring", "CTS"}));
}

TEST_P(DeliveryModeTest, CloseStopsTheThreadAndPurgesThePort)
{
    m_port.setSyncMethod(GetParam());
    int closes = 0;
    m_port.OnClose = [&](QObject *) { ++closes; };
    m_port.Open();
    m_line.line().pushInput("unread");
    QTest::qWait(50);

    m_port.Close();
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(m_line.line().lastPurge(),
              PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    EXPECT_EQ(m_line.line().callCount(TestLine::Op::Purge), 1);
    EXPECT_FALSE(m_line.line().isOpen());
}

class WindowThreadDeliveryTest : public DeliveryModeTest
{
};

TEST_P(WindowThreadDeliveryTest, HandlerMayCloseThePortAndTheWakeUpFinishes)
{
    m_port.setSyncMethod(GetParam());
    attachAllHandlers();
    int closes = 0;
    m_port.OnClose = [&](QObject *) { ++closes; };
    m_port.OnRxChar = [&](QObject *, int) {
        m_log.add("RxChar");
        m_port.Close();
    };
    m_port.Open();
    m_line.line().raiseEvents(EV_RXCHAR | EV_TXEMPTY | EV_RING);

    ASSERT_TRUE(waitForCalls(3));
    EXPECT_EQ(m_log.calls, (std::vector<std::string>{"RxChar", "TxEmpty", "Ring"}));
    EXPECT_FALSE(m_port.Connected());
    EXPECT_EQ(closes, 1);

    // It opens again with a thread of its own.
    m_port.OnRxChar = [&](QObject *, int) { m_log.add("RxChar again"); };
    m_port.Open();
    m_line.line().pushInput("again");
    ASSERT_TRUE(waitForCalls(4));
    EXPECT_EQ(m_log.calls.back(), "RxChar again");
    m_port.Close();
    EXPECT_EQ(closes, 2);
}

std::string syncMethodName(const ::testing::TestParamInfo<TSyncMethod> &param)
{
    static const char *const names[] = {"smSynchronize", "smWindow", "smNone"};
    return names[param.param];
}

INSTANTIATE_TEST_SUITE_P(SyncMethods, DeliveryModeTest,
                         ::testing::Values(smSynchronize, smWindow, smNone), syncMethodName);
INSTANTIATE_TEST_SUITE_P(SyncMethods, WindowThreadDeliveryTest,
                         ::testing::Values(smSynchronize, smWindow), syncMethodName);

TEST_F(ComThreadTest, EmptyEventsOpenWithoutThread)
{
    m_port.setEvents({});
    attachAllHandlers();
    m_port.Open();
    m_line.line().raiseEvents(AllEventBits);
    m_line.line().pushInput("x");
    QTest::qWait(200);

    EXPECT_EQ(m_log.size(), 0u);
    EXPECT_EQ(m_line.line().commMask(), 0u);
    EXPECT_EQ(m_line.line().eventWaitCount(), 0);
    m_port.Close();
    EXPECT_EQ(m_line.line().callCount(TestLine::Op::Purge), 0);
}

TEST_F(ComThreadTest, AllTenEventsSetTheFullMask)
{
    m_port.Open();
    EXPECT_EQ(m_line.line().commMask(), AllEventBits);
}

TEST_F(ComThreadTest, RxCharCountsBytesThatArrivedAfterTheWakeUp)
{
    attachAllHandlers();
    m_port.Open();
    m_line.line().pushInput("abc");
    blockWindowThread(200ms);
    m_line.line().pushInput("de");
    ASSERT_TRUE(waitForCalls(1));
    EXPECT_EQ(m_log.inQueues.front(), 5);
}

TEST_F(ComThreadTest, EventCharAndReadBufSizeShapeTheEvents)
{
    m_port.setEventChar('\r');
    m_port.setReadBufSize(10); // past 80%: more than 8 bytes waiting
    m_port.setSyncMethod(smNone);
    attachAllHandlers();
    m_port.Open();
    m_line.line().pushInput("AT");
    ASSERT_TRUE(waitForCalls(1));
    m_line.line().pushInput("\r");
    ASSERT_TRUE(waitForCalls(3));
    m_line.line().pushInput("OK\r\nOK\r\n");
    ASSERT_TRUE(waitForCalls(6));
    m_port.Close();

    EXPECT_EQ(m_log.calls, (std::vector<std::string>{"RxChar", "RxChar", "RxFlag", "RxChar",
                                                     "RxFlag", "Rx80Full"}));
    EXPECT_EQ(m_log.inQueues, (std::vector<int>{2, 3, 11}));
}

TEST_F(ComThreadTest, WriteGivesTransmitEmpty)
{
    attachAllHandlers();
    m_port.Open();
    EXPECT_EQ(m_port.WriteStr("AT\r", true), 3);
    ASSERT_TRUE(waitForCalls(1));
    EXPECT_EQ(m_log.calls.front(), "TxEmpty");
}

TEST_F(ComThreadTest, DeliveryWaitsWhileTheWindowThreadIsBlocked)
{
    attachAllHandlers();
    m_port.Open();
    m_line.line().pushInput("x");
    blockWindowThread(300ms);
    EXPECT_EQ(m_log.size(), 0u);
    EXPECT_TRUE(waitForCalls(1));
}

TEST_F(ComThreadTest, CloseWhileDeliveryWaitsRunsItAndReturnsPromptly)
{
    attachAllHandlers();
    int closes = 0;
    m_port.OnClose = [&](QObject *) { ++closes; };
    m_port.Open();
    m_line.line().pushInput("OK");
    // The thread now waits for the window thread, which is busy here.
    blockWindowThread(200ms);

    const auto started = std::chrono::steady_clock::now();
    m_port.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    EXPECT_FALSE(m_port.Connected());
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(m_log.calls, std::vector<std::string>{"RxChar"});
}

TEST_F(ComThreadTest, HandlerRunByCloseMayCallCloseAgain)
{
    int closes = 0;
    m_port.OnClose = [&](QObject *) { ++closes; };
    m_port.OnRxChar = [&](QObject *, int) {
        m_port.Close();
        m_log.add("RxChar");
    };
    m_port.Open();
    m_line.line().pushInput("x");
    blockWindowThread(200ms);

    m_port.Close();
    EXPECT_EQ(m_log.calls, std::vector<std::string>{"RxChar"});
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(m_port.Connected());
    EXPECT_FALSE(m_line.line().isOpen());
}

TEST_F(ComThreadTest, HandlerRunByCloseCannotOpenThePort)
{
    std::string openFailure;
    m_port.OnRxChar = [&](QObject *, int) {
        try {
            m_port.Open();
        } catch (const EComPort &error) {
            openFailure = error.what();
        }
    };
    m_port.Open();
    m_line.line().pushInput("x");
    blockWindowThread(200ms);

    m_port.Close();
    EXPECT_EQ(openFailure, "Unable to open com port: 16");
    EXPECT_FALSE(m_port.Connected());
    EXPECT_FALSE(m_line.line().isOpen());
}

TEST_F(ComThreadTest, HandlerErrorWhileCloseServesPassesOnAfterTheClose)
{
    int closes = 0;
    m_port.OnClose = [&](QObject *) { ++closes; };
    m_port.OnRxChar = [](QObject *, int) { throw std::runtime_error("handler failed"); };
    m_port.Open();
    m_line.line().pushInput("x");
    blockWindowThread(200ms);

    EXPECT_THROW(m_port.Close(), std::runtime_error);
    EXPECT_FALSE(m_port.Connected());
    EXPECT_FALSE(m_line.line().isOpen());
    EXPECT_EQ(closes, 1);
}

TEST_F(ComThreadTest, EventThreadGoesOnAfterAHandlerThrows)
{
    m_port.setSyncMethod(smNone);
    std::atomic<int> calls{0};
    m_port.OnRing = [&](QObject *) {
        if (++calls == 1)
            throw std::runtime_error("first ring fails");
    };
    m_port.Open();
    m_line.line().raiseEvents(EV_RING);
    ASSERT_TRUE(QTest::qWaitFor([&] { return calls == 1; }, 10000));
    m_line.line().raiseEvents(EV_RING);
    EXPECT_TRUE(QTest::qWaitFor([&] { return calls == 2; }, 10000));
}

TEST_F(ComThreadTest, CloseFromAHandlerOnTheEventThreadIsRefusedNotHung)
{
    m_port.setSyncMethod(smNone);
    std::atomic<bool> refused{false};
    m_port.OnRing = [&](QObject *) {
        try {
            m_port.Close();
        } catch (const EComPort &e) {
            refused = std::string(e.what()) == "Operation failed: " + std::to_string(EDEADLK);
        }
    };
    m_port.Open();
    m_line.line().raiseEvents(EV_RING);
    ASSERT_TRUE(QTest::qWaitFor([&] { return refused.load(); }, 10000));
    EXPECT_TRUE(m_port.Connected());
    m_port.Close(); // from the window thread, as usual
    EXPECT_FALSE(m_port.Connected());
}

TEST_F(ComThreadTest, MessageWindowExistsOnlyWhileOpenInWindowMode)
{
    auto windows = [&] { return m_port.findChildren<ComMessageWindow *>().size(); };
    m_port.Open();
    EXPECT_EQ(windows(), 0);
    m_port.Close();

    m_port.setSyncMethod(smWindow);
    m_port.Open();
    EXPECT_EQ(windows(), 1);
    m_port.Close();
    EXPECT_EQ(windows(), 0);
}

TEST_F(ComThreadTest, MessageWindowCallsOneHandlerAndLeavesOtherEventsAlone)
{
    attachAllHandlers();
    ComMessageWindow window(m_port);
    QObject plain;
    for (const QEvent::Type type :
         {QEvent::Show, QEvent::User, QEvent::Type(CM_COMEVENT + 1), QEvent::MaxUser}) {
        QEvent other(type);
        const bool plainResult = QCoreApplication::sendEvent(&plain, &other);
        EXPECT_EQ(QCoreApplication::sendEvent(&window, &other), plainResult) << type;
    }
    ComEventMessage message(EV_DSR);
    EXPECT_TRUE(QCoreApplication::sendEvent(&window, &message));
    EXPECT_EQ(m_log.calls, std::vector<std::string>{"DSR"});
}

TEST_F(ComThreadTest, ReadBytesOnPseudoTerminalReachRxChar)
{
    PtyPair pty;
    m_port.setDevicePath(pty.path());
    attachAllHandlers();
    m_port.Open();
    ASSERT_EQ(::write(pty.master(), "+CMT", 4), 4);
    ASSERT_TRUE(waitForCalls(1));
    EXPECT_EQ(m_log.calls.front(), "RxChar");
    EXPECT_EQ(m_log.inQueues.front(), 4);

    EXPECT_EQ(m_port.WriteStr("AT\r", true), 3);
    ASSERT_TRUE(waitForCalls(2));
    EXPECT_EQ(m_log.calls.back(), "TxEmpty");
}

} // namespace
