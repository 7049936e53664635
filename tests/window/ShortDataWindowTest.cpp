#include "WindowHarness.h"

#include "controls/Getdata.h"
#include "serial/Comms.h"
#include "session/Timer.h"
#include "text/IntegerConversionError.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMutex>
#include <QPushButton>

namespace {

const QByteArray completion = "\r\n+CMGS: 0\r\n\r\nOK\r\n";

class ShortDataWindowTest : public WindowHarness
{
protected:
    void registered(const char *protocolId = "130")
    {
        connectProbed();
        form->ProtocolIdentifierEdit->setText(protocolId);
        form->RegisterButtonClick();
        line->takeOutput();
        receive(completion);
        ASSERT_EQ(form->RadioState, 3);
    }

    void compose(const char *destination, const QString &text)
    {
        form->DestISSI_Edit->setText(destination);
        form->Message_Edit->setEditText(text);
    }

    // Records when each write reached the line.
    void recordWrites()
    {
        clock.start();
        line->setWriteHook([this](const QByteArray &bytes) {
            QMutexLocker lock(&writesMutex);
            writes.append({clock.elapsed(), bytes});
        });
    }
    QList<QPair<qint64, QByteArray>> recordedWrites()
    {
        QMutexLocker lock(&writesMutex);
        return writes;
    }

    // The radio completes every message and report written so far.
    void completeWritten()
    {
        const int written = int(line->takeOutput().count("AT+CMGS="));
        for (int i = 0; i < written; ++i)
            receive(completion);
    }

    QElapsedTimer clock;
    QMutex writesMutex;
    QList<QPair<qint64, QByteArray>> writes;
};

} // namespace

TEST_F(ShortDataWindowTest, RegisterWritesTheCommandAndOnlyItsAcceptanceEnablesSending)
{
    connectProbed();
    form->ProtocolIdentifierEdit->setText("130");
    form->RegisterButtonClick();
    EXPECT_EQ(line->takeOutput(), QByteArray("AT+CMGS=0,1,0,8\r82\x1a"));
    EXPECT_EQ(form->RadioState, 2);
    EXPECT_TRUE(
        lines(form->MessagesPad_Memo).last().endsWith(": Trying to register this application."));
    EXPECT_TRUE(
        form->CommandLogger_Memo->lines().join(QLatin1Char('\n')).contains(" pc: AT+CMGS=0,1,0,8"));

    // The answer to the registration command is the one that counts: a
    // refusal is shown as one, and a later "OK" answers nothing.
    receive("\r\n+CMGS: 1\r\n\r\nOK\r\n");
    EXPECT_TRUE(
        lines(form->MessagesPad_Memo).last().endsWith(": Registration refused by the radio: OK"));
    receive("\r\nOK\r\n");
    EXPECT_EQ(form->RadioState, 2);
    EXPECT_FALSE(form->SendButton->isEnabled());
    EXPECT_TRUE(form->RegisterButton->isEnabled());

    form->RegisterButtonClick();
    EXPECT_EQ(line->takeOutput(), QByteArray("AT+CMGS=0,1,0,8\r82\x1a"));
    receive(completion);
    EXPECT_EQ(form->RadioState, 3);
    EXPECT_TRUE(lines(form->MessagesPad_Memo).last().endsWith(": Registration successful."));
    EXPECT_FALSE(form->RegisterButton->isEnabled());
    for (QWidget *w : std::initializer_list<QWidget *>{
             form->SendButton, form->CheckBoxRec, form->CheckBoxCon, form->DestISSI_Edit,
             form->Message_Edit, form->RepititionsEdit, form->DelayEdit,
             form->ProtocolIdentifierEdit})
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
}

TEST_F(ShortDataWindowTest, SendWritesTheMessageAndItsCompletionReturnsToRegistered)
{
    registered();
    form->CheckBoxRec->click();
    compose("1234", "  Hi ");
    form->SendButtonClick();
    EXPECT_EQ(line->takeOutput(), QByteArray("AT+CMGS=1234,1,0,48\r820400014869\x1a"));
    EXPECT_EQ(form->RadioState, 4);
    EXPECT_EQ(form->MessageReference, 1);
    EXPECT_EQ(form->Message_Edit->itemText(0), "Hi");
    EXPECT_TRUE(lines(form->MessagesPad_Memo).last().endsWith(": Trying to send to 1234: Hi"));
    EXPECT_EQ(form->SendButton->text(), "Send");

    receive(completion + "\r\n+CMT: 1234,0,32\r\n82100000\r\n");
    EXPECT_EQ(form->RadioState, 3);
    const QStringList messages = lines(form->MessagesPad_Memo);
    ASSERT_GE(messages.size(), 2);
    EXPECT_TRUE(
        messages.at(messages.size() - 2).endsWith(": Send command completed successfully."));
    EXPECT_TRUE(messages.last().endsWith(": Report received with error code: 00"));
}

