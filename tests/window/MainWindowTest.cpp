#include "WindowHarness.h"

#include "controls/Getdata.h"
#include "files/FileError.h"
#include "serial/Comms.h"
#include "session/Timer.h"
#include "tests/files/SmallTmpfs.h"
#include "tests/formstate/TestFiles.h"
#include "window/ActivityLog.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <climits>
#include <pty.h>
#include <unistd.h>

namespace {

const QRegularExpression stamped(const QString &rest)
{
    return QRegularExpression("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d" +
                              QRegularExpression::escape(rest) + "$");
}

} // namespace

using MainWindowTest = WindowHarness;

TEST_F(MainWindowTest, WindowHasItsDesignedShape)
{
    EXPECT_STREQ(form->metaObject()->className(), "TForm1");
    EXPECT_EQ(form->objectName(), "Form1");
    EXPECT_EQ(form->windowTitle(), "Corvane version 2.0");
    EXPECT_EQ(form->size(), QSize(680, 480));
    EXPECT_EQ(form->minimumSize(), QSize(680, 480));
    EXPECT_EQ(form->Panel1->height(), 160);

    for (const char *name : {"ConnectButton",
                             "RegisterButton",
                             "DisconnectButton",
                             "SendButton",
                             "ComPortLabel",
                             "ComPortComboBox",
                             "Label1",
                             "ProtocolIdentifierEdit",
                             "Label2",
                             "DestISSI_Edit",
                             "Label3",
                             "Message_Edit",
                             "CharactersLeftLabel",
                             "Latin1WarningLabel",
                             "Label6",
                             "RepititionsEdit",
                             "Label7",
                             "DelayEdit",
                             "CheckBoxRec",
                             "CheckBoxCon",
                             "Button1",
                             "Button2",
                             "MessagesPad_Memo",
                             "CommandLogger_Memo",
                             "Splitter1",
                             "Panel1",
                             "Panel2",
                             "Panel4",
                             "Panel6",
                             "ComPort",
                             "CTS",
                             "DataTimer",
                             "DelayTimer",
                             "sd",
                             "FormEnh1"})
        EXPECT_NE(form->findChild<QObject *>(name), nullptr) << name;

    EXPECT_EQ(form->ConnectButton->text(), "Connect");
    EXPECT_EQ(form->ConnectButton->toolTip(),
              "Connect a radio to the Selected COM Port and click this button to see if the radio "
              "supports AT commands for Short Data");
    EXPECT_EQ(form->RegisterButton->toolTip(),
              "Fill out the Protocol Identifier field and then Register this application using "
              "that Protocol Identifer");
    EXPECT_EQ(form->SendButton->toolTip(), "Enter Destination ISSI and Text message to send "
                                           "before pressing this Send button");
    EXPECT_EQ(form->Label1->toolTip(), "Protocol Identifier");
    EXPECT_EQ(form->Label6->text(), "Repititions");
    EXPECT_EQ(form->Label7->text(), "Delay (msec)");
    EXPECT_EQ(form->CheckBoxRec->text(), "Received TL flag");
    EXPECT_EQ(form->CheckBoxCon->text(), "Consumed TL flag");
    EXPECT_EQ(form->Button1->text(), "Save Msg Window to File");
    EXPECT_EQ(form->Button2->text(), "Save Log Window to File");
    EXPECT_EQ(form->Splitter1->handleWidth(), 3);

    QStringList ports;
    for (int i = 0; i < form->ComPortComboBox->count(); ++i)
        ports << form->ComPortComboBox->itemText(i);
    EXPECT_EQ(ports.mid(0, 4), QStringList({"COM1", "COM2", "COM3", "COM4"}));

    EXPECT_EQ(form->ProtocolIdentifierEdit->MinValue(), 0);
    EXPECT_EQ(form->ProtocolIdentifierEdit->MaxValue(), 255);
    EXPECT_EQ(form->DestISSI_Edit->MaxValue(), 16777215);
    EXPECT_EQ(form->DestISSI_Edit->Value(), 1);
    EXPECT_EQ(form->RepititionsEdit->MaxValue(), 999999999);
    EXPECT_EQ(form->RepititionsEdit->Value(), 1);
    EXPECT_EQ(form->DelayEdit->MinValue(), 0);
    EXPECT_EQ(form->DelayEdit->MaxValue(), INT_MAX);

    EXPECT_EQ(form->MessagesPad_Memo->property("Tag").toInt(), -1);
    EXPECT_EQ(form->CommandLogger_Memo->property("Tag").toInt(), -1);
    EXPECT_EQ(paneParagraphs(form->MessagesPad_Memo), QStringList({""}));
    EXPECT_EQ(paneParagraphs(form->CommandLogger_Memo), QStringList({""}));

    EXPECT_EQ(form->DataTimer->Interval(), 1000);
    EXPECT_FALSE(form->DataTimer->Enabled());
    EXPECT_FALSE(form->CTS->Enabled());
    EXPECT_FALSE(form->DelayTimer->Enabled());
    EXPECT_EQ(form->ComPort->BaudRate(), br9600);
    EXPECT_EQ(form->ComPort->DataBits(), dbEight);
    EXPECT_EQ(form->ComPort->StopBits(), sbOneStopBit);
    EXPECT_EQ(form->ComPort->Parity()->Bits(), prNone);
    EXPECT_EQ(form->ComPort->FlowControl()->ControlDtr(), dtrDisable);
    EXPECT_EQ(form->ComPort->FlowControl()->ControlRts(), rtsDisable);
    EXPECT_EQ(form->ComPort->ReadBufSize(), 1024u);
    EXPECT_EQ(form->ComPort->WriteBufSize(), 1024u);
    EXPECT_EQ(form->ComPort->Timeouts()->ReadInterval(), -1);
    EXPECT_EQ(form->ComPort->Timeouts()->WriteTotalMultiplier(), 100);
    EXPECT_EQ(form->ComPort->Timeouts()->WriteTotalConstant(), 1000);
    EXPECT_EQ(form->ComPort->Events().bits(), 0x3FF);
    EXPECT_EQ(form->ComPort->SyncMethod(), smSynchronize);
    EXPECT_EQ(form->CTS->Interval(), 500);

    EXPECT_EQ(form->RegisterButton->text(), "Register");
    EXPECT_EQ(form->DisconnectButton->text(), "Disconnect");
    EXPECT_EQ(form->SendButton->text(), "Send");
    EXPECT_EQ(form->ComPortLabel->text(), "Com Port");
    EXPECT_EQ(form->Label1->text(), "Protocol Identifier");
    EXPECT_EQ(form->Label2->text(), "Destination ISSI");
    EXPECT_EQ(form->Label3->text(), "Text message to send");
    EXPECT_EQ(form->Label4->text(), "Message window:");
    EXPECT_EQ(form->Label5->text(), "PEI logger window:");
    EXPECT_EQ(form->DestISSI_Edit->MinValue(), 1);
    EXPECT_EQ(form->RepititionsEdit->MinValue(), 1);
    for (TGetLong *field : {form->ProtocolIdentifierEdit, form->DestISSI_Edit,
                            form->RepititionsEdit, form->DelayEdit})
        EXPECT_EQ(field->Increment(), 0) << field->objectName().toStdString();
}

