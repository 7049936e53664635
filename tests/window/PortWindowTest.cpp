#include "WindowHarness.h"

#include "controls/Getdata.h"
#include "files/FileError.h"
#include "serial/Comms.h"
#include "session/ReconnectWatch.h"
#include "session/Timer.h"
#include "tests/files/OtherUser.h"
#include "tests/files/SmallTmpfs.h"
#include "tests/formstate/TestFiles.h"
#include "tests/window/StallWatch.h"
#include "window/LineStatusStrip.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <fcntl.h>
#include <grp.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

constexpr int waitMs = 8000;

// The radio's end of a pseudo-terminal: the window opens the other end.
class PtyRadioEnd
{
public:
    PtyRadioEnd()
    {
        int slave = -1;
        char name[256] = {};
        if (::openpty(&m_master, &slave, name, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        ::close(slave);
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        m_path = QString::fromLatin1(name);
    }
    ~PtyRadioEnd() { hangUp(); }
    PtyRadioEnd(const PtyRadioEnd &) = delete;
    PtyRadioEnd &operator=(const PtyRadioEnd &) = delete;

    QString path() const { return m_path; }

    // Runs the window's event loop until the window wrote `bytes`.
    bool waitFor(const QByteArray &bytes)
    {
        return QTest::qWaitFor(
            [&] {
                char buffer[256];
                ssize_t n = 0;
                while (m_master >= 0 && (n = ::read(m_master, buffer, sizeof buffer)) > 0)
                    m_received.append(buffer, int(n));
                return m_received.contains(bytes);
            },
            waitMs);
    }
    QByteArray received() const { return m_received; }
    void send(const QByteArray &bytes)
    {
        ASSERT_EQ(::write(m_master, bytes.constData(), size_t(bytes.size())), bytes.size());
    }
    // The radio goes away: the window's end hangs up.
    void hangUp()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    QString m_path;
    QByteArray m_received;
};

serial::PortInfo usbPort()
{
    return {"/dev/ttyUSB0", "FT232R USB UART", "FTDI", "",
            "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART-if00-port0"};
}

QStringList items(const QComboBox *combo)
{
    QStringList result;
    for (int i = 0; i < combo->count(); ++i)
        result << combo->itemText(i);
    return result;
}

class PortWindowTest : public WindowHarness
{
protected:
    // Lists the ports again as opening the list does, and waits until the
    // list holds `count` entries.
    bool listedAgain(int count)
    {
        return QTest::qWaitFor(
            [&] {
                form->PortList->refreshInBackground();
                return form->ComPortComboBox->count() == count;
            },
            waitMs);
    }
    QString settingsPath() const { return settingsDir.filePath("corvane.set"); }
    QByteArray settingsText() const
    {
        QFile file(settingsPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void restart()
    {
        form.reset();
        form = std::make_unique<TForm1>(settingsPath());
    }
    // A new window, shown, that keeps its settings on the disk; the file's path.
    QString showWithSettingsOn(const SmallTmpfs &disk)
    {
        const QString path = disk.filePath("corvane.set");
        form = std::make_unique<TForm1>(path);
        form->show();
        return path;
    }
    // What the window says of settings that could not be saved on a full disk.
    static QString notSavedOnAFullDisk(const QString &path)
    {
        return "The settings were not saved: Unable to write to " + path + ": " +
               files::systemReason(ENOSPC) + ". The settings file is as it was.";
    }
    bool messageShown(const QString &text) const
    {
        return form->MessagesPad_Memo->lines().join(QLatin1Char('\n')).contains(text);
    }
    // Connects through the window's own timers and answers the probe.
    void connectToPty(PtyRadioEnd &radio, const QString &text)
    {
        form->ComPortComboBox->setEditText(text);
        form->ConnectButton->click();
        ASSERT_TRUE(boxes.isEmpty()) << boxes.first().detail.toStdString();
        ASSERT_TRUE(radio.waitFor("AT\r"));
        radio.send("\r\nOK\r\n");
        ASSERT_TRUE(QTest::qWaitFor([&] { return form->RadioState == rsReady; }, waitMs));
    }
};

} // namespace

TEST_F(PortWindowTest, ListShowsComPortsThenTheSystemsPortsWithTheirLinksAndFollowsThem)
{
    EXPECT_EQ(items(form->ComPortComboBox), QStringList({"COM1", "COM2", "COM3", "COM4"}));
    EXPECT_TRUE(form->PortList->isRefreshing());

    // A cable plugged in shows up at the next refresh, within 2 s.
    fakePorts->set({usbPort()});
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->ComPortComboBox->count() == 6; }, waitMs));
    // Listed away from the window thread, which listing would hold up.
    EXPECT_EQ(fakePorts->listingsOffWindowThread(), fakePorts->listings());
    EXPECT_EQ(items(form->ComPortComboBox).mid(4),
              QStringList({"/dev/ttyUSB0 (FT232R USB UART, FTDI)",
                           "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART-if00-port0 (stable name "
                           "of /dev/ttyUSB0)"}));