TEST_F(ShortDataWindowTest, CmeErrorIsShownAndTheStateStaysSending)
{
    registered("200");
    compose("1234", "Hi");
    form->SendButtonClick();
    EXPECT_EQ(line->takeOutput(), QByteArray("AT+CMGS=1234,1,0,40\rC800004869\x1a"));
    receive("\r\n+CME ERROR: 35\r\n");
    EXPECT_EQ(form->RadioState, 4);
    EXPECT_TRUE(lines(form->MessagesPad_Memo)
                    .last()
                    .endsWith(": CME ERROR received from MS with error code: 35"));
}

TEST_F(ShortDataWindowTest, ReferenceWrapsAndEveryRepetitionCarriesTheNextOne)
{
    registered("200");
    form->MessageReference = 255;
    compose("9", "");
    form->SendButtonClick();
    EXPECT_EQ(line->takeOutput(), QByteArray("AT+CMGS=9,1,0,24\rC800FF\x1a"));
    EXPECT_EQ(form->MessageReference, 0);
    receive(completion);
    form->SendButtonClick();
    EXPECT_EQ(line->takeOutput(), QByteArray("AT+CMGS=9,1,0,24\rC80000\x1a"));
}

TEST_F(ShortDataWindowTest, LatinOneTextIsOneOctetPerCharacter)
{
    registered("200");
    compose("9", QString::fromUtf8("\xc3\xa9\xe2\x82\xac")); // e-acute, then the euro sign
    form->SendButtonClick();
    EXPECT_EQ(line->takeOutput(), QByteArray("AT+CMGS=9,1,0,40\rC80000E93F\x1a"));
}

TEST_F(ShortDataWindowTest, RefusedSendIsHeldForTheRetryTimerInStateSending)
{
    registered("200");
    line->setCts(false);
    compose("1234", "Hi");
    form->SendButtonClick();
    EXPECT_TRUE(line->output().isEmpty());
    EXPECT_TRUE(lines(form->MessagesPad_Memo).last().endsWith(": Trying to send to 1234: Hi"));
    EXPECT_EQ(form->RadioState, 4);
    EXPECT_TRUE(form->CTS->Enabled());
    EXPECT_EQ(form->PendingCommand, QByteArray("AT+CMGS=1234,1,0,40\rC800004869\x1a"));
    EXPECT_EQ(form->MessageReference, 1);
    line->setCts(true);
    form->CTSTimer();
    EXPECT_EQ(line->takeOutput(), form->PendingCommand);
}

TEST_F(ShortDataWindowTest, ADestinationTheRadioCannotTakeIsRefusedNeverChanged)
{
    registered("200");
    // Typed and left: the number stays as typed, and is refused beside the field.
    form->DestISSI_Edit->setFocus();
    compose("262100009876543", "Hi");
    QTest::keyClick(form->DestISSI_Edit, Qt::Key_Tab);
    EXPECT_EQ(form->DestISSI_Edit->text(), "262100009876543");
    EXPECT_FALSE(form->DestinationWarningLabel->text().isEmpty());
    EXPECT_TRUE(form->DestinationWarningLabel->toolTip().contains("Not an ISSI"));
    form->SendButtonClick();
    EXPECT_TRUE(line->output().isEmpty()) << "nothing is sent, least of all to another ISSI";
    EXPECT_TRUE(lines(form->MessagesPad_Memo).last().contains(": Not sent to 262100009876543: "));
    for (const char *refused : {"16777216", "0", "12a"}) {
        compose(refused, "Hi");
        form->SendButtonClick();
        EXPECT_TRUE(line->output().isEmpty()) << refused;
    }
    EXPECT_EQ(form->seriesStatistics().counts().scheduled, 0);

    compose("16777215", "Hi");
    EXPECT_TRUE(form->DestinationWarningLabel->text().isEmpty());
    form->ProtocolIdentifierEdit->setText("300");
    form->SendButtonClick();
    EXPECT_EQ(line->takeOutput(), QByteArray("AT+CMGS=16777215,1,0,40\rFF00004869\x1a"));
    receive(completion);

    form->DelayEdit->setText("-5");
    form->RepititionsEdit->setText("2");
    form->SendButtonClick();
    EXPECT_EQ(form->DelayTimer->Interval(), 0);
}

