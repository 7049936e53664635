// Getting a vanished device back without a window: the session waits for
// it, and takes only that device, and only when no other program holds it.
#include "ports/PortMessages.h"
#include "session/RadioSession.h"
#include "session/ReconnectWatch.h"
#include "tests/serial/FakePorts.h"
#include "tests/serial/SerialTestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

constexpr int waitMs = 8000;

// What the radio's end of a pseudo-terminal received.
QByteArray drain(const PtyPair &pty)
{
    QByteArray received;
    char buffer[256];
    ssize_t n = 0;
    while (pty.master() >= 0 && (n = ::read(pty.master(), buffer, sizeof buffer)) > 0)
        received.append(buffer, int(n));
    return received;
}

class ReconnectTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        session.setReconnectEnabled(true);
        QObject::connect(&session, &RadioSession::messageEntry,
                         [this](const QByteArray &entry) { messages.append(entry); });
        QObject::connect(&session, &RadioSession::openFailed,
                         [this](const QString &, int) { ++openFailures; });
    }
    void TearDown() override { session.disconnectRadio(); }

    // A link standing for a device node; it is moved to another device as
    // udev moves a node or a by-id link.
    QString pointAt(const QString &name, const PtyPair &pty)
    {
        const QString link = dir.filePath(name);
        QFile::remove(link);
        EXPECT_TRUE(QFile::link(pty.path(), link));
        return link;
    }

    // The session connects to `path`, on the slave of `pty`, and the radio answers the probe.
    void connectTo(const QString &path, PtyPair &pty)
    {
        ASSERT_TRUE(session.connectTo(path));
        answerProbe(pty);
    }
    void answerProbe(PtyPair &pty)
    {
        QByteArray received;
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return (received += drain(pty)).contains("AT\r"); }, waitMs));
        ASSERT_EQ(::write(pty.master(), "\r\nOK\r\n", 6), 6);
        ASSERT_TRUE(QTest::qWaitFor([&] { return session.RadioState == rsReady; }, waitMs));
    }
    void lose(PtyPair &pty)
    {
        pty.closeMaster();
        ASSERT_TRUE(QTest::qWaitFor([&] { return session.Reconnect->isWaiting(); }, waitMs));
    }
    bool messageShown(const QByteArray &text) const
    {
        for (const QByteArray &entry : messages) {
            if (entry.contains(text))
                return true;
        }
        return false;
    }

    QTemporaryDir dir;
    RadioSession session;
    QList<QByteArray> messages;
    int openFailures = 0;
};

TEST_F(ReconnectTest, ADeviceAnotherProgramHoldsIsLeftAloneAndTheWaitGoesOnQuietly)
{
    PtyPair first;
    const QString node = pointAt(QStringLiteral("radio"), first);
    connectTo(node, first);
    lose(first);
    const qsizetype messagesWhileWaiting = messages.size();

    // The node now belongs to a terminal another program has open.
    PtyPair taken;
    ProgramHolding holder(taken.slave());
    pointAt(QStringLiteral("radio"), taken);
    for (int i = 0; i < 3; ++i) {
        session.Reconnect->check();
        EXPECT_TRUE(session.Reconnect->isWaiting());
    }
    EXPECT_TRUE(drain(taken).isEmpty()) << "written into another program's terminal";
    EXPECT_EQ(messages.size(), messagesWhileWaiting) << messages.constLast().constData();
    EXPECT_EQ(openFailures, 0);

    // Once that program lets it go, it is free to take.
    holder.end();
    session.Reconnect->check();
    EXPECT_FALSE(session.Reconnect->isWaiting());
    EXPECT_TRUE(messageShown(PortMessages::deviceBack(node)));
    answerProbe(taken);
}

class UsbReconnectTest : public ReconnectTest
{
protected:
    void SetUp() override
    {
        ReconnectTest::SetUp();
        session.setPortEnumerator(std::make_shared<FakePortEnumerator>(ports));
    }
    serial::PortInfo usbRadio(const QString &node, const QString &serialNumber,
                              const QString &byIdLink) const
    {
        return {node, QStringLiteral("Radio PEI"), QStringLiteral("Kestrel Radioworks"),
                serialNumber, byIdLink};
    }

    std::shared_ptr<FakePorts> ports = std::make_shared<FakePorts>();
};

TEST_F(UsbReconnectTest, AnotherDeviceUnderTheOldNodeIsNotTakenTheSameOneUnderItsLinkIs)
{
    PtyPair first;
    const QString node = pointAt(QStringLiteral("ttyUSB0"), first);
    const QString link = pointAt(QStringLiteral("usb-Kestrel_Radio_PEI_A1-if00"), first);
    ports->set({usbRadio(node, QStringLiteral("A1"), link)});
    connectTo(node, first);
    lose(first);
    ASSERT_TRUE(QFile::remove(node));
    ASSERT_TRUE(QFile::remove(link));
    ports->set({});
    EXPECT_TRUE(messageShown(PortMessages::waitingForDevice(node)));

    // Another radio of the same make is plugged in and gets the old node.
    PtyPair other;
    pointAt(QStringLiteral("ttyUSB0"), other);
    const QString otherLink = pointAt(QStringLiteral("usb-Kestrel_Radio_PEI_B2-if00"), other);
    ports->set({usbRadio(node, QStringLiteral("B2"), otherLink)});
    for (int i = 0; i < 3; ++i) {
        session.Reconnect->check();
        EXPECT_TRUE(session.Reconnect->isWaiting());
    }
    EXPECT_TRUE(drain(other).isEmpty()) << "written into another radio";

    // The radio that vanished comes back under a new node; its link follows it.
    PtyPair back;
    const QString newNode = pointAt(QStringLiteral("ttyUSB1"), back);
    pointAt(QStringLiteral("usb-Kestrel_Radio_PEI_A1-if00"), back);
    ports->set({usbRadio(node, QStringLiteral("B2"), otherLink),
                usbRadio(newNode, QStringLiteral("A1"), link)});
    session.Reconnect->check();
    EXPECT_FALSE(session.Reconnect->isWaiting());
    EXPECT_TRUE(messageShown(PortMessages::deviceBack(link)));
    answerProbe(back);
    EXPECT_TRUE(drain(other).isEmpty());
}

TEST_F(UsbReconnectTest, TheSameSerialNumberUnderTheOldNodeIsTakenBeforeItsLinkComes)
{
    PtyPair first;
    const QString node = pointAt(QStringLiteral("ttyUSB0"), first);
    const QString link = dir.filePath(QStringLiteral("usb-Kestrel_Radio_PEI_A1-if00"));
    ports->set({usbRadio(node, QStringLiteral("A1"), link)});
    connectTo(node, first);
    lose(first);
    ports->set({});

    // The node is back; udev has not made the link yet.
    PtyPair back;
    pointAt(QStringLiteral("ttyUSB0"), back);
    ports->set({usbRadio(node, QStringLiteral("A1"), QString())});
    session.Reconnect->check();
    EXPECT_FALSE(session.Reconnect->isWaiting());
    EXPECT_TRUE(messageShown(PortMessages::deviceBack(node)));
    answerProbe(back);
}

} // namespace
