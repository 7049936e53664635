// Two radio sessions in one process, each on its own simulated radio, with
// no window and no widget: they connect, register and run a series side
// by side, and each sees only its own radio.
#include "radiosim/SimDevice.h"
#include "serial/DeviceRegistry.h"
#include "session/RadioSession.h"
#include "session/SeriesStatistics.h"

#include <QCoreApplication>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

constexpr int waitMs = 20000;

// One session and everything it told its users.
struct ObservedSession
{
    explicit ObservedSession(const QString &device, quint8 protocolId) : port(device)
    {
        session.setMessageSource([protocolId] {
            return RadioSession::MessageFields{QByteArray::number(protocolId), "4321", "Hi", 20};
        });
        QObject::connect(&session, &RadioSession::messageEntry,
                         [this](const QByteArray &entry) { messages.append(entry); });
        QObject::connect(&session, &RadioSession::peiLogEntry,
                         [this](const QByteArray &entry) { logged.append(entry); });
    }

    int messagesContaining(const QByteArray &text) const
    {
        int found = 0;
        for (const QByteArray &entry : messages)
            found += entry.contains(text) ? 1 : 0;
        return found;
    }

    QString port;
    RadioSession session;
    QList<QByteArray> messages;
    QList<QByteArray> logged;
};

class TwoSessionsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        radiosim::registerSimDevice(QStringLiteral("SIM_A"), {});
        radiosim::RadioSimOptions other;
        other.dialect = radiosim::SimDialect::Etsi;
        other.issi = 2345;
        radiosim::registerSimDevice(QStringLiteral("SIM_B"), other);
    }
    void TearDown() override
    {
        serial::unregisterDevice(QStringLiteral("SIM_A"));
        serial::unregisterDevice(QStringLiteral("SIM_B"));
    }
};

TEST_F(TwoSessionsTest, EachSessionRunsItsSeriesOnItsOwnRadioAtTheSameTime)
{
    ASSERT_FALSE(QCoreApplication::instance()->inherits("QGuiApplication"));
    ObservedSession a(QStringLiteral("SIM_A"), 130);
    ObservedSession b(QStringLiteral("SIM_B"), 200);
    b.session.setProfile(RadioProfile::Etsi);

    for (ObservedSession *s : {&a, &b})
        ASSERT_TRUE(s->session.connectTo(s->port));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return a.session.RadioState == rsReady && b.session.RadioState == rsReady; },
        waitMs));
    a.session.registerApplication("130");
    b.session.registerApplication("200");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return a.session.RadioState == rsRegistered && b.session.RadioState == rsRegistered;
        },
        waitMs));

    for (ObservedSession *s : {&a, &b}) {
        s->session.setReportRequested(SeriesStatistics::ReceivedReportFlag, true);
        s->session.startSeries(5, 20);
    }
    const auto done = [](const ObservedSession &s) {
        const SeriesStatistics::Counts counts = s.session.seriesStatistics().counts();
        return counts.sent == 5 && counts.completed == 5 && counts.receivedReports == 5;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return done(a) && done(b); }, waitMs));

    EXPECT_EQ(a.messagesContaining(": Send command completed successfully."), 5);
    EXPECT_EQ(b.messagesContaining(": Send command completed successfully."), 5);
    // Each speaks its own dialect to its own radio.
    for (const QByteArray &entry : a.logged)
        EXPECT_FALSE(entry.contains("AT+CTSP")) << entry.constData();
    int registrations = 0;
    for (const QByteArray &entry : b.logged)
        registrations += entry.contains(" pc: AT+CTSP=1,3,200\r") ? 1 : 0;
    EXPECT_EQ(registrations, 1);
    EXPECT_NE(a.session.ComPort, b.session.ComPort);
}

} // namespace