TEST_F(ShortDataWindowTest, ConnectKeepsTheReportChoiceAndRestartsTheReference)
{
    registered("200");
    form->CheckBoxRec->click();
    form->CheckBoxCon->click();
    EXPECT_EQ(form->ReportRequestFlags, 0x0C);
    compose("5", "");
    form->SendButtonClick();
    completeWritten();
    form->DisconnectButtonClick();
    form->ConnectButtonClick();
    // The boxes and the reports they ask for stay as the user left them.
    EXPECT_TRUE(form->CheckBoxRec->isChecked());
    EXPECT_TRUE(form->CheckBoxCon->isChecked());
    EXPECT_EQ(form->ReportRequestFlags, 0x0C);
    EXPECT_EQ(form->MessageReference, 0);
    line->takeOutput();
    receive("\r\nOK\r\n");
    form->RegisterButtonClick();
    receive(completion);
    line->takeOutput();
    form->SendButtonClick();
    EXPECT_EQ(line->takeOutput(), QByteArray("AT+CMGS=5,1,0,24\rC80C00\x1a"));
    form->CheckBoxCon->click();
    EXPECT_EQ(form->ReportRequestFlags, 0x04);
}

TEST_F(ShortDataWindowTest, SeriesSendsEveryRepetitionOnItsIntervalThenShowsSend)
{
    registered("200");
    compose("1234", "Hi");
    form->RepititionsEdit->setText("3");
    form->DelayEdit->setText("1000");
    recordWrites();
    form->SendButtonClick();
    EXPECT_EQ(form->SendButton->text(), "Stop");
    // The radio answers each message at once.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            completeWritten();
            return recordedWrites().size() == 3;
        },
        6000));
    EXPECT_EQ(form->SendButton->text(), "Send");
    const auto sent = recordedWrites();
    ASSERT_EQ(sent.size(), 3);
    EXPECT_LT(sent.at(0).first, 500);
    // One interval apart: never early, and late only by the machine's load.
    for (int i = 1; i < 3; ++i) {
        const qint64 gap = sent.at(i).first - sent.at(i - 1).first;
        EXPECT_GE(gap, 950) << i;
        EXPECT_LT(gap, 1800) << i;
    }
    EXPECT_TRUE(sent.at(0).second.contains("\rC800004869"));
    EXPECT_TRUE(sent.at(1).second.contains("\rC800014869"));
    EXPECT_TRUE(sent.at(2).second.contains("\rC800024869"));
    EXPECT_FALSE(form->DelayTimer->Enabled());
}

TEST_F(ShortDataWindowTest, StopEndsTheSeriesAtOnceAndTheNextClickStartsAFullOne)
{
    registered("200");
    compose("1", "x");
    form->RepititionsEdit->setText("5");
    form->DelayEdit->setText("100");
    const auto composed = [this] {
        return lines(form->MessagesPad_Memo).filter(": Trying to send to 1: x").size();
    };
    form->SendButtonClick();
    form->DelayTimerTimer();
    EXPECT_EQ(form->RepeatsLeft, 3);
    form->SendButtonClick(); // "Stop"
    EXPECT_EQ(form->SendButton->text(), "Send");
    EXPECT_FALSE(form->DelayTimer->Enabled());
    EXPECT_EQ(composed(), 2);

    form->SendButtonClick();
    EXPECT_EQ(form->RepeatsLeft, 4);
    EXPECT_EQ(form->SendButton->text(), "Stop");
    for (int i = 0; i < 4; ++i)
        form->DelayTimerTimer();
    EXPECT_EQ(form->SendButton->text(), "Send");
    EXPECT_EQ(composed(), 7);
    EXPECT_EQ(form->seriesStatistics().counts().scheduled, 5);
}

