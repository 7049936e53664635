// A whole session in the standard's dialect, on both roads a port can take:
// the in-process SIM device, which follows the profile chosen in the
// window, and corvane-radiosim --dialect etsi on a pseudo-terminal.
#include "tests/endtoend/EndToEndWindow.h"
#include "tests/endtoend/EventLoopWait.h"
#include "tests/endtoend/RadioPathTest.h"

#include <QPushButton>
#include <QRegularExpression>

using radiosim::RadioSim;
using radiosim::SimDialect;

namespace {

constexpr int protocolId = 130;
constexpr int destination = 4321;
const QString completed = QStringLiteral(": Send command completed successfully.");
const QString reportReceived = QStringLiteral(": Report received with error code: ");
const QString selection = QStringLiteral(" pc: AT+CTSDS=12,0,0,0,1");
// A full ITSI: country 262, network 1000, ISSI 12345678.
const QString fullItsi = QStringLiteral("262100012345678");

class EtsiEndToEnd : public RadioPathTest
{
protected:
    void start(RadioSetup setup = {})
    {
        setup.dialect = SimDialect::Etsi;
        setup.followDialect = [this] {
            return window && window->form().radioProfile() == RadioProfile::Etsi ? SimDialect::Etsi
                                                                                 : SimDialect::Cmt;
        };
        ASSERT_NO_FATAL_FAILURE(startRadio(setup));
        ASSERT_TRUE(window->chooseProfile(RadioProfile::Etsi));
    }

    void registered() { registeredAs(protocolId); }
};

} // namespace

TEST_P(EtsiEndToEnd, ConnectRegisterAndSeriesOfTwentyWithBothReports)
{
    constexpr int repetitions = 20;
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_NO_FATAL_FAILURE(registered());
    EXPECT_EQ(window->loggerEntriesStartingWith(QStringLiteral(" pc: AT+CMGS=?")), 1);
    EXPECT_EQ(window->loggerEntriesStartingWith(QStringLiteral(" pc: AT+CTSP=1,3,130")), 1);
    // The radio's answer to the length query came before the registration's.
    EXPECT_EQ(form().UserDataBitLimit(), RadioSim::maxUserDataBits);

    window->compose(destination, QStringLiteral("Series"), repetitions, 50);
    ASSERT_TRUE(window->requestBothReports());
    ASSERT_TRUE(window->press(form().SendButton));
    ASSERT_TRUE(waitUntil(
        [&] {
            return form().SendButton->text() == QStringLiteral("Send") &&
                   form().messagesAwaitingAnswer() == 0 &&
                   window->messageEntriesStartingWith(reportReceived) == 2 * repetitions;
        },
        QStringLiteral("every completion and report")))
        << window->messageEntries(completed) << " completions, "
        << window->messageEntriesStartingWith(reportReceived) << " reports";
    EXPECT_EQ(window->messageEntries(completed), repetitions);
    EXPECT_EQ(window->messageEntries(reportReceived + QStringLiteral("00")), repetitions);
    EXPECT_EQ(window->messageEntries(reportReceived + QStringLiteral("02")), repetitions);
    EXPECT_EQ(form().RadioState, rsRegistered);
    // The service is selected once, before the first message only.
    EXPECT_EQ(window->loggerEntriesStartingWith(selection), 1);
    // Header, coding octet and six characters: 80 bits, two arguments.
    EXPECT_EQ(window->loggerEntriesStartingWith(QStringLiteral(" pc: AT+CMGS=4321,80")),
              repetitions);

    const RadioSim::Counters counters = closeAndCount();
    EXPECT_EQ(counters.registrations, 1);
    EXPECT_EQ(counters.messagesCompleted, repetitions);
    EXPECT_EQ(counters.reportsSent, 2 * repetitions);
    EXPECT_EQ(counters.messagesRefused, 0);
    EXPECT_EQ(counters.errorsAnswered, 0);
}