    // Opening the list looks again at once, off the window thread, and the
    // open list fills in; an unchanged system is not listed again.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->PortList->isListing(); }, waitMs));
    const int listings = fakePorts->listings();
    form->PortList->refreshInBackground();
    EXPECT_FALSE(form->PortList->isListing());
    EXPECT_EQ(fakePorts->listings(), listings);
    fakePorts->set({});
    form->ComPortComboBox->showPopup();
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->ComPortComboBox->count() == 4; }, waitMs));
    EXPECT_EQ(fakePorts->listingsOffWindowThread(), fakePorts->listings());
    form->ComPortComboBox->hidePopup();

    // The user's text survives every refresh.
    form->ComPortComboBox->setEditText("/dev/ttyACM3");
    fakePorts->set({usbPort()});
    ASSERT_TRUE(listedAgain(6));
    EXPECT_EQ(form->ComPortComboBox->currentText(), "/dev/ttyACM3");
}

TEST_F(PortWindowTest, ListOpenedWhileADeviceAppearsShowsItAndNeverHoldsTheWindow)
{
    ASSERT_TRUE(waitUntil([&] { return !form->PortList->isListing(); }, "the first listing"));
    ASSERT_EQ(form->ComPortComboBox->count(), 4);

    // A device appears and the list opens while listing takes its time, as
    // it does after /dev changed on a machine with many serial devices.
    StallWatch watch;
    fakePorts->holdListings();
    fakePorts->set({usbPort()});
    form->ComPortComboBox->showPopup();
    ASSERT_TRUE(waitUntil([&] { return fakePorts->listingsUnderWay() == 1; }, "listing under way"));
    // The window thread goes on with its events meanwhile.
    const qint64 handled = watch.handled();
    ASSERT_TRUE(waitUntil([&] { return watch.handled() >= handled + 50; },
                          "the window thread's events during the listing"));
    EXPECT_EQ(form->ComPortComboBox->count(), 4);

    // Another device comes before the listing ends: it is listed too.
    const serial::PortInfo acm{"/dev/ttyACM0", "Radio PEI", "", "", ""};
    fakePorts->set({usbPort(), acm});
    fakePorts->releaseListings();
    ASSERT_TRUE(
        waitUntil([&] { return items(form->ComPortComboBox).contains("/dev/ttyACM0 (Radio PEI)"); },
                  "the second device in the open list"));
    EXPECT_TRUE(items(form->ComPortComboBox).contains("/dev/ttyUSB0 (FT232R USB UART, FTDI)"));
    EXPECT_TRUE(watch.stayedWithin(50));
    EXPECT_EQ(fakePorts->listingsOffWindowThread(), fakePorts->listings());
    form->ComPortComboBox->hidePopup();
}

TEST_F(PortWindowTest, RefreshStopsWhileARadioIsConnected)
{
    connectProbed();
    EXPECT_FALSE(form->ComPortComboBox->isEnabled());
    EXPECT_FALSE(form->PortList->isRefreshing());
    form->DisconnectButtonClick();
    EXPECT_TRUE(form->PortList->isRefreshing());
}

