// The standard profile against a radio that speaks the standard as other
// implementations do, through the real window on both roads: report
// requests without the short-form bit, 7-field headers either way round,
// 17-digit identities, short reports, the codings of each protocol
// identifier, reports that ask for an acknowledgement, full identities as
// destinations, and received text as a person reads it.
#include "controls/Getdata.h"
#include "session/SeriesStatistics.h"
#include "tests/endtoend/EndToEndWindow.h"
#include "tests/endtoend/EventLoopWait.h"
#include "tests/endtoend/RadioPathTest.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

using radiosim::RadioSim;
using radiosim::SimDialect;

namespace {

constexpr int protocolId = 130;
// The radio's own identity: a message to it comes back as received.
const QString ownIssi = QStringLiteral("1234");
const QString longPeer = QStringLiteral("09011638300023404");

class StandardFormsEndToEnd : public RadioPathTest
{
protected:
    void start(RadioSetup setup)
    {
        setup.dialect = SimDialect::Etsi;
        ASSERT_NO_FATAL_FAILURE(startRadio(setup));
        ASSERT_TRUE(window->chooseProfile(RadioProfile::Etsi));
        ASSERT_NO_FATAL_FAILURE(registeredAs(protocolId));
    }

    // Sends one message and waits until nothing is owed for it.
    void sendAndWait(const QString &to, const QString &text, int pid = protocolId)
    {
        form().ProtocolIdentifierEdit->setText(QString::number(pid));
        form().DestISSI_Edit->setText(to);
        form().Message_Edit->setEditText(text);
        form().RepititionsEdit->setText(QStringLiteral("1"));
        ASSERT_TRUE(window->press(form().SendButton));
        ASSERT_TRUE(waitUntil([&] { return form().seriesStatistics().counts().stillWaiting == 0; },
                              QStringLiteral("the message's answers")));
    }

    // The peer's messages the radio judged answered by a good report.
    bool peerGotGoodReports(int count)
    {
        return waitUntil(
            [&] {
                int good = 0;
                for (const PeerVerdict &verdict : radio->peerVerdicts())
                    good += verdict.good ? 1 : 0;
                return good >= count;
            },
            QStringLiteral("good reports at the peer"));
    }