TEST_F(MainWindowTest, FormCreateSetsTheInitialEnabledStates)
{
    EXPECT_TRUE(form->ConnectButton->isEnabled());
    EXPECT_TRUE(form->ComPortComboBox->isEnabled());
    EXPECT_TRUE(form->Button1->isEnabled());
    EXPECT_TRUE(form->Button2->isEnabled());
    for (QWidget *w : std::initializer_list<QWidget *>{
             form->RegisterButton, form->DisconnectButton, form->SendButton, form->CheckBoxRec,
             form->CheckBoxCon, form->ProtocolIdentifierEdit, form->DestISSI_Edit,
             form->Message_Edit, form->RepititionsEdit, form->DelayEdit})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_EQ(form->RadioState, 0);
    EXPECT_EQ(form->MessageReference, 0);
}

TEST_F(MainWindowTest, ConnectRaisesTheLinesAndWritesTheProbe)
{
    form->ConnectButtonClick();
    EXPECT_TRUE(form->ComPort->Connected());
    EXPECT_EQ(line->escapeCalls(), QVector<uint32_t>({5, 3}));
    EXPECT_EQ(line->takeOutput(), QByteArray("AT\r"));
    EXPECT_TRUE(form->DataTimer->Enabled());
    EXPECT_FALSE(form->CTS->Enabled());
    EXPECT_EQ(form->RadioState, 0);
    EXPECT_TRUE(
        lastLine(form->MessagesPad_Memo).contains(stamped(": Trying to connect to radio.")));
    EXPECT_TRUE(lastLine(form->CommandLogger_Memo).contains(stamped(" pc: AT")));
    // Connect alone enables nothing.
    EXPECT_TRUE(form->ConnectButton->isEnabled());
    EXPECT_FALSE(form->RegisterButton->isEnabled());
}