TEST_F(PortWindowTest, PickingAnEntryShowsItsPathAndEnterAddsNothing)
{
    fakePorts->set({usbPort()});
    ASSERT_TRUE(listedAgain(6));
    form->ComPortComboBox->setCurrentIndex(4);
    emit form->ComPortComboBox->activated(4);
    EXPECT_EQ(form->ComPortComboBox->currentText(), "/dev/ttyUSB0");
    emit form->ComPortComboBox->activated(5);
    EXPECT_EQ(form->ComPortComboBox->currentText(), usbPort().byIdLink);

    const int count = form->ComPortComboBox->count();
    form->ComPortComboBox->setEditText("/dev/pts/77");
    QTest::keyClick(form->ComPortComboBox->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(form->ComPortComboBox->count(), count);
}

TEST_F(PortWindowTest, OnlyTheTypedPathThatLastConnectedIsKeptAndSimIsAlwaysListed)
{
    serial::registerDevice("SIM", serial::TestDevice::factory(line));
    form.reset();
    {
        QFile file(settingsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[TForm1]\nComPortComboBox0=4\nComPortComboBoxText=COM2\nComPortComboBox1=COM1\n"
                   "ComPortComboBox2=COM2\nComPortComboBox3=COM3\nComPortComboBox4=/dev/pts/9\n");
    }
    form = std::make_unique<TForm1>(settingsPath());
    EXPECT_EQ(items(form->ComPortComboBox), QStringList({"COM1", "COM2", "COM3", "COM4", "SIM"}));
    EXPECT_EQ(form->ComPortComboBox->currentText(), "COM2");

    PtyRadioEnd first;
    PtyRadioEnd second;
    connectToPty(first, first.path());
    EXPECT_TRUE(items(form->ComPortComboBox).contains(first.path()));
    form->DisconnectButtonClick();
    connectToPty(second, second.path());
    EXPECT_FALSE(items(form->ComPortComboBox).contains(first.path()));
    EXPECT_EQ(items(form->ComPortComboBox).filter(second.path()).size(), 1);
    EXPECT_TRUE(settingsText().contains("[ComPort]\nTypedPath=" + second.path().toLatin1() + "\n"));

    // A typed path that fails is not kept.
    form->DisconnectButtonClick();
    form->ComPortComboBox->setEditText("/dev/ttyUSB7");
    form->ConnectButtonClick();
    EXPECT_FALSE(items(form->ComPortComboBox).contains("/dev/ttyUSB7"));

    restart();
    EXPECT_EQ(items(form->ComPortComboBox),
              QStringList({"COM1", "COM2", "COM3", "COM4", second.path(), "SIM"}));
    EXPECT_TRUE(settingsText().contains("ComPortComboBoxText=/dev/ttyUSB7\n"));
    serial::unregisterDevice("SIM");
}

TEST_F(PortWindowTest, ConnectToWhatIsNotADeviceFailsWithOneBoxAndNeverReusesTheOldDevice)
{
    connectProbed();
    form->DisconnectButtonClick();
    const QString file = settingsDir.filePath("not-a-device");
    QFile(file).open(QIODevice::WriteOnly);
    const QString notPresent = "Check that the radio is plugged in and switched on, then choose "
                               "its port from the list.";
    const struct
    {
        QString text;
        QString boxText;
        QString detail;
    } cases[] = {
        {"/dev/ttyUSB7", "Cannot open /dev/ttyUSB7: the device is not present.", notPresent},
        {file, "Cannot open " + file + ": it is not a serial device.",
         "Choose the radio's port from the list, or type the path of a serial device such as "
         "/dev/ttyUSB0."},
        {"Select COM port", "Cannot open Select COM port: the device is not present.", notPresent}};
    for (const auto &c : cases) {
        boxes.clear();
        form->ComPortComboBox->setEditText(c.text);
        form->ConnectButton->click();
        ASSERT_EQ(boxes.size(), 1) << c.text.toStdString();
        EXPECT_EQ(boxes.first().text, c.boxText);
        EXPECT_EQ(boxes.first().detail, c.detail);
        EXPECT_FALSE(form->ComPort->Connected());
        EXPECT_EQ(line->openCount(), 1);
        // Nothing is left to poll the closed port.
        EXPECT_FALSE(form->DataTimer->Enabled());
        EXPECT_FALSE(form->CTS->Enabled());
        EXPECT_FALSE(form->ProbeTimer->isActive());
    }
}

TEST_F(PortWindowTest, RefusedDeviceSaysWhoMayOpenItAndAdvisesOnlyAGroupThatLetsTheUserIn)
{
    ASSERT_TRUE(setMode(settingsDir.path(), 0755));
    // Nodes of the null device, which needs no hardware: one for root alone,
    // one for the group "dialout".
    const QString rootOnly = settingsDir.filePath("ttyRootOnly");
    const QString grouped = settingsDir.filePath("ttyGrouped");
    const auto makeNode = [](const QString &path, gid_t group, mode_t mode) {
        const QByteArray native = QFile::encodeName(path);
        return ::mknod(native.constData(), S_IFCHR, makedev(1, 3)) == 0 &&
               ::chown(native.constData(), 0, group) == 0 && ::chmod(native.constData(), mode) == 0;
    };
    if (!makeNode(rootOnly, 0, 0))
        GTEST_SKIP() << "device nodes cannot be made here";
    const group *dialout = ::getgrnam("dialout");
    if (!dialout || dialout->gr_gid == 0 || !makeNode(grouped, dialout->gr_gid, 0660))
        GTEST_SKIP() << "no node can be given to a group \"dialout\" here";
    const OtherUser user;
    if (!OtherUser::permissionsApply())
        GTEST_SKIP() << "file permissions cannot be made to apply here";

    form->ComPortComboBox->setEditText(rootOnly);
    form->ConnectButton->click();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes.last().text, "Cannot open " + rootOnly + ": permission denied.");
    EXPECT_EQ(boxes.last().detail, "Only root may open " + rootOnly + ".");

    form->ComPortComboBox->setEditText(grouped);
    form->ConnectButton->click();
    ASSERT_EQ(boxes.size(), 2);
    EXPECT_EQ(boxes.last().text, "Cannot open " + grouped + ": permission denied.");
    EXPECT_EQ(boxes.last().detail,
              "The device belongs to the group \"dialout\"; add yourself to it with\n\n"
              "    sudo usermod -aG dialout \"$USER\"\n\nthen log out and in again.");
}

