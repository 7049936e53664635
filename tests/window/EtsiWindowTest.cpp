// The main window with the standard's dialect chosen: what it writes on
// Connect, Register and Send, what it makes of the answers, and that the
// choice is kept.
#include "WindowHarness.h"

#include "controls/Getdata.h"
#include "session/Timer.h"

#include <QCheckBox>
#include <QPushButton>

namespace {

const QByteArray ok = "\r\nOK\r\n";
const QByteArray rangeAnswer = "\r\n+CMGS: (0-16777214,00000001-10231638316777214,1-255,"
                               "0-999999999999999999999999),(8-1184)\r\n\r\nOK\r\n";
const QByteArray selection = "AT+CTSDS=12,0,0,0,1\r";

class EtsiWindowTest : public WindowHarness
{
protected:
    void chooseEtsi() { form->RadioProfileComboBox->setCurrentIndex(int(RadioProfile::Etsi)); }

    void connectEtsi()
    {
        chooseEtsi();
        form->ConnectButtonClick();
        ASSERT_EQ(line->takeOutput(), QByteArray("AT\r"));
        receive(ok);
        ASSERT_EQ(form->RadioState, rsReady);
        ASSERT_EQ(line->takeOutput(), QByteArray("AT+CMGS=?\r"));
    }

    void registered()
    {
        ASSERT_NO_FATAL_FAILURE(connectEtsi());
        receive(rangeAnswer);
        form->ProtocolIdentifierEdit->setText("130");
        form->RegisterButtonClick();
        ASSERT_EQ(line->takeOutput(), QByteArray("AT+CTSP=1,3,130\r"));
        receive(ok);
        ASSERT_EQ(form->RadioState, rsRegistered);
    }

    void compose(const char *destination, const QString &text)
    {
        form->DestISSI_Edit->setText(destination);
        form->Message_Edit->setEditText(text);
    }

    int messageLines(const QString &text) const
    {
        return int(lines(form->MessagesPad_Memo).filter(text).size());
    }
};

} // namespace

TEST_F(EtsiWindowTest, ConnectAsksForTheLongestMessageAndUsesTheRadiosLimit)
{
    ASSERT_NO_FATAL_FAILURE(connectEtsi());
    EXPECT_EQ(form->UserDataBitLimit(), 2047);
    EXPECT_EQ(form->messagesAwaitingAnswer(), 0);
    receive(rangeAnswer);
    EXPECT_EQ(form->UserDataBitLimit(), 1184);
    // The range is no completion, and the state is still ready to register.
    EXPECT_EQ(messageLines(": Send command completed successfully."), 0);
    EXPECT_EQ(form->RadioState, rsReady);

    // The next connection starts from the default again.
    form->DisconnectButtonClick();
    form->ConnectButtonClick();
    EXPECT_EQ(form->UserDataBitLimit(), 2047);
}

TEST_F(EtsiWindowTest, UnusableRangeKeepsTheDefaultAndTheCmtProfileNeverAsks)
{
    ASSERT_NO_FATAL_FAILURE(connectEtsi());
    receive("\r\nERROR\r\n");
    EXPECT_EQ(form->UserDataBitLimit(), 2047);

    form->DisconnectButtonClick();
    form->RadioProfileComboBox->setCurrentIndex(int(RadioProfile::Cmt));
    connectProbed();
    EXPECT_TRUE(line->takeOutput().isEmpty());
    EXPECT_EQ(form->UserDataBitLimit(), 2047);
}

