#include "session/StopSignals.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QList>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

// Long enough for the event loop to come round on a loaded machine.
constexpr int deadlineMs = 10000;

bool processEventsUntil(const std::function<bool()> &condition)
{
    const QDeadlineTimer deadline(deadlineMs);
    while (!condition() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return condition();
}

volatile std::sig_atomic_t earlierHandlerCalls = 0;
void earlierHandler(int)
{
    earlierHandlerCalls = earlierHandlerCalls + 1;
}

TEST(StopSignalsTest, EachSignalReachesTheEventLoopInsteadOfEndingTheProcess)
{
    StopSignals stopSignals;
    QList<int> received;
    QObject::connect(&stopSignals, &StopSignals::received,
                     [&received](int signalNumber) { received.append(signalNumber); });
    ASSERT_EQ(std::raise(SIGTERM), 0);
    ASSERT_EQ(std::raise(SIGINT), 0);
    // Nothing is announced from inside the handler.
    EXPECT_TRUE(received.isEmpty());
    ASSERT_TRUE(processEventsUntil([&] { return received.size() == 2; }));
    EXPECT_EQ(received, (QList<int>{SIGTERM, SIGINT}));
    ASSERT_EQ(std::raise(SIGINT), 0);
    ASSERT_TRUE(processEventsUntil([&] { return received.size() == 3; }));
    EXPECT_EQ(received.last(), SIGINT);
}

TEST(StopSignalsTest, TheEarlierHandlingComesBackAfterwards)
{
    ASSERT_NE(std::signal(SIGINT, earlierHandler), SIG_ERR);
    {
        StopSignals stopSignals;
        EXPECT_THROW(StopSignals second, std::logic_error);
        // The failed second one leaves the first one's pipe in place.
        bool received = false;
        QObject::connect(&stopSignals, &StopSignals::received, [&received] { received = true; });
        ASSERT_EQ(std::raise(SIGINT), 0);
        ASSERT_TRUE(processEventsUntil([&] { return received; }));
        EXPECT_EQ(earlierHandlerCalls, 0);
    }
    ASSERT_EQ(std::raise(SIGINT), 0);
    EXPECT_EQ(earlierHandlerCalls, 1);
    ASSERT_NE(std::signal(SIGINT, SIG_DFL), SIG_ERR);
    struct sigaction term = {};
    ASSERT_EQ(::sigaction(SIGTERM, nullptr, &term), 0);
    EXPECT_EQ(term.sa_handler, SIG_DFL);
}

TEST(StopSignalsTest, NamesTheSignalsAShellSends)
{
    EXPECT_EQ(StopSignals::name(SIGINT), QStringLiteral("SIGINT"));
    EXPECT_EQ(StopSignals::name(SIGTERM), QStringLiteral("SIGTERM"));
    EXPECT_EQ(StopSignals::name(SIGHUP), QStringLiteral("signal %1").arg(SIGHUP));
}

} // namespace