TEST_F(PortWindowTest, FailedOpenOfTheDeviceItselfStopsThePollOfTheEarlierConnection)
{
    // Still probing: Connect may be pressed again.
    form->ConnectButtonClick();
    ASSERT_TRUE(form->DataTimer->Enabled());
    line->failNext(serial::TestLine::Op::Open, EBUSY);
    form->ConnectButton->click();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes.first().text, "An Error Has Occurred whilst opening the Serial Port\r\n"
                                  "Another application may be utilising that COM port !!!!!'");
    EXPECT_EQ(boxes.first().detail, "TESTLINE is in use by another program.");
    EXPECT_FALSE(form->DataTimer->Enabled());
    EXPECT_FALSE(form->ComPort->Connected());
}

TEST_F(PortWindowTest, LineSettingsAreStoredAndAppliedAtConnect)
{
    EXPECT_EQ(form->LineLabel->text(), "9600 8N1");
    LineSettings chosen;
    chosen.baudRate = br38400;
    chosen.parity = prEven;
    chosen.rtsCts = true;
    LineDialog::setHandler([&](const LineSettings &current) {
        EXPECT_EQ(current, LineSettings());
        return std::optional<LineSettings>(chosen);
    });
    form->LineButton->click();
    EXPECT_EQ(form->LineLabel->text(), "38400 8E1, RTS/CTS");
    EXPECT_TRUE(settingsText().contains("[ComPort]\nBaudRate=38400\n"));

    form->ConnectButtonClick();
    EXPECT_EQ(line->lastDcb().BaudRate, 38400u);
    EXPECT_EQ(line->lastDcb().Parity, serial::EVENPARITY);
    EXPECT_TRUE(line->lastDcb().Flags & serial::fOutxCtsFlow);

    // A cancelled dialog changes nothing; a restart brings the line back.
    LineDialog::setHandler([](const LineSettings &) { return std::optional<LineSettings>(); });
    form->LineButton->click();
    restart();
    EXPECT_EQ(form->Line, chosen);
    EXPECT_EQ(form->LineLabel->text(), "38400 8E1, RTS/CTS");
}

