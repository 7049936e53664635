// The main window end to end against the simulated radio, on both roads a
// port can take: the in-process SIM device and the corvane-radiosim program
// on a pseudo-terminal. The window runs on its own timers throughout.
#include "tests/endtoend/EndToEndWindow.h"
#include "tests/endtoend/EventLoopWait.h"
#include "tests/endtoend/RadioPathTest.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QRegularExpression>

using radiosim::RadioSim;

namespace {

constexpr int protocolId = 130;
constexpr int destination = 4321;
const QString completed = QStringLiteral(": Send command completed successfully.");
const QString reportReceived = QStringLiteral(": Report received with error code: ");
const QString messageCommand = QStringLiteral(" pc: AT+CMGS=4321,");
const QString fromPeer = QStringLiteral(": Message received from 5678: ");

class ShortDataEndToEnd : public RadioPathTest
{
protected:
    void start(const RadioSetup &setup = {}) { startRadio(setup); }
    void registered() { registeredAs(protocolId); }
};

} // namespace

TEST_P(ShortDataEndToEnd, SingleMessageWithBothReportsCompletes)
{
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_NO_FATAL_FAILURE(registered());
    window->compose(destination, QStringLiteral("Hello radio"));
    ASSERT_TRUE(window->requestBothReports());
    ASSERT_EQ(form().ReportRequestFlags, 0x0C);

    ASSERT_TRUE(window->press(form().SendButton));
    EXPECT_EQ(form().RadioState, rsSending);
    ASSERT_TRUE(waitUntil([this] { return window->messageEntries(completed) == 1; },
                          QStringLiteral("completion")));
    EXPECT_EQ(window->messageEntriesStartingWith(reportReceived), 2);
    EXPECT_EQ(form().RadioState, rsRegistered);
    EXPECT_EQ(form().SendButton->text(), QStringLiteral("Send"));
    EXPECT_EQ(window->messageEntries(QStringLiteral(": Trying to send to 4321: Hello radio")), 1);
    // Three header octets, the text coding octet and eleven characters.
    EXPECT_EQ(window->loggerEntriesStartingWith(QStringLiteral(" pc: AT+CMGS=4321,1,0,120")), 1);

    const RadioSim::Counters counters = closeAndCount();
    EXPECT_EQ(counters.registrations, 1);
    EXPECT_EQ(counters.messagesCompleted, 1);
    EXPECT_EQ(counters.reportsSent, 2);
    EXPECT_EQ(counters.messagesRefused, 0);
    EXPECT_EQ(counters.errorsAnswered, 0);
}

TEST_P(ShortDataEndToEnd, SeriesOfTwentyIsSentAndCompletedWhole)
{
    constexpr int repetitions = 20;
    constexpr int delayMs = 50;
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_NO_FATAL_FAILURE(registered());
    window->compose(destination, QStringLiteral("Series"), repetitions, delayMs);

    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(window->press(form().SendButton));
    EXPECT_EQ(form().SendButton->text(), QStringLiteral("Stop"));
    ASSERT_TRUE(waitUntil(
        [this] {
            return form().SendButton->text() == QStringLiteral("Send") &&
                   form().RadioState == rsRegistered &&
                   window->messageEntries(completed) == repetitions;
        },
        QStringLiteral("end of the series with every completion")));
    EXPECT_GE(clock.elapsed(), (repetitions - 1) * delayMs * 9 / 10) << "the delay was not kept";
    EXPECT_EQ(window->messageEntries(QStringLiteral(": Trying to send to 4321: Series")),
              repetitions);
    EXPECT_EQ(window->loggerEntriesStartingWith(messageCommand), repetitions);

    const RadioSim::Counters counters = closeAndCount();
    EXPECT_EQ(counters.messagesCompleted, repetitions);
    EXPECT_EQ(counters.messagesRefused, 0);
    EXPECT_EQ(counters.errorsAnswered, 0);
}