TEST_F(MainWindowTest, ProbeAnswerIsLoggedAndEnablesRegistration)
{
    form->ConnectButtonClick();
    line->takeOutput();
    // An answer is handed on once its line end is in, not before.
    line->pushInput("\r\nOK\r");
    form->DataTimerTimer();
    EXPECT_EQ(form->RxBuffer.heldBytes(), QByteArray("\r\nOK\r"));
    EXPECT_EQ(form->RadioState, 0);
    line->pushInput("\n");
    form->DataTimerTimer();
    EXPECT_TRUE(form->RxBuffer.isEmpty());
    EXPECT_EQ(form->RadioState, 1);

    const QStringList log = lines(form->CommandLogger_Memo);
    ASSERT_GE(log.size(), 2);
    EXPECT_TRUE(log.at(log.size() - 2).contains(stamped(" ms:")));
    EXPECT_EQ(log.last(), "OK");
    EXPECT_TRUE(
        lastLine(form->MessagesPad_Memo)
            .contains(stamped(": Connection to radio successful. Radio supports AT commands.")));

    EXPECT_FALSE(form->ConnectButton->isEnabled());
    EXPECT_TRUE(form->RegisterButton->isEnabled());
    EXPECT_TRUE(form->DisconnectButton->isEnabled());
    EXPECT_FALSE(form->ComPortComboBox->isEnabled());
    EXPECT_TRUE(form->ProtocolIdentifierEdit->isEnabled());
    EXPECT_FALSE(form->SendButton->isEnabled());
}