TEST_F(PortWindowTest, TypedPathThatCannotBeSavedAtConnectIsSaidAndSavedAgainAtClose)
{
    const SmallTmpfs disk;
    if (!disk.skipReason().isEmpty())
        GTEST_SKIP() << qPrintable(disk.skipReason());
    const QString path = showWithSettingsOn(disk);
    ASSERT_GT(disk.fill("filler"), 0);
    PtyRadioEnd radio;
    connectToPty(radio, radio.path());
    EXPECT_TRUE(boxes.isEmpty());
    EXPECT_TRUE(
        messageShown(": " + notSavedOnAFullDisk(path) + " Saving is tried again at close."));

    // The disk has room again by the time the window closes.
    ASSERT_TRUE(QFile::remove(disk.filePath("filler")));
    form->close();
    EXPECT_TRUE(boxes.isEmpty()) << qPrintable(boxes.first().text);
    EXPECT_TRUE(
        fileContent(path).contains("[ComPort]\nTypedPath=" + radio.path().toLatin1() + "\n"))
        << fileContent(path).constData();
    form->ComPort->Close();
}

TEST_F(PortWindowTest, LineSettingsThatCannotBeSavedAreSaidAndOnceMoreInOneBoxAtClose)
{
    const SmallTmpfs disk;
    if (!disk.skipReason().isEmpty())
        GTEST_SKIP() << qPrintable(disk.skipReason());
    const QString path = showWithSettingsOn(disk);
    ASSERT_GT(disk.fill("filler"), 0);
    LineSettings chosen;
    chosen.baudRate = br38400;
    LineDialog::setHandler(
        [&](const LineSettings &) { return std::optional<LineSettings>(chosen); });
    form->LineButton->click();
    EXPECT_TRUE(boxes.isEmpty()) << qPrintable(boxes.first().text);
    EXPECT_TRUE(
        messageShown(": " + notSavedOnAFullDisk(path) + " Saving is tried again at close."));
    EXPECT_EQ(form->Line, chosen) << "used at the next Connect all the same";

    form->close();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes.first().text, notSavedOnAFullDisk(path));
    form.reset();
    EXPECT_EQ(boxes.size(), 1);
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(PortWindowTest, LampsShowTheModemLinesFromLineEventsAndTheOutputsAsSet)
{
    EXPECT_FALSE(form->LineStatus->isLit("CTS"));
    form->ConnectButton->click();
    EXPECT_TRUE(form->LineStatus->isLit("CTS"));
    EXPECT_TRUE(form->LineStatus->isLit("DTR"));
    EXPECT_TRUE(form->LineStatus->isLit("RTS"));
    EXPECT_FALSE(form->LineStatus->isLit("DSR"));

    line->setCts(false);
    line->raiseEvents(serial::EV_CTS);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form->LineStatus->isLit("CTS"); }, waitMs));
    line->setCts(true);
    line->raiseEvents(serial::EV_CTS);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->LineStatus->isLit("CTS"); }, waitMs));

    receive("\r\nOK\r\n");
    form->DisconnectButton->click();
    EXPECT_FALSE(form->LineStatus->isLit("DTR"));
    EXPECT_FALSE(form->LineStatus->isLit("RTS"));
}

TEST_F(PortWindowTest, ClosingLowersDtrAndRtsOnReopenAndAtProgramExit)
{
    form->ConnectButtonClick();
    form->ConnectButtonClick();
    EXPECT_EQ(line->escapeCalls(), QVector<uint32_t>({5, 3, 6, 4, 5, 3}));
    form.reset();
    EXPECT_EQ(line->escapeCalls().mid(6), QVector<uint32_t>({6, 4}));
    EXPECT_FALSE(line->dtr());
    EXPECT_FALSE(line->rts());
}

TEST_F(PortWindowTest, LostDeviceGivesOneBoxOneLineAndAQuietDisconnect)
{
    connectProbed();
    form->ProtocolIdentifierEdit->setText("130");
    form->RegisterButton->click();
    receive("\r\n+CMGS: 0\r\n\r\nOK\r\n");
    ASSERT_EQ(form->RadioState, rsRegistered);
    // A series runs and a command is held for CTS: every timer would meet the loss.
    form->RepititionsEdit->setText("50");
    form->DelayEdit->setText("100");
    form->SendButton->click();
    line->setCts(false);
    line->hangUp();

    EXPECT_TRUE(QTest::qWaitFor([&] { return !boxes.isEmpty(); }, waitMs));
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes.first().text, "Unable to read com status: 5");
    EXPECT_TRUE(messageShown(": Radio connection lost (TESTLINE: Input/output error)."));
    EXPECT_FALSE(form->ComPort->Connected());
    for (const TTimer *timer : {form->DataTimer, form->CTS, form->DelayTimer})
        EXPECT_FALSE(timer->Enabled()) << timer->objectName().toStdString();
    EXPECT_EQ(form->SendButton->text(), "Send");
    EXPECT_TRUE(form->ConnectButton->isEnabled());
    EXPECT_FALSE(form->Reconnect->isWaiting());

    form->DisconnectButtonClick();
    EXPECT_EQ(boxes.size(), 1);
}