TEST_F(EtsiWindowTest, FirstMessageOfEachConnectionSelectsTheServiceFirst)
{
    ASSERT_NO_FATAL_FAILURE(registered());
    compose("4321", "Hi");
    form->SendButtonClick();
    // The message waits for the selection's own answer.
    EXPECT_EQ(line->takeOutput(), selection);
    receive(ok);
    EXPECT_EQ(form->RadioState, rsSending) << "the selection's OK completes nothing";
    EXPECT_EQ(line->takeOutput(), QByteArray("AT+CMGS=4321,48\r\n820000014869\x1a"));
    receive("\r\n+CMGS: 0,4,0\r\n\r\nOK\r\n");
    EXPECT_EQ(form->RadioState, rsRegistered);
    EXPECT_EQ(messageLines(": Send command completed successfully."), 1);

    form->SendButtonClick();
    EXPECT_EQ(line->takeOutput(), QByteArray("AT+CMGS=4321,48\r\n820001014869\x1a"));
    receive("\r\n+CMGS: 0\r\n\r\nOK\r\n");
    EXPECT_EQ(messageLines(": Send command completed successfully."), 2);

    // A new connection selects the service again.
    form->DisconnectButtonClick();
    form->ConnectButtonClick();
    line->takeOutput();
    receive(ok);
    receive(rangeAnswer);
    line->takeOutput();
    form->SendButtonClick();
    EXPECT_TRUE(line->takeOutput().startsWith(selection));
}

TEST_F(EtsiWindowTest, SelectionWaitsWithTheMessageWhileTheRadioIsNotReady)
{
    ASSERT_NO_FATAL_FAILURE(registered());
    compose("4321", "Hi");
    line->setCts(false);
    form->SendButtonClick();
    EXPECT_TRUE(line->takeOutput().isEmpty());
    EXPECT_TRUE(form->CTS->Enabled());

    line->setCts(true);
    form->CTSTimer();
    EXPECT_EQ(line->takeOutput(), selection);
    EXPECT_EQ(form->messagesAwaitingAnswer(), 1);
    receive(ok);
    EXPECT_EQ(line->takeOutput(), QByteArray("AT+CMGS=4321,48\r\n820000014869\x1a"));
    receive("\r\n+CMGS: 0,4,0\r\n\r\nOK\r\n");
    EXPECT_EQ(form->RadioState, rsRegistered);
    EXPECT_EQ(messageLines(": Send command completed successfully."), 1);

    form->SendButtonClick();
    EXPECT_FALSE(line->takeOutput().contains("CTSDS"));
}

TEST_F(EtsiWindowTest, RefusalIsShownAndTheStateStaysSending)
{
    ASSERT_NO_FATAL_FAILURE(registered());
    compose("4321", "Hi");
    form->SendButtonClick();
    line->takeOutput();
    receive(ok);
    receive("\r\n+CME ERROR: 35\r\n");
    EXPECT_EQ(messageLines(": CME ERROR received from MS with error code: 35"), 1);
    EXPECT_EQ(form->RadioState, rsSending);
    EXPECT_EQ(form->messagesAwaitingAnswer(), 0);
}

TEST_F(EtsiWindowTest, PeerFromAFullItsiIsShownAndAnsweredToThatIdentity)
{
    ASSERT_NO_FATAL_FAILURE(registered());
    receive("\r\n+CTSDSR: 12,262100012345678,0,1234,0,48\r\n82060701"
            "4869\r\n");
    // The text as a person reads it, without its coding octet.
    EXPECT_EQ(messageLines(QStringLiteral(": Message received from 262100012345678: Hi")), 1);
    // A report is Short Data too: the service is selected before it, for
    // the form of the identity it goes to.
    EXPECT_EQ(line->takeOutput(), QByteArray("AT+CTSDS=12,1,0,0,1\r"));
    receive(ok);
    EXPECT_EQ(line->takeOutput(), QByteArray("AT+CMGS=262100012345678,32\r\n82100007\x1a"));
    EXPECT_FALSE(form->reportPauseActive());
    EXPECT_EQ(form->messagesAwaitingAnswer(), 0);

    receive("\r\n+CMGS: 0,4,7\r\n\r\nOK\r\n");
    receive("\r\n+CTSDSR: 12,262100012345678,0,1234,0,48\r\n82060801"
            "4869\r\n");
    EXPECT_EQ(line->takeOutput(), QByteArray("AT+CMGS=262100012345678,32\r\n82100008\x1a"));
}