TEST_F(MainWindowTest, ProbeAnswerArrivesThroughTheRunningPollTimer)
{
    form->ConnectButtonClick();
    line->pushInput("\r\nOK\r\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->RadioState == 1; }, 3000));
}

TEST_F(MainWindowTest, EchoedProbeIsAResponseOfItsOwnAndTheAnswerConnects)
{
    form->ConnectButtonClick();
    receive("AT\r\r\nOK\r\n");
    EXPECT_EQ(form->RadioState, 1);
    EXPECT_TRUE(form->RegisterButton->isEnabled());
    const QStringList log = lines(form->CommandLogger_Memo);
    ASSERT_GE(log.size(), 3);
    // The echo and the answer each have their own entry.
    EXPECT_TRUE(log.at(log.size() - 3).endsWith(" ms:AT"));
    EXPECT_TRUE(log.at(log.size() - 2).endsWith(" ms:"));
    EXPECT_EQ(log.last(), "OK");
}

TEST_F(MainWindowTest, ProbeAnswerSplitAcrossReadsConnectsOnceWhole)
{
    form->ConnectButtonClick();
    receive("\r\nO");
    receive("K\r");
    EXPECT_EQ(form->RadioState, 0);
    receive("\n");
    EXPECT_EQ(form->RadioState, 1);
}

TEST_F(MainWindowTest, AnythingButTheExactProbeAnswerLeavesProbing)
{
    form->ConnectButtonClick();
    receive("\r\nERROR\r\n");
    receive("\r\nok\r\n");
    receive("\r\n\r\nOK\r\n");
    EXPECT_EQ(form->RadioState, 0);
    EXPECT_FALSE(form->RegisterButton->isEnabled());
    EXPECT_FALSE(form->MessagesPad_Memo->lines().join(QLatin1Char('\n')).contains("successful"));
}

TEST_F(MainWindowTest, ProbeAnswerSharingAReadWithAPeerMessageConnectsAndTheMessageIsAnswered)
{
    form->ConnectButtonClick();
    line->takeOutput();
    receive("\r\nOK\r\n\r\n+CMT: 5678,0,48\r\n820607014869\r\n");
    EXPECT_EQ(form->RadioState, 1);
    EXPECT_TRUE(lastLine(form->MessagesPad_Memo)
                    .endsWith(QStringLiteral(": Message received from 5678: ") + "\\x01Hi"));
    EXPECT_EQ(line->takeOutput(), QByteArray("AT+CMGS=5678,1,0,32\r82100007\x1a"));
}

TEST_F(MainWindowTest, ResponseCutShortGoesOnAfterASecondOfQuiet)
{
    form->ConnectButtonClick();
    receive("\r\n+CMT: 5678,0,48\r\n8206");
    EXPECT_FALSE(form->RxBuffer.isEmpty());
    // The poll timer hands it on once the line has been quiet.
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->RxBuffer.isEmpty(); }, 10000));
    EXPECT_TRUE(lines(form->CommandLogger_Memo).last().endsWith("8206"));
    // It asks for a report but carries no reference to put in one.
    EXPECT_TRUE(
        lastLine(form->MessagesPad_Memo).endsWith(": Malformed message from radio ignored."));
}

TEST_F(MainWindowTest, ProbeIsHeldWhileCtsIsDownAndSentOnceWhenItRises)
{
    line->setCts(false);
    form->ConnectButtonClick();
    EXPECT_TRUE(line->output().isEmpty());
    EXPECT_EQ(paneParagraphs(form->CommandLogger_Memo), QStringList({""}));
    EXPECT_TRUE(form->CTS->Enabled());
    EXPECT_EQ(form->CTS->Interval(), 100);
    EXPECT_EQ(form->PendingCommand, QByteArray("AT\r"));

    for (int i = 0; i < 7; ++i)
        form->CTSTimer();
    EXPECT_TRUE(line->output().isEmpty());
    line->setCts(true);
    form->CTSTimer();
    EXPECT_EQ(line->takeOutput(), QByteArray("AT\r"));
    EXPECT_FALSE(form->CTS->Enabled());
    EXPECT_EQ(form->RetryCount, 8);
    EXPECT_EQ(lines(form->CommandLogger_Memo).filter(" pc: AT").size(), 1);
    EXPECT_TRUE(boxes.isEmpty());
}

TEST_F(MainWindowTest, RetryTimerSendsTheHeldProbeOnItsOwn)
{
    line->setCts(false);
    form->ConnectButtonClick();
    QTest::qWait(350);
    EXPECT_TRUE(line->output().isEmpty());
    line->setCts(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form->CTS->Enabled(); }, 3000));
    EXPECT_EQ(line->takeOutput(), QByteArray("AT\r"));
}