    int messageEntries(const QString &text) const { return window->messageEntries(text); }
};

TEST_P(StandardFormsEndToEnd, ARequestWithTheShortFormBitClearIsAnswered)
{
    RadioSetup setup;
    setup.peerIntervalMs = 300;
    setup.peerReportRequest = 0x04;
    ASSERT_NO_FATAL_FAILURE(start(setup));
    EXPECT_TRUE(peerGotGoodReports(2));
    EXPECT_GE(window->messageEntriesStartingWith(QStringLiteral(": Message received from 5678: ")),
              2);
}

TEST_P(StandardFormsEndToEnd, SevenFieldHeadersAreReadEitherWayRound)
{
    for (const radiosim::CtsdsrForm form :
         {radiosim::CtsdsrForm::Seven, radiosim::CtsdsrForm::SevenSwapped}) {
        RadioSetup setup;
        setup.peerIntervalMs = 300;
        setup.ctsdsrForm = form;
        ASSERT_NO_FATAL_FAILURE(start(setup));
        EXPECT_TRUE(peerGotGoodReports(1));
        EXPECT_EQ(window->messageEntriesStartingWith(QStringLiteral(": Malformed")), 0);
        const int notes =
            window->messageEntriesStartingWith(QStringLiteral(": +CTSDSR length taken from"));
        if (form == radiosim::CtsdsrForm::SevenSwapped)
            EXPECT_GE(notes, 1) << "which field was the length is said";
        else
            EXPECT_EQ(notes, 0);
        window.reset();
        radio.reset();
    }
}

TEST_P(StandardFormsEndToEnd, SeventeenDigitCallersAreShownAndAnsweredAsReceived)
{
    RadioSetup setup;
    setup.peerIntervalMs = 300;
    setup.peerIdentity = longPeer.toLatin1();
    ASSERT_NO_FATAL_FAILURE(start(setup));
    EXPECT_TRUE(peerGotGoodReports(1));
    EXPECT_GE(window->messageEntriesStartingWith(QStringLiteral(": Message received from ") +
                                                 longPeer + QStringLiteral(": Peer message")),
              1);
    // The service is selected for a full identity before the report goes to it.
    EXPECT_EQ(window->loggerEntriesStartingWith(QStringLiteral(" pc: AT+CTSDS=12,1,0,0,1")), 1);
}

TEST_P(StandardFormsEndToEnd, ShortReportsCountAsTheReportsTheyName)
{
    RadioSetup setup;
    setup.shortReports = true;
    ASSERT_NO_FATAL_FAILURE(start(setup));
    ASSERT_TRUE(window->requestBothReports());
    ASSERT_NO_FATAL_FAILURE(sendAndWait(QStringLiteral("4321"), QStringLiteral("short")));
    const SeriesStatistics::Counts counts = form().seriesStatistics().counts();
    EXPECT_EQ(counts.receivedReports, 1);
    EXPECT_EQ(counts.consumedReports, 1);
    EXPECT_EQ(counts.otherStatuses, 0);
    EXPECT_EQ(messageEntries(QStringLiteral(": Short report received: message received")), 1);
    EXPECT_EQ(messageEntries(QStringLiteral(": Short report received: message consumed")), 1);
}

TEST_P(StandardFormsEndToEnd, AShortReportOfAFailureIsNeverCountedAsReceived)
{
    RadioSetup setup;
    setup.shortReports = true;
    setup.shortReportType = 0; // protocol or encoding not supported
    ASSERT_NO_FATAL_FAILURE(start(setup));
    ASSERT_TRUE(window->requestBothReports());
    ASSERT_NO_FATAL_FAILURE(sendAndWait(QStringLiteral("4321"), QStringLiteral("unsupported")));
    const SeriesStatistics::Counts counts = form().seriesStatistics().counts();
    EXPECT_EQ(counts.receivedReports, 0);
    EXPECT_EQ(counts.consumedReports, 0);
    EXPECT_EQ(counts.otherStatuses, 2);
    EXPECT_EQ(messageEntries(
                  QStringLiteral(": Short report received: protocol or encoding not supported")),
              2);
}

TEST_P(StandardFormsEndToEnd, EachProtocolIdentifierIsCodedAsTheStandardSays)
{
    ASSERT_NO_FATAL_FAILURE(start(RadioSetup{}));
    // Immediate text: the text coding octet travels and is not shown.
    ASSERT_NO_FATAL_FAILURE(sendAndWait(ownIssi, QStringLiteral("pid test"), 137));
    EXPECT_EQ(window->loggerEntriesStartingWith(QStringLiteral(" pc: AT+CMGS=1234,96")), 1);
    ASSERT_TRUE(waitUntil(
        [&] {
            return messageEntries(QStringLiteral(": Message received from 1234: pid test")) == 1;
        },
        QStringLiteral("the immediate text looped back")));
    // Simple text: no SDS-TL header, so no report can be asked for.
    form().ProtocolIdentifierEdit->setText(QStringLiteral("2"));
    EXPECT_FALSE(form().CheckBoxRec->isEnabled());
    EXPECT_FALSE(form().ReportNoteLabel->text().isEmpty());
    ASSERT_NO_FATAL_FAILURE(sendAndWait(ownIssi, QStringLiteral("simple"), 2));
    EXPECT_EQ(window->loggerEntriesStartingWith(QStringLiteral(" pc: AT+CMGS=1234,64")), 1);
    ASSERT_TRUE(waitUntil(
        [&] { return messageEntries(QStringLiteral(": Message received from 1234: simple")) == 1; },
        QStringLiteral("the simple text looped back")));
    // Any other protocol goes as it always did, and says so.
    ASSERT_NO_FATAL_FAILURE(sendAndWait(QStringLiteral("4321"), QStringLiteral("x"), 200));
    EXPECT_EQ(messageEntries(
                  QStringLiteral(": Sent without a text coding octet (protocol identifier 200).")),
              1);
}

TEST_P(StandardFormsEndToEnd, ReportsThatAskForAnAcknowledgementGetOne)
{
    RadioSetup setup;
    setup.reportsAskAck = true;
    ASSERT_NO_FATAL_FAILURE(start(setup));
    ASSERT_TRUE(window->requestBothReports());
    ASSERT_NO_FATAL_FAILURE(sendAndWait(QStringLiteral("4321"), QStringLiteral("ack me")));
    ASSERT_TRUE(waitUntil(
        [&] {
            return window->loggerEntriesStartingWith(QStringLiteral(" pc: AT+CMGS=4321,32")) == 2;
        },
        QStringLiteral("both acknowledgements written")));
    const RadioSim::Counters counters = closeAndCount();
    EXPECT_EQ(counters.goodAcks, 2);
    EXPECT_EQ(counters.badAcks, 0);
}

TEST_P(StandardFormsEndToEnd, AFullIdentityDestinationSelectsTheServiceForItsForm)
{
    ASSERT_NO_FATAL_FAILURE(start(RadioSetup{}));
    ASSERT_NO_FATAL_FAILURE(sendAndWait(longPeer, QStringLiteral("to a full identity")));
    ASSERT_NO_FATAL_FAILURE(sendAndWait(QStringLiteral("4321"), QStringLiteral("to an SSI")));
    EXPECT_EQ(window->loggerEntriesStartingWith(QStringLiteral(" pc: AT+CTSDS=12,1,0,0,1")), 1);
    EXPECT_EQ(window->loggerEntriesStartingWith(QStringLiteral(" pc: AT+CTSDS=12,0,0,0,1")), 1);
    EXPECT_EQ(form().seriesStatistics().counts().completed, 1) << "the last series' message";
    EXPECT_EQ(window->messageEntries(QStringLiteral(": Send command completed successfully.")), 2);
}

TEST_P(StandardFormsEndToEnd, ReceivedTextReadsAsAPersonReadsIt)
{
    RadioSetup setup;
    setup.peerIntervalMs = 400;
    setup.peerCoding.ucs2 = true;
    setup.peerParts = 3;
    ASSERT_NO_FATAL_FAILURE(start(setup));
    // Three parts, each answered, shown once.
    ASSERT_TRUE(waitUntil(
        [&] {
            return window->messageEntriesStartingWith(
                       QStringLiteral(": Message received from 5678 (3 parts): ")) >= 1;
        },
        QStringLiteral("a long message put back together")));
    EXPECT_TRUE(peerGotGoodReports(3));
    EXPECT_GE(window->messageEntriesStartingWith(
                  QStringLiteral(": Message received from 5678 (3 parts): Peer message")),
              1);
}

INSTANTIATE_TEST_SUITE_P(BothPorts, StandardFormsEndToEnd,
                         testing::Values(RadioPath::Sim, RadioPath::Pty), radioPathTestName);

} // namespace