TEST_F(ShortDataWindowTest, DisconnectStopsTheSeriesAndWritesNothingMore)
{
    registered("200");
    compose("1", "x");
    form->RepititionsEdit->setText("3");
    form->DelayEdit->setText("50");
    form->SendButtonClick();
    EXPECT_EQ(line->takeOutput().count("AT+CMGS="), 1);
    form->DisconnectButtonClick();
    EXPECT_FALSE(form->SendButton->isEnabled());
    EXPECT_EQ(form->SendButton->text(), "Send");
    EXPECT_FALSE(form->DelayTimer->Enabled());
    EXPECT_FALSE(line->isOpen());
    EXPECT_EQ(lines(form->MessagesPad_Memo).filter(": Trying to send to 1: x").size(), 1);
}

TEST_F(ShortDataWindowTest, DelayZeroSendsOnlyTheFirstAndKeepsStop)
{
    registered("200");
    compose("1", "x");
    form->RepititionsEdit->setText("3");
    form->DelayEdit->setText("0");
    form->SendButtonClick();
    QTest::qWait(300);
    EXPECT_EQ(line->takeOutput().count("AT+CMGS="), 1);
    EXPECT_EQ(form->SendButton->text(), "Stop");
    form->SendButtonClick();
    EXPECT_EQ(form->SendButton->text(), "Send");
}

TEST_F(ShortDataWindowTest, FailingRepetitionEndsTheSeriesWithOneBox)
{
    registered("200");
    compose("1", "x");
    form->RepititionsEdit->setText("10");
    form->DelayEdit->setText("50");
    form->SendButtonClick();
    line->hangUp();
    // The next repetitions wait behind the first message's answer, so the
    // safety poll is what finds the port gone, within its second.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.isEmpty(); }, 10000));
    EXPECT_EQ(form->SendButton->text(), "Send");
    EXPECT_FALSE(form->DelayTimer->Enabled());
    // One box for the series; the poll timer reports the vanished port once too.
    EXPECT_LE(boxes.size(), 2);
}

TEST_F(ShortDataWindowTest, ReceivedMessageIsShownAndAnsweredWithBothReportsTwoSecondsApart)
{
    registered("200");
    recordWrites();
    receive("\r\n+CMT: 1234,0,48\r\n820E01014869\r\n");
    const QStringList messages = lines(form->MessagesPad_Memo);
    EXPECT_TRUE(messages.last().endsWith(QString(": Message received from 1234: ") + "\\x01Hi"));
    // The second report waits its spacing; the window stays live meanwhile.
    EXPECT_TRUE(form->reportPauseActive());
    receive(completion);
    ASSERT_TRUE(QTest::qWaitFor([&] { return recordedWrites().size() == 2; }, 10000));
    const auto sent = recordedWrites();
    EXPECT_EQ(sent.at(0).second, QByteArray("AT+CMGS=1234,1,0,32\r82100001\x1a"));
    EXPECT_EQ(sent.at(1).second, QByteArray("AT+CMGS=1234,1,0,32\r82100201\x1a"));
    EXPECT_GE(sent.at(1).first - sent.at(0).first, 1990);
    EXPECT_EQ(form->RadioState, 3); // reports leave the link state alone
}

TEST_F(ShortDataWindowTest, FieldsThatDoNotConvertAreMalformedAndOpenNoBox)
{
    registered("200");
    for (const char *length : {"", "abc", "99999999999"}) {
        receive(QByteArray("\r\n+CMT: 1234,0,") + length + "\r\n820601014869\r\n");
        EXPECT_TRUE(lines(form->MessagesPad_Memo)
                        .last()
                        .endsWith(": Malformed message from radio ignored."))
            << length;
    }
    receive("\r\n+CMT: 1234,0,48\r\nZZ0601014869\r\n");
    receive("\r\n+CMT: 1234,0,48\r\n8206QQ014869\r\n");
    EXPECT_EQ(
        lines(form->MessagesPad_Memo).filter(": Malformed message from radio ignored.").size(), 5);
    EXPECT_TRUE(boxes.isEmpty());
    EXPECT_TRUE(line->output().isEmpty()) << "nothing malformed is answered";
    EXPECT_TRUE(form->DataTimer->Enabled());
    receive("\r\n+CMT: 1234,0,48\r\n820601014869\r\n");
    EXPECT_TRUE(lines(form->MessagesPad_Memo).last().contains("Message received from 1234"));
}