TEST_F(EtsiWindowTest, StatusAcknowledgementAndShortReportAreShownAndNeverAnswered)
{
    ASSERT_NO_FATAL_FAILURE(registered());
    receive("\r\n+CTSDSR: 13,1234567,0,2345678,0,16\r\n8004\r\n");
    receive("\r\n+CTSDSR: 12,1234567,0,2345678,0,32\r\n822001C9\r\n");
    receive("\r\n+CTSDSR: 13,1234567,0,2345678,0,16\r\n7FCA\r\n");
    receive("\r\n+CTSDSR: 12,12a4567,0,2345678,0,32\r\n82060101\r\n");
    EXPECT_EQ(messageLines(": Status received from 1234567: 8004"), 1);
    EXPECT_EQ(messageLines(": Acknowledgement received."), 1);
    EXPECT_EQ(messageLines(": Short report received: message consumed"), 1);
    EXPECT_EQ(messageLines(": Malformed message from radio ignored."), 1);
    EXPECT_TRUE(line->takeOutput().isEmpty());
}

TEST_F(EtsiWindowTest, ProfileIsChosenWhileDisconnectedAndKeptInTheSettings)
{
    EXPECT_EQ(form->radioProfile(), RadioProfile::Cmt);
    EXPECT_EQ(form->RadioProfileComboBox->currentText(), QStringLiteral("PEI with +CMT"));
    EXPECT_TRUE(form->RadioProfileComboBox->isEnabled());
    ASSERT_NO_FATAL_FAILURE(connectEtsi());
    EXPECT_FALSE(form->RadioProfileComboBox->isEnabled());
    form->DisconnectButtonClick();
    EXPECT_TRUE(form->RadioProfileComboBox->isEnabled());

    form.reset();
    form = std::make_unique<TForm1>(settingsDir.filePath("corvane.set"));
    EXPECT_EQ(form->radioProfile(), RadioProfile::Etsi);
    EXPECT_EQ(form->RadioProfileComboBox->currentText(),
              QStringLiteral("ETSI EN 300 392-5 (+CTSDSR)"));
}

TEST_F(EtsiWindowTest, StoredProfileThatNamesNoneShowsTheDefault)
{
    form.reset();
    QFile file(settingsDir.filePath("corvane.set"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[TForm1]\nRadioProfileComboBox=7\n");
    file.close();
    form = std::make_unique<TForm1>(settingsDir.filePath("corvane.set"));
    EXPECT_EQ(form->RadioProfileComboBox->currentIndex(), int(RadioProfile::Cmt));
    EXPECT_EQ(form->radioProfile(), RadioProfile::Cmt);
}

TEST_F(EtsiWindowTest, RegistrationWaitsForItsOwnAnswer)
{
    ASSERT_NO_FATAL_FAILURE(connectEtsi());
    receive(rangeAnswer);
    // A peer's report request comes first: the selection and the report go out.
    receive("\r\n+CTSDSR: 12,5678,0,1234,0,48\r\n820601014869\r\n");
    EXPECT_EQ(line->takeOutput(), selection);
    form->ProtocolIdentifierEdit->setText("130");
    form->RegisterButtonClick();
    // The selection's OK belongs to the selection, not to the registration.
    receive(ok);
    EXPECT_EQ(form->RadioState, rsRegistering);
    EXPECT_EQ(messageLines(": Registration successful."), 0);
    EXPECT_EQ(line->takeOutput(), QByteArray("AT+CMGS=5678,32\r\n82100001\x1a"));
    receive("\r\n+CMGS: 0,4,1\r\n\r\nOK\r\n");
    EXPECT_EQ(form->RadioState, rsRegistering);
    EXPECT_EQ(line->takeOutput(), QByteArray("AT+CTSP=1,3,130\r"));
    receive("\r\n+CME ERROR: 4\r\n");
    EXPECT_EQ(messageLines(": Registration refused by the radio: +CME ERROR: 4"), 1);
    EXPECT_EQ(messageLines(": Registration successful."), 0);
    EXPECT_FALSE(form->SendButton->isEnabled());
}