TEST_P(ShortDataEndToEnd, PeerMessageIsShownAndAnsweredWithBothReports)
{
    RadioSetup setup;
    // Longer than the pause between the two reports, so the window keeps up.
    setup.peerIntervalMs = 3000;
    setup.peerReportRequest = 0x0E;
    ASSERT_NO_FATAL_FAILURE(start(setup));
    ASSERT_NO_FATAL_FAILURE(connected());

    ASSERT_TRUE(waitUntil([this] { return radio->peerVerdicts().size() >= 2; },
                          QStringLiteral("verdict on two reports"), 3 * stepTimeoutMs));
    const QList<PeerVerdict> verdicts = radio->peerVerdicts();
    EXPECT_TRUE(verdicts.at(0).good) << verdicts.at(0).report.toStdString();
    EXPECT_TRUE(verdicts.at(1).good) << verdicts.at(1).report.toStdString();
    // The received report, then the consumed report of the same message.
    const QRegularExpressionMatch first =
        QRegularExpression(QStringLiteral("^821000([0-9A-F]{2})$")).match(verdicts.at(0).report);
    ASSERT_TRUE(first.hasMatch()) << verdicts.at(0).report.toStdString();
    EXPECT_EQ(verdicts.at(1).report, QStringLiteral("821002") + first.captured(1));
    EXPECT_GE(verdicts.at(1).atMs - verdicts.at(0).atMs, 1800) << "the reports came too close";
    // The text coding octet of protocol 130 stays part of the shown text.
    EXPECT_EQ(window->messageEntries(fromPeer + QStringLiteral("\\x01Peer message 1")), 1);
    EXPECT_GE(window->loggerEntriesStartingWith(QStringLiteral(" pc: AT+CMGS=5678,1,0,32")), 2);

    // The peer goes on sending; every message shown must have been answered
    // with two good reports by the time the window lets go.
    int shown = 0;
    ASSERT_TRUE(waitUntil(
        [&] {
            shown = window->messageEntriesStartingWith(fromPeer);
            return !form().reportPauseActive() && radio->peerVerdicts().size() == 2 * shown;
        },
        QStringLiteral("verdict on every report")));
    const RadioSim::Counters counters = closeAndCount();
    EXPECT_EQ(counters.goodReports, 2 * shown);
    EXPECT_EQ(counters.badReports, 0);
    EXPECT_GE(counters.peerMessagesSent, shown);
}

TEST_P(ShortDataEndToEnd, RefusedMessageShowsTheCmeErrorAndStaysSending)
{
    RadioSetup setup;
    setup.refusedMessageCode = 35;
    ASSERT_NO_FATAL_FAILURE(start(setup));
    ASSERT_NO_FATAL_FAILURE(registered());
    window->compose(destination, QStringLiteral("Refused"));

    ASSERT_TRUE(window->press(form().SendButton));
    const QString cmeError = QStringLiteral(": CME ERROR received from MS with error code: 35");
    ASSERT_TRUE(waitUntil([&] { return window->messageEntries(cmeError) == 1; },
                          QStringLiteral("CME ERROR entry")));
    EXPECT_EQ(form().RadioState, rsSending);
    EXPECT_EQ(window->messageEntries(completed), 0);

    const RadioSim::Counters counters = closeAndCount();
    EXPECT_EQ(counters.messagesRefused, 1);
    EXPECT_EQ(counters.messagesCompleted, 0);
}

// As a radio simulator beside the window answers: a 1 ms series with both
// reports, on both roads, while the machine may be busy.
TEST_P(ShortDataEndToEnd, LongSeriesAtOneMillisecondWithReportsLosesNothing)
{
    constexpr int repetitions = 1000;
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_NO_FATAL_FAILURE(registered());
    window->compose(destination, QStringLiteral("Soak"), repetitions, 1);
    ASSERT_TRUE(window->requestBothReports());

    ASSERT_TRUE(window->press(form().SendButton));
    // The panes are long by now: they are counted only once the series is over.
    ASSERT_TRUE(waitUntil(
        [&] {
            return form().SendButton->text() == QStringLiteral("Send") &&
                   form().RadioState == rsRegistered && form().messagesAwaitingAnswer() == 0;
        },
        QStringLiteral("end of the series with every completion"), 15 * stepTimeoutMs))
        << "caption " << form().SendButton->text().toStdString() << ", state "
        << int(form().RadioState) << ", " << form().messagesAwaitingAnswer() << " waiting, "
        << form().RxBuffer.size() << " bytes held";
    ASSERT_TRUE(waitUntil(
        [&] { return window->messageEntriesStartingWith(reportReceived) == 2 * repetitions; },
        QStringLiteral("every report")));
    EXPECT_EQ(window->messageEntries(completed), repetitions);
    EXPECT_EQ(window->loggerEntriesStartingWith(messageCommand), repetitions);

    const RadioSim::Counters counters = closeAndCount();
    EXPECT_EQ(counters.messagesCompleted, repetitions);
    EXPECT_EQ(counters.reportsSent, 2 * repetitions);
    EXPECT_EQ(counters.messagesRefused, 0);
    EXPECT_EQ(counters.errorsAnswered, 0);
}