TEST_F(PortWindowTest, DisconnectFromAPortThatVanishedUnnoticedClosesItQuietly)
{
    connectProbed();
    form->DataTimer->setEnabled(false);
    line->hangUp();
    EXPECT_NO_THROW(form->DisconnectButtonClick());
    EXPECT_TRUE(boxes.isEmpty());
    EXPECT_FALSE(form->ComPort->Connected());
    EXPECT_TRUE(form->ConnectButton->isEnabled());
    EXPECT_TRUE(messageShown(": Radio connection lost (TESTLINE: Input/output error)."));
}

TEST_F(PortWindowTest, ReconnectFollowsTheLinkToTheNewDeviceProbesAndRegistersAgain)
{
    form->ReconnectCheckBox->setChecked(true);
    auto radio = std::make_unique<PtyRadioEnd>();
    const QString link = settingsDir.filePath("radio");
    ASSERT_TRUE(QFile::link(radio->path(), link));
    connectToPty(*radio, link);
    form->ProtocolIdentifierEdit->setText("130");
    form->RegisterButton->click();
    ASSERT_TRUE(radio->waitFor("AT+CMGS=0,1,0,8\r82\x1a"));
    radio->send("\r\n+CMGS: 0\r\n\r\nOK\r\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->RadioState == rsRegistered; }, waitMs));
    form->ProtocolIdentifierEdit->setText("7"); // changed after registering: not what is registered

    radio->hangUp();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->Reconnect->isWaiting(); }, waitMs));
    EXPECT_EQ(boxes.size(), 1);
    EXPECT_TRUE(messageShown(": Radio connection lost (" + link + ": Input/output error)."));
    EXPECT_TRUE(messageShown(": Reconnect: waiting for " + link + " to come back."));
    EXPECT_TRUE(form->DisconnectButton->isEnabled());

    // The cable comes back as another device; the link follows it.
    radio = std::make_unique<PtyRadioEnd>();
    ASSERT_TRUE(QFile::remove(link));
    ASSERT_TRUE(QFile::link(radio->path(), link));
    ASSERT_TRUE(radio->waitFor("AT\r"));
    EXPECT_TRUE(messageShown(": Reconnect: " + link + " is back, reopening it."));
    radio->send("\r\nOK\r\n");
    ASSERT_TRUE(radio->waitFor("AT+CMGS=0,1,0,8\r82\x1a"));
    EXPECT_TRUE(messageShown(": Reconnect: registering again with protocol identifier 130."));
    radio->send("\r\n+CMGS: 0\r\n\r\nOK\r\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->RadioState == rsRegistered; }, waitMs));
    EXPECT_TRUE(form->SendButton->isEnabled());
    EXPECT_EQ(boxes.size(), 1);
    form->ComPort->Close();
}

// A radio program stopped again and again behind a reconnecting window: the
// user has not yet closed the box of the first loss when the next one comes.
TEST_F(PortWindowTest, ALossWhileTheBoxOfAnEarlierOneIsOpenStacksNoOtherBox)
{
    form->ReconnectCheckBox->setChecked(true);
    auto radio = std::make_unique<PtyRadioEnd>();
    const QString link = settingsDir.filePath("radio");
    ASSERT_TRUE(QFile::link(radio->path(), link));
    connectToPty(*radio, link);
    const auto comeBackAndGo = [&] {
        radio = std::make_unique<PtyRadioEnd>();
        ASSERT_TRUE(QFile::remove(link));
        ASSERT_TRUE(QFile::link(radio->path(), link));
        ASSERT_TRUE(radio->waitFor("AT\r"));
        radio->send("\r\nOK\r\n");
        ASSERT_TRUE(QTest::qWaitFor([&] { return form->RadioState == rsReady; }, waitMs));
        radio->hangUp();
    };
    const auto losses = [&] {
        return form->MessagesPad_Memo->lines().filter(": Radio connection lost (").size();
    };

    int open = 0;
    int deepest = 0;
    // The box of the first loss stays open, as a real one runs the event loop
    // until the user closes it, while the radio comes back and goes again.
    setModalBoxHandler([&](const ModalBoxRequest &request) {
        boxes.append(request);
        deepest = std::max(deepest, ++open);
        if (boxes.size() == 1) {
            comeBackAndGo();
            EXPECT_TRUE(QTest::qWaitFor(
                [&] { return losses() == 2 && form->Reconnect->isWaiting(); }, waitMs));
        }
        --open;
        return 0;
    });
    radio->hangUp();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.isEmpty() && open == 0; }, waitMs));
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes.first().text, "Unable to read com status: 5");
    EXPECT_EQ(losses(), 2);

    // Closed meanwhile, the box comes again for the next loss.
    comeBackAndGo();
    EXPECT_TRUE(QTest::qWaitFor([&] { return boxes.size() == 2; }, waitMs));
    EXPECT_EQ(losses(), 3);
    EXPECT_EQ(deepest, 1);
    form->ComPort->Close();
}