TEST_F(ShortDataWindowTest, ControlCharactersInAReceivedTextCannotForgeALine)
{
    registered("200");
    receive("\r\n+CMT: 1234,0,104\r\n82000001410D0A31323A30303A3030\r\n");
    const QString last = lines(form->MessagesPad_Memo).last();
    EXPECT_TRUE(last.endsWith(": Message received from 1234: \\x01A\\x0D\\x0A12:00:00"))
        << last.toStdString();
    // The PEI logger keeps the radio's bytes as they came.
    EXPECT_TRUE(form->CommandLogger_Memo->lines().join('\n').contains("410D0A3132"));
}

TEST_F(ShortDataWindowTest, DelayChangesTakeEffectFromTheNextInterval)
{
    registered("200");
    compose("1", "x");
    form->RepititionsEdit->setText("4");
    form->DelayEdit->setText("5000");
    form->SendButtonClick();
    EXPECT_EQ(form->DelayTimer->Interval(), 5000);
    form->DelayEdit->setText("300");
    EXPECT_EQ(form->DelayTimer->Interval(), 5000);
    form->DelayTimerTimer();
    EXPECT_EQ(form->DelayTimer->Interval(), 300);
    EXPECT_TRUE(form->DelayTimer->Enabled());
}

TEST_F(ShortDataWindowTest, ReportThatFindsTheRadioNotReadyIsDropped)
{
    registered("200");
    line->setCts(false);
    receive("\r\n+CMT: 1234,0,48\r\n820601014869\r\n");
    EXPECT_TRUE(line->output().isEmpty());
    EXPECT_FALSE(form->CTS->Enabled());
    EXPECT_TRUE(lines(form->MessagesPad_Memo).last().contains("Message received from 1234"));
}

TEST_F(ShortDataWindowTest, MessageFieldTakesOnlyWhatFitsAndCountsWhatIsLeft)
{
    registered("130");
    QLineEdit *edit = form->Message_Edit->lineEdit();
    edit->setFocus();
    QTest::keyClicks(edit, QString(300, QLatin1Char('x')));
    EXPECT_EQ(form->Message_Edit->currentText().size(), 251);
    EXPECT_EQ(form->CharactersLeftLabel->text(), "0 characters left");

    form->ProtocolIdentifierEdit->setText("200");
    EXPECT_EQ(form->CharactersLeftLabel->text(), "1 character left");
    QTest::keyClicks(edit, "yz");
    EXPECT_EQ(form->Message_Edit->currentText().size(), 252);

    // A longer text from elsewhere is cut to the limit, and goes out whole.
    form->Message_Edit->setEditText(QString(1000, QLatin1Char('w')));
    form->DestISSI_Edit->setText("5");
    form->SendButtonClick();
    EXPECT_TRUE(line->takeOutput().startsWith("AT+CMGS=5,1,0,2040\r"));

    form->setUserDataBitLimit(1120);
    EXPECT_EQ(form->Message_Edit->currentText().size(), 137);
}

TEST_F(ShortDataWindowTest, CharactersOutsideLatin1AreNamedBesideTheFieldAndSentAsQuestionMarks)
{
    registered("200");
    EXPECT_TRUE(form->Latin1WarningLabel->text().isEmpty());
    compose("5", QStringLiteral("1\u20AC \u00E9"));
    EXPECT_TRUE(form->Latin1WarningLabel->text().contains(QStringLiteral("\u20AC U+20AC")));
    EXPECT_FALSE(form->Latin1WarningLabel->text().contains(QStringLiteral("\u00E9")));
    EXPECT_EQ(form->CharactersLeftLabel->text(), "248 characters left");
    form->SendButtonClick();
    EXPECT_EQ(line->takeOutput(), QByteArray("AT+CMGS=5,1,0,56\rC80000313F20E9\x1a"));
    compose("5", "plain");
    EXPECT_TRUE(form->Latin1WarningLabel->text().isEmpty());
}