TEST_F(MainWindowTest, CtsDownForFiftyTicksGivesOneTimeoutBox)
{
    line->setCts(false);
    form->ConnectButtonClick();
    for (int i = 0; i < 49; ++i)
        form->CTSTimer();
    EXPECT_TRUE(boxes.isEmpty());
    form->CTSTimer();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes.first().text, "Timeout waiting for ready signal from radio.\r\nEnsure that "
                                  "the radio is connected and turned on.'");
    EXPECT_EQ(boxes.first().title, "Error");
    EXPECT_EQ(boxes.first().buttons, QStringList({"&Abort"}));
    EXPECT_FALSE(form->CTS->Enabled());
    EXPECT_TRUE(line->output().isEmpty());
    EXPECT_EQ(form->RadioState, 0);
}

TEST_F(MainWindowTest, OpenFailureShowsTheBoxAndKeepsTheReportChoice)
{
    line->failNext(serial::TestLine::Op::Open, EBUSY);
    form->MessageReference = 7;
    form->ReportRequestFlags = 0x0C;
    form->CheckBoxRec->setChecked(true);
    form->RadioState = 3;
    form->ConnectButtonClick();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes.first().text, "An Error Has Occurred whilst opening the Serial Port\r\nAnother "
                                  "application may be utilising that COM port !!!!!'");
    EXPECT_EQ(boxes.first().title, "Error");
    EXPECT_EQ(boxes.first().icon, ModalBoxRequest::Icon::Error);
    EXPECT_FALSE(form->ComPort->Connected());
    EXPECT_EQ(form->MessageReference, 0);
    // The reports the user asked for stay asked for.
    EXPECT_EQ(form->ReportRequestFlags, 0x0C);
    EXPECT_TRUE(form->CheckBoxRec->isChecked());
    EXPECT_EQ(form->RadioState, 3);
    EXPECT_FALSE(form->DataTimer->Enabled());
    EXPECT_EQ(paneParagraphs(form->MessagesPad_Memo), QStringList({""}));
    EXPECT_TRUE(form->ConnectButton->isEnabled());
}

TEST_F(MainWindowTest, TypedDevicePathOpensThatDevice)
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    ::close(slave);
    form->ComPortComboBox->setEditText(QString::fromLatin1(name));
    form->ConnectButtonClick();
    ASSERT_TRUE(boxes.isEmpty());
    EXPECT_EQ(form->ComPort->DevicePath(), QString::fromLatin1(name));

    QByteArray written;
    for (int i = 0; i < 100 && written.size() < 3; ++i) {
        char buffer[16];
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n > 0)
            written.append(buffer, int(n));
        else
            QTest::qWait(10);
    }
    EXPECT_EQ(written, QByteArray("AT\r"));
    ASSERT_EQ(::write(master, "\r\nOK\r\n", 6), 6);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->RadioState == 1; }, 3000));
    form->ComPort->Close();
    ::close(master);
}

TEST_F(MainWindowTest, DisconnectDropsTheLinesAndLetsGoOfThePort)
{
    connectProbed();
    const qsizetype before = line->escapeCalls().size();
    form->DisconnectButtonClick();
    const QVector<uint32_t> calls = line->escapeCalls().mid(before);
    ASSERT_GE(calls.size(), 2);
    EXPECT_EQ(calls.mid(0, 2), QVector<uint32_t>({6, 4})) << "DTR, then RTS, lowered first";
    // Closed: nothing more is read or answered, and the device is free.
    EXPECT_FALSE(form->ComPort->Connected());
    EXPECT_FALSE(line->isOpen());
    EXPECT_FALSE(form->DataTimer->Enabled());
    line->pushInput("\r\n+CMT: 1234,0,48\r\n820601014869\r\n");
    poll();
    EXPECT_TRUE(line->output().isEmpty());
    EXPECT_EQ(form->RadioState, 1);
    EXPECT_TRUE(form->ConnectButton->isEnabled());
    EXPECT_TRUE(form->ComPortComboBox->isEnabled());
    for (QWidget *w : std::initializer_list<QWidget *>{
             form->RegisterButton, form->DisconnectButton, form->SendButton, form->CheckBoxRec,
             form->CheckBoxCon, form->ProtocolIdentifierEdit, form->DestISSI_Edit,
             form->Message_Edit, form->RepititionsEdit, form->DelayEdit})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();

    // Reconnecting reopens the port and probes again.
    form->ConnectButtonClick();
    EXPECT_EQ(line->takeOutput(), QByteArray("AT\r"));
}