// The standard dialect's session state belongs to the port session: a
// reopened radio is asked its limit and has its service selected again.
TEST_F(PortWindowTest, ReconnectInTheStandardProfileStartsItsDialectAfresh)
{
    form->ReconnectCheckBox->setChecked(true);
    form->RadioProfileComboBox->setCurrentIndex(int(RadioProfile::Etsi));
    auto radio = std::make_unique<PtyRadioEnd>();
    const QString link = settingsDir.filePath("radio");
    ASSERT_TRUE(QFile::link(radio->path(), link));
    connectToPty(*radio, link);
    ASSERT_TRUE(radio->waitFor("AT+CMGS=?\r"));
    radio->send("\r\n+CMGS: (8-1184)\r\n\r\nOK\r\n");
    form->ProtocolIdentifierEdit->setText("130");
    form->RegisterButton->click();
    ASSERT_TRUE(radio->waitFor("AT+CTSP=1,3,130\r"));
    radio->send("\r\nOK\r\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->RadioState == rsRegistered; }, waitMs));
    ASSERT_EQ(form->UserDataBitLimit(), 1184);
    form->DestISSI_Edit->setText("4321");
    form->Message_Edit->setEditText("Hi");
    form->SendButton->click();
    ASSERT_TRUE(radio->waitFor("AT+CTSDS=12,0,0,0,1\r"));
    // The message waits for the selection's answer.
    radio->send("\r\nOK\r\n");
    ASSERT_TRUE(radio->waitFor("AT+CTSDS=12,0,0,0,1\rAT+CMGS=4321,48\r\n"));

    radio->hangUp();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->Reconnect->isWaiting(); }, waitMs));
    EXPECT_TRUE(form->RadioProfileComboBox->isEnabled());
    radio = std::make_unique<PtyRadioEnd>();
    ASSERT_TRUE(QFile::remove(link));
    ASSERT_TRUE(QFile::link(radio->path(), link));
    ASSERT_TRUE(radio->waitFor("AT\r"));
    EXPECT_EQ(form->UserDataBitLimit(), 2047);
    radio->send("\r\nOK\r\n");
    ASSERT_TRUE(radio->waitFor("AT+CMGS=?\r"));
    radio->send("\r\n+CMGS: (8-1184)\r\n\r\nOK\r\n");
    ASSERT_TRUE(radio->waitFor("AT+CTSP=1,3,130\r"));
    radio->send("\r\nOK\r\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->RadioState == rsRegistered; }, waitMs));
    EXPECT_EQ(form->UserDataBitLimit(), 1184);
    form->SendButton->click();
    ASSERT_TRUE(radio->waitFor("AT+CTSDS=12,0,0,0,1\r"));
    radio->send("\r\nOK\r\n");
    EXPECT_TRUE(radio->waitFor("AT+CTSDS=12,0,0,0,1\rAT+CMGS=4321,48\r\n"));
    EXPECT_EQ(boxes.size(), 1);
    form->ComPort->Close();
}

TEST_F(PortWindowTest, DisconnectEndsTheWaitForAVanishedDevice)
{
    form->ReconnectCheckBox->setChecked(true);
    connectProbed();
    line->hangUp();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->Reconnect->isWaiting(); }, waitMs));
    form->DisconnectButton->click();
    EXPECT_FALSE(form->Reconnect->isWaiting());
    EXPECT_TRUE(messageShown(": Reconnect: stopped waiting for the radio."));
    EXPECT_FALSE(form->DisconnectButton->isEnabled());
}