// Answers that arrive back to back, each a response of its own, in one
// read: an answer read before its command was written cannot be its answer.
TEST_F(ShortDataWindowTest, CompletionsReadBeforeTheirMessageWasWrittenAnswerNothing)
{
    registered("200");
    compose("1234567", "x");
    for (int i = 0; i < 3; ++i)
        form->SendButtonClick();
    EXPECT_EQ(form->messagesAwaitingAnswer(), 3);
    EXPECT_EQ(line->takeOutput().count("AT+CMGS="), 1) << "one command in flight";
    receive(completion + "\r\n+CMT: 1234567,0,32\r\nC8100001\r\n" + completion + completion);
    QStringList messages = lines(form->MessagesPad_Memo);
    EXPECT_EQ(messages.filter(": Send command completed successfully.").size(), 1);
    EXPECT_EQ(messages.filter(": Report received with error code: 00").size(), 1);
    EXPECT_EQ(form->messagesAwaitingAnswer(), 2);
    // Each later message is written after the answer before it, and takes its own.
    EXPECT_EQ(line->takeOutput().count("AT+CMGS="), 1);
    receive(completion);
    EXPECT_EQ(line->takeOutput().count("AT+CMGS="), 1);
    receive(completion);
    messages = lines(form->MessagesPad_Memo);
    EXPECT_EQ(messages.filter(": Send command completed successfully.").size(), 3);
    EXPECT_EQ(form->messagesAwaitingAnswer(), 0);
    EXPECT_EQ(form->RadioState, 3);
}

TEST_F(ShortDataWindowTest, StateReturnsToRegisteredOnlyWhenNoMessageWaits)
{
    registered("200");
    compose("1", "x");
    form->SendButtonClick();
    form->SendButtonClick();
    receive(completion);
    EXPECT_EQ(form->RadioState, 4);
    EXPECT_EQ(form->messagesAwaitingAnswer(), 1);
    receive(completion);
    EXPECT_EQ(form->RadioState, 3);
    // A late completion with none waiting, in the registered state, is not shown.
    receive(completion);
    EXPECT_EQ(lines(form->MessagesPad_Memo).filter("completed successfully").size(), 2);
}

TEST_F(ShortDataWindowTest, EveryRefusalIsShownAndAnswersTheOldestMessage)
{
    registered("200");
    compose("1", "x");
    for (int i = 0; i < 3; ++i)
        form->SendButtonClick();
    receive("\r\nERROR\r\n");
    receive("\r\n+CMS ERROR: 512\r\n");
    const QStringList messages = lines(form->MessagesPad_Memo);
    EXPECT_TRUE(messages.at(messages.size() - 2).endsWith(": ERROR received from MS."));
    EXPECT_TRUE(messages.last().endsWith(": CMS ERROR received from MS with error code: 512"));
    EXPECT_EQ(form->messagesAwaitingAnswer(), 1);
    EXPECT_EQ(form->RadioState, 4);
    receive("\r\n+CME ERROR: 35\r\n");
    EXPECT_EQ(form->messagesAwaitingAnswer(), 0);
    // A refusal keeps the sending state.
    EXPECT_EQ(form->RadioState, 4);
}

TEST_F(ShortDataWindowTest, PeerMessageDuringASeriesIsShownAndAnsweredNotCountedAsAReport)
{
    registered("200");
    compose("4321", "x");
    form->SendButtonClick();
    line->takeOutput();
    receive(completion + "\r\n+CMT: 5678,0,48\r\n820609014869\r\n");
    const QStringList messages = lines(form->MessagesPad_Memo);
    EXPECT_TRUE(messages.last().endsWith(QString(": Message received from 5678: ") + "\\x01Hi"));
    EXPECT_TRUE(messages.filter(": Report received").isEmpty());
    EXPECT_EQ(line->takeOutput(), QByteArray("AT+CMGS=5678,1,0,32\r82100009\x1a"));
    EXPECT_EQ(form->RadioState, 3);
}

TEST_F(ShortDataWindowTest, CompletionOfAReportIsNotTakenForTheCompletionOfAMessage)
{
    registered("200");
    // Our report to a peer is written, then our message; the radio answers
    // both in that order.
    receive("\r\n+CMT: 5678,0,48\r\n820609014869\r\n");
    compose("4321", "x");
    form->SendButtonClick();
    receive(completion);
    EXPECT_EQ(form->RadioState, 4) << "the first completion belongs to the report";
    EXPECT_EQ(form->messagesAwaitingAnswer(), 1);
    EXPECT_TRUE(lines(form->MessagesPad_Memo).filter("completed successfully").isEmpty());
    receive(completion);
    EXPECT_EQ(form->RadioState, 3);
    EXPECT_EQ(form->messagesAwaitingAnswer(), 0);
    EXPECT_EQ(lines(form->MessagesPad_Memo).filter("completed successfully").size(), 1);
}