TEST_F(MainWindowTest, SwitchingFromADeviceToAComPortOpensOnlyThatPort)
{
    form->ConnectButtonClick();
    ASSERT_EQ(line->openCount(), 1);
    form->ComPortComboBox->setEditText("COM2");
    form->ConnectButtonClick(); // /dev/ttyS1 may or may not open here
    EXPECT_EQ(line->openCount(), 1);
    EXPECT_FALSE(line->isOpen());
    EXPECT_EQ(form->ComPort->Port(), COM2);
    EXPECT_TRUE(form->ComPort->DevicePath().isEmpty());
    form->ComPort->Close();
}

TEST_F(MainWindowTest, ChunksOutsideTheAwaitedStateAreIgnored)
{
    connectProbed();
    const QString messages = form->MessagesPad_Memo->lines().join(QLatin1Char('\n'));
    receive("\r\n+CMGS: 0\r\n\r\nOK\r\n");
    receive("\r\nOK\r\n");
    EXPECT_EQ(form->RadioState, 1);
    EXPECT_EQ(form->MessagesPad_Memo->lines().join(QLatin1Char('\n')), messages);
}

TEST_F(MainWindowTest, CommandsRefusedForTheReadyLineWaitInTheirOrder)
{
    line->setCts(false);
    form->ConnectButtonClick();
    for (int i = 0; i < 10; ++i)
        form->CTSTimer();
    form->ProtocolIdentifierEdit->setText("130");
    form->RegisterButtonClick();
    // The probe keeps its place and its count; the registration waits behind it.
    EXPECT_EQ(form->PendingCommand, QByteArray("AT\r"));
    EXPECT_EQ(form->RetryCount, 10);
    EXPECT_EQ(form->RadioState, 2);
    line->setCts(true);
    form->CTSTimer();
    EXPECT_EQ(line->takeOutput(), QByteArray("AT\r"));
    receive("\r\nOK\r\n");
    EXPECT_EQ(line->takeOutput(), QByteArray("AT+CMGS=0,1,0,8\r82\x1a"));
}

TEST_F(MainWindowTest, SavedPanesHoldTheirExactLines)
{
    connectProbed();
    const QString path = settingsDir.filePath("log.txt");
    int asked = 0;
    TSaveDialog::setHandler([&](const TSaveDialog &dialog) {
        ++asked;
        EXPECT_EQ(dialog.Title(), "Save as");
        EXPECT_EQ(dialog.Filter(), "Text files (*.txt)");
        return path;
    });
    form->Button2Click();
    // Written in the background.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path), 10000);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const QRegularExpression shape("^\\r\\n\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d pc: AT\\r\\n"
                                   "\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d ms:\\r\\nOK\\r\\n$");
    EXPECT_TRUE(shape.match(QString::fromLatin1(bytes)).hasMatch()) << bytes.toStdString();
    file.close();

    // The second save starts from the first one's name.
    TSaveDialog::setHandler([&](const TSaveDialog &dialog) {
        EXPECT_EQ(dialog.FileName(), path);
        return QString();
    });
    form->Button1Click();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), bytes); // cancelled: nothing written
    EXPECT_EQ(asked, 1);
}