TEST_F(PortWindowTest, ReconnectChoiceIsKeptInTheSettingsFile)
{
    form->ReconnectCheckBox->setChecked(true);
    restart();
    EXPECT_TRUE(form->ReconnectCheckBox->isChecked());
    EXPECT_TRUE(settingsText().contains("\nReconnectCheckBox=1\n"));
}

TEST_F(PortWindowTest, SilentProbeSaysWhatToCheckAndALateAnswerStillCounts)
{
    form->ConnectButton->click();
    EXPECT_TRUE(form->ProbeTimer->isActive());
    EXPECT_EQ(form->ProbeTimer->interval(), 3000);
    EXPECT_TRUE(QTest::qWaitFor([&] { return messageShown("No answer from the radio"); }, waitMs));
    EXPECT_TRUE(messageShown(
        ": No answer from the radio 3 s after Connect. Check the cable, the baud rate (the line "
        "is set to 9600 8N1) and that the radio is switched on."));
    line->pushInput("\r\nOK\r\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->RadioState == rsReady; }, waitMs));

    // An answer in time says nothing of silence.
    form->MessagesPad_Memo->clear();
    form->DisconnectButton->click();
    form->ConnectButton->click();
    line->pushInput("\r\nOK\r\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->RadioState == rsReady; }, waitMs));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form->ProbeTimer->isActive(); }, waitMs));
    EXPECT_FALSE(messageShown("No answer"));
}

TEST_F(PortWindowTest, CommandLineSendsAnyCommandOnlyWhenTheRadioIsReady)
{
    EXPECT_FALSE(form->CommandLine_Edit->isEnabled());
    form->ConnectButton->click();
    EXPECT_FALSE(form->CommandLine_Edit->isEnabled()); // probing
    line->takeOutput();
    line->pushInput("\r\nOK\r\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->CommandLine_Edit->isEnabled(); }, waitMs));

    form->CommandLine_Edit->setEditText("AT+CSQ?");
    QTest::keyClick(form->CommandLine_Edit->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(line->takeOutput(), QByteArray("AT+CSQ?\r"));
    EXPECT_TRUE(lastLine(form->CommandLogger_Memo).endsWith(" pc: AT+CSQ?"));
    EXPECT_EQ(form->CommandLine_Edit->itemText(0), "AT+CSQ?");
    EXPECT_TRUE(form->CommandLine_Edit->currentText().isEmpty());

    // The answer goes to the logger; the dispatcher leaves it alone.
    const QString messages = form->MessagesPad_Memo->lines().join(QLatin1Char('\n'));
    line->pushInput("\r\n+CSQ: 20,99\r\n\r\nOK\r\n");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return form->CommandLogger_Memo->lines()
                .join(QLatin1Char('\n'))
                .contains("+CSQ: 20,99");
        },
        waitMs));
    EXPECT_EQ(form->RadioState, rsReady);
    EXPECT_EQ(form->MessagesPad_Memo->lines().join(QLatin1Char('\n')), messages);

    // Registered: allowed; while a message waits for its answer: not.
    form->ProtocolIdentifierEdit->setText("130");
    form->RegisterButton->click();
    EXPECT_FALSE(form->CommandLine_Edit->isEnabled());
    line->pushInput("\r\n+CMGS: 0\r\n\r\nOK\r\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->CommandLine_Edit->isEnabled(); }, waitMs));
    form->SendButton->click();
    EXPECT_FALSE(form->CommandLine_Edit->isEnabled());
    line->pushInput("\r\n+CMGS: 0\r\n\r\nOK\r\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->CommandLine_Edit->isEnabled(); }, waitMs));

    // Not ready for a command (CTS off): said, not sent.
    line->takeOutput();
    line->setCts(false);
    form->CommandLine_Edit->setEditText("AT+CREG?");
    QTest::keyClick(form->CommandLine_Edit->lineEdit(), Qt::Key_Return);
    EXPECT_TRUE(line->output().isEmpty());
    EXPECT_TRUE(messageShown("the command was not sent"));

    form->DisconnectButton->click();
    EXPECT_FALSE(form->CommandLine_Edit->isEnabled());
}
