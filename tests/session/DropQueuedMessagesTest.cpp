// A series stopped with messages still waiting for their turn: those are
// never written and count as not sent, while the one written already still
// waits for its answer.
#include "radiosim/SimDevice.h"
#include "serial/DeviceRegistry.h"
#include "session/RadioSession.h"
#include "session/SeriesStatistics.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

constexpr int waitMs = 20000;

class DropQueuedMessagesTest : public testing::Test
{
protected:
    void SetUp() override
    {
        // The first message (after the probe and the registration) is never
        // answered, so the others wait behind it however slow the machine.
        radiosim::RadioSimOptions silent;
        silent.dropAnswer = 3;
        radiosim::registerSimDevice(QStringLiteral("SIM_SILENT"), silent);
    }
    void TearDown() override { serial::unregisterDevice(QStringLiteral("SIM_SILENT")); }
};

TEST_F(DropQueuedMessagesTest, QueuedMessagesAreNotSentAndTheWrittenOneStillCounts)
{
    RadioSession session;
    session.setAnswerTimeouts({5000, 5000});
    session.setMessageSource([] { return RadioSession::MessageFields{"130", "4321", "Hi", 1}; });
    QList<QByteArray> written;
    QObject::connect(&session, &RadioSession::peiLogEntry, [&written](const QByteArray &entry) {
        if (entry.contains(" pc: AT+CMGS="))
            written.append(entry);
    });
    ASSERT_TRUE(session.connectTo(QStringLiteral("SIM_SILENT")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.RadioState == rsReady; }, waitMs));
    session.registerApplication("130");
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.RadioState == rsRegistered; }, waitMs));
    const int registrations = int(written.size());

    session.startSeries(5, 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !session.seriesRunning(); }, waitMs));
    SeriesStatistics::Counts counts = session.seriesStatistics().counts();
    ASSERT_EQ(counts.scheduled, 5);
    ASSERT_EQ(counts.sent, 1);

    session.dropQueuedMessages();
    counts = session.seriesStatistics().counts();
    EXPECT_EQ(counts.queued, 0);
    EXPECT_EQ(counts.notSent, 4);
    EXPECT_EQ(counts.stillWaiting, 1);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return session.seriesStatistics().counts().noAnswer == 1; }, waitMs));
    EXPECT_EQ(session.RadioState, rsRegistered);
    // Nothing more is written once the one in flight is done with.
    session.registerApplication("130");
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.RadioState == rsRegistered; }, waitMs));
    EXPECT_EQ(written.size(), registrations + 2) << "one message and one more registration";
    EXPECT_EQ(session.seriesStatistics().counts().stillWaiting, 0);
}

} // namespace