TEST_F(MainWindowTest, PaneSavedOntoAFullDiskSaysWhyInOneBoxAndKeepsTheEarlierFile)
{
    const SmallTmpfs disk;
    if (!disk.skipReason().isEmpty())
        GTEST_SKIP() << qPrintable(disk.skipReason());
    connectProbed();
    const QString path = disk.filePath("log.txt");
    writeFileContent(path, "earlier\r\n");
    ASSERT_GT(disk.fill("filler"), 0);
    TSaveDialog::setHandler([&](const TSaveDialog &) { return path; });
    for (QPushButton *button : {form->Button1, form->Button2}) {
        boxes.clear();
        button->click();
        QTRY_COMPARE_WITH_TIMEOUT(boxes.size(), 1, 10000);
        EXPECT_EQ(boxes.first().text,
                  "Cannot write file \"" + path + "\": " + files::systemReason(ENOSPC));
        EXPECT_EQ(boxes.first().detail, "A file of that name that was there before is as it was.");
        EXPECT_EQ(fileContent(path), QByteArray("earlier\r\n"));
    }
}

TEST_F(MainWindowTest, VanishedPortGivesOneBoxAndStopsPolling)
{
    connectProbed();
    line->hangUp();
    // The safety poll notices, within a second.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.isEmpty(); }, 5000));
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes.first().text.startsWith("Unable to read com status: "))
        << boxes.first().text.toStdString();
    EXPECT_FALSE(form->DataTimer->Enabled());
}

// --- writes that the radio does not take at once

TEST_F(MainWindowTest, SlowWriteGoesOnInTheBackgroundAndTheNextCommandWaitsBehindIt)
{
    connectProbed();
    line->setHoldWrites(true);
    form->ProtocolIdentifierEdit->setText("200");
    // Neither call may wait for the held write: both return at once.
    form->RegisterButtonClick();
    form->RegisterButtonClick();
    EXPECT_TRUE(line->output().isEmpty());
    EXPECT_EQ(lines(form->CommandLogger_Memo).filter(" pc: ").size(), 1) << "only the probe";

    line->setHoldWrites(false);
    QTRY_COMPARE_WITH_TIMEOUT(lines(form->CommandLogger_Memo).filter(" pc: AT+CMGS").size(), 2,
                              10000);
    EXPECT_EQ(line->takeOutput(), QByteArray("AT+CMGS=0,1,0,8\rC8\x1a"
                                             "AT+CMGS=0,1,0,8\rC8\x1a"));
    EXPECT_TRUE(boxes.isEmpty());
}

TEST_F(MainWindowTest, WriteThatTheRadioNeverTakesEndsWithTheTimeOutBoxAndTheSeries)
{
    connectProbed();
    form->ProtocolIdentifierEdit->setText("200");
    form->RegisterButtonClick();
    receive("\r\n+CMGS: 0\r\n\r\nOK\r\n");
    line->takeOutput();
    line->setHoldWrites(true);
    form->DestISSI_Edit->setText("5");
    form->Message_Edit->setEditText("x");
    form->RepititionsEdit->setText("100");
    form->DelayEdit->setText("50");
    form->SendButtonClick();
    EXPECT_EQ(form->SendButton->text(), "Stop");
    // The write time-out of a 23-byte command is 100 ms per byte plus 1 s.
    QTRY_VERIFY_WITH_TIMEOUT(!boxes.isEmpty(), 30000);
    EXPECT_EQ(boxes.first().text, "Operation failed: 110");
    EXPECT_EQ(form->SendButton->text(), "Send");
    EXPECT_FALSE(form->DelayTimer->Enabled());
    EXPECT_EQ(lines(form->CommandLogger_Memo).filter(" pc: AT+CMGS=5").size(), 0);
}

TEST_F(MainWindowTest, ReconnectingDropsTheWriteUnderWayAndWritesTheNewProbe)
{
    connectProbed();
    line->setHoldWrites(true);
    form->ProtocolIdentifierEdit->setText("200");
    form->RegisterButtonClick();
    form->RegisterButtonClick();
    form->ConnectButtonClick();
    line->setHoldWrites(false);
    QTRY_VERIFY_WITH_TIMEOUT(lines(form->CommandLogger_Memo).filter(" pc: AT").size() == 2, 10000);
    EXPECT_EQ(line->takeOutput(), QByteArray("AT\r"));
    EXPECT_TRUE(boxes.isEmpty());
}