// A series and a talking peer at once: answers, reports and peer messages
// arrive interleaved, often in one read; each is counted once, where it belongs.
TEST_P(ShortDataEndToEnd, SeriesWhileAPeerTalksCountsEveryAnswerAndAnswersEveryPeer)
{
    constexpr int repetitions = 100;
    RadioSetup setup;
    setup.peerIntervalMs = 300;
    setup.peerReportRequest = 0x06;
    ASSERT_NO_FATAL_FAILURE(start(setup));
    ASSERT_NO_FATAL_FAILURE(registered());
    window->compose(destination, QStringLiteral("Busy"), repetitions, 50);
    ASSERT_TRUE(window->requestBothReports());

    ASSERT_TRUE(window->press(form().SendButton));
    ASSERT_TRUE(waitUntil(
        [&] {
            return form().SendButton->text() == QStringLiteral("Send") &&
                   form().messagesAwaitingAnswer() == 0 &&
                   window->messageEntriesStartingWith(reportReceived) == 2 * repetitions;
        },
        QStringLiteral("every completion and report"), 8 * stepTimeoutMs))
        << window->messageEntries(completed) << " completions, "
        << window->messageEntriesStartingWith(reportReceived) << " reports";
    EXPECT_EQ(window->messageEntries(completed), repetitions);
    EXPECT_EQ(form().RadioState, rsRegistered);

    // Every peer message shown has been answered with a good report.
    int shown = 0;
    QElapsedTimer sinceCounted;
    ASSERT_TRUE(waitUntil(
        [&] {
            shown = window->messageEntriesStartingWith(fromPeer);
            sinceCounted.start();
            return shown > 0 && radio->peerVerdicts().size() == shown;
        },
        QStringLiteral("a verdict on every peer message")));
    EXPECT_GE(shown, 10) << "the peer spoke about every 300 ms for 5 s";
    EXPECT_EQ(window->messageEntriesStartingWith(QStringLiteral(": Malformed")), 0);
    const RadioSim::Counters counters = closeAndCount();
    // The radio completes the window's reports to the peer as messages too.
    EXPECT_EQ(counters.messagesCompleted, repetitions + counters.goodReports);
    EXPECT_EQ(counters.reportsSent, 2 * repetitions);
    EXPECT_GE(counters.goodReports, shown);
    EXPECT_EQ(counters.badReports, 0);
    // The peer talks on until the window has closed: unseen may be the one
    // in flight when the window was counted and those the peer sent since,
    // however long a busy machine took to close the window.
    const qint64 sentSinceCounted = sinceCounted.elapsed() / setup.peerIntervalMs + 1;
    EXPECT_LE(counters.peerMessagesSent - shown, 1 + sentSinceCounted);
}

TEST_P(ShortDataEndToEnd, ReportsGiveTheirTrueStatusForCallersOfAnyLength)
{
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_NO_FATAL_FAILURE(registered());
    ASSERT_TRUE(window->requestBothReports());
    const QList<int> callers{7, 4321, 1234567, 16777215};
    for (const int caller : callers) {
        window->compose(caller, QStringLiteral("Who"));
        ASSERT_TRUE(window->press(form().SendButton));
        ASSERT_TRUE(waitUntil(
            [&] {
                return form().messagesAwaitingAnswer() == 0 &&
                       window->messageEntries(reportReceived + QStringLiteral("02")) ==
                           callers.indexOf(caller) + 1;
            },
            QStringLiteral("both reports from %1").arg(caller)));
    }
    EXPECT_EQ(window->messageEntries(reportReceived + QStringLiteral("00")), callers.size());
    EXPECT_EQ(window->messageEntriesStartingWith(reportReceived), 2 * callers.size());
}

TEST_P(ShortDataEndToEnd, EchoedProbeIsLoggedApartAndTheAnswerConnects)
{
    RadioSetup setup;
    setup.echoesProbe = true;
    ASSERT_NO_FATAL_FAILURE(start(setup));
    ASSERT_TRUE(window->pressConnect(radio->portName()));

    ASSERT_TRUE(waitUntil([this] { return form().RadioState == rsReady; },
                          QStringLiteral("the probe's answer")));
    EXPECT_EQ(window->loggerEntriesStartingWith(QStringLiteral(" ms:AT")), 1);
    EXPECT_TRUE(form().RegisterButton->isEnabled());
    EXPECT_EQ(window->messageEntries(
                  QStringLiteral(": Connection to radio successful. Radio supports AT commands.")),
              1);
}

INSTANTIATE_TEST_SUITE_P(BothPorts, ShortDataEndToEnd,
                         testing::Values(RadioPath::Sim, RadioPath::Pty), radioPathTestName);