TEST_P(EtsiEndToEnd, PeerWithAFullItsiIsAnsweredWithBothReportsToThatIdentity)
{
    RadioSetup setup;
    setup.peerIssi = fullItsi.toULongLong();
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
    const QRegularExpressionMatch first =
        QRegularExpression(QStringLiteral("^821000([0-9A-F]{2})$")).match(verdicts.at(0).report);
    ASSERT_TRUE(first.hasMatch()) << verdicts.at(0).report.toStdString();
    EXPECT_EQ(verdicts.at(1).report, QStringLiteral("821002") + first.captured(1));
    EXPECT_EQ(window->messageEntries(QStringLiteral(": Message received from ") + fullItsi +
                                     QStringLiteral(": ") + QStringLiteral("Peer message 1")),
              1);
    EXPECT_GE(window->loggerEntriesStartingWith(QStringLiteral(" pc: AT+CMGS=") + fullItsi +
                                                QStringLiteral(",32")),
              2);
    // Reports are Short Data too: the service was selected before the first,
    // for a full identity.
    EXPECT_EQ(window->loggerEntriesStartingWith(QStringLiteral(" pc: AT+CTSDS=12,1,0,0,1")), 1);

    int shown = 0;
    ASSERT_TRUE(waitUntil(
        [&] {
            shown = window->messageEntriesStartingWith(QStringLiteral(": Message received from "));
            return !form().reportPauseActive() && radio->peerVerdicts().size() == 2 * shown;
        },
        QStringLiteral("verdict on every report")));
    const RadioSim::Counters counters = closeAndCount();
    EXPECT_EQ(counters.goodReports, 2 * shown);
    EXPECT_EQ(counters.badReports, 0);
    EXPECT_EQ(counters.messagesRefused, 0);
}

TEST_P(EtsiEndToEnd, StatusMessageIsShownAndNotAnswered)
{
    RadioSetup setup;
    setup.statusIntervalMs = 500;
    ASSERT_NO_FATAL_FAILURE(start(setup));
    ASSERT_NO_FATAL_FAILURE(registered());
    const QString status = QStringLiteral(": Status received from 5678: 8004");
    ASSERT_TRUE(waitUntil([&] { return window->messageEntries(status) >= 2; },
                          QStringLiteral("two status messages")));
    EXPECT_EQ(window->loggerEntriesStartingWith(QStringLiteral(" pc: AT+CMGS=5678")), 0);
    EXPECT_EQ(window->messageEntriesStartingWith(QStringLiteral(": Malformed")), 0);
    EXPECT_EQ(form().RadioState, rsRegistered);
}

TEST_P(EtsiEndToEnd, RefusedMessageShowsTheCmeErrorAndStaysSending)
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
    EXPECT_EQ(form().messagesAwaitingAnswer(), 0);

    const RadioSim::Counters counters = closeAndCount();
    EXPECT_EQ(counters.messagesRefused, 1);
    EXPECT_EQ(counters.messagesCompleted, 0);
}

TEST_P(EtsiEndToEnd, ReconnectSelectsTheServiceAgain)
{
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_NO_FATAL_FAILURE(registered());
    window->compose(destination, QStringLiteral("First"));
    ASSERT_TRUE(window->press(form().SendButton));
    ASSERT_TRUE(waitUntil([&] { return window->messageEntries(completed) == 1; },
                          QStringLiteral("first completion")));

    ASSERT_TRUE(window->press(form().DisconnectButton));
    ASSERT_TRUE(window->connectTo(radio->portName()));
    ASSERT_TRUE(window->registerAs(protocolId));
    window->compose(destination, QStringLiteral("Second"));
    ASSERT_TRUE(window->press(form().SendButton));
    ASSERT_TRUE(waitUntil([&] { return window->messageEntries(completed) == 2; },
                          QStringLiteral("completion after the reconnect")));
    EXPECT_EQ(window->loggerEntriesStartingWith(selection), 2);
    EXPECT_EQ(window->messageEntriesStartingWith(QStringLiteral(": CME ERROR")), 0);
}

INSTANTIATE_TEST_SUITE_P(BothPorts, EtsiEndToEnd, testing::Values(RadioPath::Sim, RadioPath::Pty),
                         radioPathTestName);