TEST_F(ShortDataWindowTest, ReportsGiveTheirStatusWhateverTheCallerIssiLengthAndState)
{
    connectProbed();
    receive("\r\n+CMT: 7,0,32\r\n82100201\r\n");
    receive("\r\n+CMT: 1234567,0,32\r\n82100001\r\n");
    receive("\r\n+CMT: 16777215,0,32\r\n8210ff02\r\n");
    const QStringList messages = lines(form->MessagesPad_Memo);
    ASSERT_GE(messages.size(), 3);
    EXPECT_TRUE(messages.at(messages.size() - 3).endsWith(": Report received with error code: 02"));
    EXPECT_TRUE(messages.at(messages.size() - 2).endsWith(": Report received with error code: 00"));
    EXPECT_TRUE(messages.last().endsWith(": Report received with error code: FF"));
    EXPECT_TRUE(line->output().isEmpty()) << "a report is never answered";
}

TEST_F(ShortDataWindowTest, IndicationWithAForgedCallerWritesNothing)
{
    registered("200");
    recordWrites();
    receive("\r\n+CMT: 5678\rAT+EVIL\r,0,32\r\n820E0041\r\n");
    receive("\r\n+CMT: 123456789,0,32\r\n820E0041\r\n");
    receive("\r\n+CMT: 16777216,0,32\r\n820E0041\r\n");
    EXPECT_FALSE(form->reportPauseActive());
    EXPECT_TRUE(recordedWrites().isEmpty());
    EXPECT_EQ(
        lines(form->MessagesPad_Memo).filter(": Malformed message from radio ignored.").size(), 3);
    // The raw bytes stay in the logger.
    EXPECT_TRUE(form->CommandLogger_Memo->lines().join(QLatin1Char('\n')).contains("AT+EVIL"));
}

TEST_F(ShortDataWindowTest, PauseBetweenReportsHoldsOnlyTheSecondReport)
{
    registered("200");
    compose("4321", "x");
    form->RepititionsEdit->setText("3");
    form->DelayEdit->setText("10");
    recordWrites();
    form->SendButtonClick();
    receive("\r\n+CMT: 5678,0,48\r\n820E01014869\r\n");
    // The series message is in flight; its completion comes, then the
    // first report is written and answered.
    receive(completion);
    EXPECT_EQ(lines(form->MessagesPad_Memo).filter("completed successfully").size(), 1);
    receive(completion);
    ASSERT_TRUE(form->reportPauseActive());
    // Meanwhile the series goes on and its answers are shown at once.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            completeWritten();
            return form->SendButton->text() == "Send" && form->messagesAwaitingAnswer() == 0;
        },
        10000));
    EXPECT_TRUE(form->reportPauseActive()) << "the series did not wait for the pause";
    EXPECT_EQ(lines(form->MessagesPad_Memo).filter("completed successfully").size(), 3);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->reportPauseActive(); }, 10000));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return line->output().contains("AT+CMGS=5678,1,0,32\r82100201\x1a"); }, 10000));
    // The second report came two seconds after the first.
    qint64 firstReportMs = -1;
    qint64 secondReportMs = -1;
    for (const auto &write : recordedWrites()) {
        if (write.second.contains("\r82100001"))
            firstReportMs = write.first;
        if (write.second.contains("\r82100201"))
            secondReportMs = write.first;
    }
    ASSERT_GE(firstReportMs, 0);
    ASSERT_GE(secondReportMs, 0);
    EXPECT_GE(secondReportMs - firstReportMs, 1990);
}

TEST_F(ShortDataWindowTest, RefusedRegistrationDuringTheReportPauseShowsTheRefusal)
{
    registered("200");
    receive("\r\n+CMT: 5678,0,48\r\n820E01014869\r\n");
    receive(completion); // the first report's answer
    ASSERT_TRUE(form->reportPauseActive());
    line->takeOutput();
    form->ProtocolIdentifierEdit->setText("131");
    form->RegisterButtonClick();
    EXPECT_EQ(line->takeOutput(), QByteArray("AT+CMGS=0,1,0,8\r83\x1a")) << "not held by the pause";
    receive("\r\n+CME ERROR: 3\r\n");
    const QStringList messages = lines(form->MessagesPad_Memo);
    EXPECT_TRUE(messages.last().endsWith(": Registration refused by the radio: +CME ERROR: 3"));
    EXPECT_TRUE(messages.filter(": Registration successful.").size() == 1) << "only the first";
}

