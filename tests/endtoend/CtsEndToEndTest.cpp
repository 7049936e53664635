// The window's CTS retry end to end: only the in-process SIM device can
// drop its ready line on request (a pseudo-terminal has no CTS line).
#include "session/Timer.h"
#include "tests/endtoend/EndToEndWindow.h"
#include "tests/endtoend/EventLoopWait.h"
#include "tests/endtoend/SimRadio.h"

#include <QElapsedTimer>
#include <QPushButton>

using radiosim::RadioSim;

namespace {
constexpr int ctsDownMs = 1000;
// Long enough for several polls and retries after the send.
constexpr int settleMs = 600;
const QString messageCommand = QStringLiteral(" pc: AT+CMGS=4321,");
} // namespace

TEST(CtsEndToEnd, MessageHeldWhileCtsIsDownGoesOutOnceItRises)
{
    // The window lets go of the port before the radio goes.
    SimRadio radio{RadioSetup()};
    EndToEndWindow window;
    TForm1 &form = window.form();
    ASSERT_TRUE(window.connectTo(radio.portName()));
    ASSERT_TRUE(radio.portOpened());
    ASSERT_TRUE(window.registerAs(130));
    window.compose(4321, QStringLiteral("Held"));

    ASSERT_TRUE(radio.act([](RadioSim &sim) { sim.holdCtsDown(ctsDownMs); }));
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(window.press(form.SendButton));
    EXPECT_EQ(window.loggerEntriesStartingWith(messageCommand), 0) << "written while CTS was down";
    EXPECT_TRUE(form.CTS->isTicking()) << "not held for a retry";
    EXPECT_EQ(form.RadioState, rsSending);

    ASSERT_TRUE(waitUntil([&] { return window.loggerEntriesStartingWith(messageCommand) == 1; },
                          QStringLiteral("message written after CTS rose")));
    EXPECT_GE(clock.elapsed(), ctsDownMs * 9 / 10) << "written before CTS rose";
    ASSERT_TRUE(waitUntil(
        [&] {
            return window.messageEntries(
                       QStringLiteral(": Send command completed successfully.")) == 1;
        },
        QStringLiteral("completion")));
    EXPECT_FALSE(form.CTS->isTicking()) << "still retrying after the write";
    EXPECT_EQ(form.RadioState, rsRegistered);

    // Nothing more may follow: no second write, no timeout box.
    runEventLoopUntil([] { return false; }, settleMs);
    EXPECT_EQ(window.loggerEntriesStartingWith(messageCommand), 1);
    const std::optional<RadioSim::Counters> counters = radio.counters();
    ASSERT_TRUE(counters);
    EXPECT_EQ(counters->messagesCompleted, 1);
    EXPECT_EQ(counters->commandsSeen, 3) << "the probe, the registration and the message once";
}