TEST_F(ShortDataWindowTest, RefusedRegistrationBeforeAReportsAnswerShowsTheRefusal)
{
    registered("200");
    receive("\r\n+CMT: 5678,0,48\r\n820601014869\r\n");
    EXPECT_EQ(line->takeOutput(), QByteArray("AT+CMGS=5678,1,0,32\r82100001\x1a"));
    form->ProtocolIdentifierEdit->setText("131");
    form->RegisterButtonClick();
    EXPECT_TRUE(line->output().isEmpty()) << "the registration waits for the report's answer";
    // The report's answer belongs to the report, not to the registration.
    receive(completion);
    EXPECT_EQ(line->takeOutput(), QByteArray("AT+CMGS=0,1,0,8\r83\x1a"));
    EXPECT_EQ(lines(form->MessagesPad_Memo).filter(": Registration successful.").size(), 1);
    receive("\r\nERROR\r\n");
    EXPECT_TRUE(lines(form->MessagesPad_Memo)
                    .last()
                    .endsWith(": Registration refused by the radio: ERROR"));
    EXPECT_EQ(lines(form->MessagesPad_Memo).filter(": Registration successful.").size(), 1);
}

TEST_F(ShortDataWindowTest, AnAnswerAfterItsTimeOutIsLateAndNeverTakenByTheNextMessage)
{
    registered("200");
    form->session().setAnswerTimeouts({1000, 1000});
    compose("1", "x");
    // A series of two; the second is composed by hand at once.
    form->RepititionsEdit->setText("2");
    form->DelayEdit->setText("100000");
    form->SendButtonClick();
    form->DelayTimerTimer();
    EXPECT_EQ(line->takeOutput().count("AT+CMGS="), 1);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return lines(form->MessagesPad_Memo).last().contains(": No answer from the radio"); },
        10000));
    EXPECT_TRUE(lines(form->MessagesPad_Memo)
                    .last()
                    .endsWith(": No answer from the radio to AT+CMGS=1,1,0,32"))
        << lines(form->MessagesPad_Memo).last().toStdString();
    // It comes after all, before the next message is written.
    receive(completion);
    EXPECT_TRUE(lines(form->MessagesPad_Memo).last().contains(": Late answer from the radio"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return line->output().contains("AT+CMGS="); }, 10000));
    line->takeOutput();
    receive(completion);
    const SeriesStatistics::Counts counts = form->seriesStatistics().counts();
    EXPECT_EQ(counts.noAnswer, 1);
    EXPECT_EQ(counts.lateAnswers, 1);
    EXPECT_EQ(counts.completed, 1);
    EXPECT_EQ(form->seriesStatistics().messages().at(1).answer, SeriesMessage::Answer::Completed);
    EXPECT_EQ(form->RadioState, 3);
}

TEST_F(ShortDataWindowTest, WithEchoALateAnswerBeforeTheNextEchoIsNotItsAnswer)
{
    form->ConnectButtonClick();
    line->takeOutput();
    receive("AT\r\r\nOK\r\n");
    ASSERT_EQ(form->RadioState, 1);
    form->ProtocolIdentifierEdit->setText("200");
    form->RegisterButtonClick();
    const QByteArray registration = line->takeOutput();
    receive(registration + completion);
    ASSERT_EQ(form->RadioState, 3);
    form->session().setAnswerTimeouts({1000, 1000});
    compose("1", "x");
    form->RepititionsEdit->setText("2");
    form->DelayEdit->setText("100000");
    form->SendButtonClick();
    const QByteArray first = line->takeOutput();
    form->DelayTimerTimer();
    receive(first);
    ASSERT_TRUE(QTest::qWaitFor([&] { return line->output().contains("AT+CMGS="); }, 10000));
    const QByteArray second = line->takeOutput();
    // The first message's answer comes late, in front of the second's echo.
    receive(completion + second + completion);
    const SeriesStatistics::Counts counts = form->seriesStatistics().counts();
    EXPECT_EQ(counts.noAnswer, 1);
    EXPECT_EQ(counts.lateAnswers, 1);
    EXPECT_EQ(counts.completed, 1);
    EXPECT_EQ(form->seriesStatistics().messages().at(1).answer, SeriesMessage::Answer::Completed);
}
