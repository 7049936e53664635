#include "ports/PortMessages.h"

#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using serial::OpenFailure;

namespace {

const QString oldSentence = "An Error Has Occurred whilst opening the Serial Port\r\n"
                            "Another application may be utilising that COM port !!!!!'";

OpenFailure failureOf(OpenFailure::Reason reason, int error, const QString &systemMessage = {})
{
    OpenFailure failure;
    failure.reason = reason;
    failure.error = error;
    failure.systemMessage = systemMessage;
    return failure;
}

DeviceAccess accessOf(const QString &owner, qint64 ownerId, const QString &group, qint64 groupId,
                      int mode)
{
    return {true, owner, ownerId, group, groupId, mode};
}

} // namespace

TEST(PortMessagesTest, ABusyPortOrAnUnknownReasonKeepsTheOldSentence)
{
    EXPECT_EQ(PortMessages::openFailureText(), oldSentence);
    OpenFailure busy = failureOf(OpenFailure::Reason::InUse, EBUSY);
    EXPECT_EQ(PortMessages::openFailureText("/dev/ttyUSB0", busy), oldSentence);
    busy.holder = "minicom";
    busy.holderPid = 4242;
    EXPECT_EQ(PortMessages::openFailureDetail("/dev/ttyUSB0", busy),
              "/dev/ttyUSB0 is in use by minicom (pid 4242).");
    busy.holderPid = 0;
    EXPECT_EQ(PortMessages::openFailureDetail("/dev/ttyUSB0", busy),
              "/dev/ttyUSB0 is in use by another program.");

    const OpenFailure unknown = failureOf(OpenFailure::Reason::Other, EIO, "Input/output error");
    EXPECT_EQ(PortMessages::openFailureText("/dev/ttyUSB0", unknown), oldSentence);
    EXPECT_EQ(PortMessages::openFailureDetail("/dev/ttyUSB0", unknown),
              "/dev/ttyUSB0: Input/output error.");
}

TEST(PortMessagesTest, OtherFailuresLeadWithTheReason)
{
    const OpenFailure missing = failureOf(OpenFailure::Reason::Missing, ENOENT);
    EXPECT_EQ(PortMessages::openFailureText("/dev/ttyUSB7", missing),
              "Cannot open /dev/ttyUSB7: the device is not present.");
    EXPECT_EQ(PortMessages::openFailureDetail("/dev/ttyUSB7", missing),
              "Check that the radio is plugged in and switched on, then choose its port from "
              "the list.");

    const OpenFailure refused = failureOf(OpenFailure::Reason::PermissionDenied, EACCES);
    EXPECT_EQ(PortMessages::openFailureText("/dev/ttyUSB0", refused),
              "Cannot open /dev/ttyUSB0: permission denied.");

    for (const int error : {ENOTTY, EISDIR}) {
        const OpenFailure notSerial = failureOf(OpenFailure::Reason::Other, error, "whatever");
        EXPECT_EQ(PortMessages::openFailureText("/tmp/file", notSerial),
                  "Cannot open /tmp/file: it is not a serial device.")
            << error;
        EXPECT_EQ(PortMessages::openFailureDetail("/tmp/file", notSerial),
                  "Choose the radio's port from the list, or type the path of a serial device "
                  "such as /dev/ttyUSB0.")
            << error;
    }
}

TEST(PortMessagesTest, AGroupIsAdvisedOnlyWhenJoiningItLetsTheUserIn)
{
    OpenFailure refused = failureOf(OpenFailure::Reason::PermissionDenied, EACCES);
    refused.group = "dialout";
    const auto detail = [&](const DeviceAccess &access) {
        return PortMessages::openFailureDetail("/dev/ttyUSB0", refused, access);
    };
    const QString joinDialout = "The device belongs to the group \"dialout\"; add yourself to it "
                                "with\n\n    sudo usermod -aG dialout \"$USER\"\n\nthen log out "
                                "and in again.";
    EXPECT_EQ(detail(accessOf("root", 0, "dialout", 20, 0660)), joinDialout);
    EXPECT_EQ(detail(accessOf("alice", 1000, "dialout", 20, 0660)), joinDialout);

    // Mode 000, owned by root: no group helps.
    EXPECT_EQ(detail(accessOf("root", 0, "root", 0, 0)), "Only root may open /dev/ttyUSB0.");
    // The group may not read it.
    EXPECT_EQ(detail(accessOf("root", 0, "tty", 5, 0620)), "Only root may open /dev/ttyUSB0.");
    // A group of id 0 under another name is the superuser's all the same.
    EXPECT_EQ(detail(accessOf("root", 0, "wheel", 0, 0660)),
              "Only root and the members of the group \"wheel\" may open /dev/ttyUSB0.");
    EXPECT_EQ(detail(accessOf("alice", 1000, "alice", 1000, 0600)),
              "Only the user alice and root may open /dev/ttyUSB0.");
    EXPECT_EQ(detail(accessOf("alice", 1000, "root", 0, 0660)),
              "Only the user alice, root and the members of the group \"root\" may open "
              "/dev/ttyUSB0.");
    EXPECT_EQ(detail(accessOf("root", 0, "dialout", 20, 0666)),
              "Its permissions let everyone open /dev/ttyUSB0; the system refused all the same "
              "(a security policy, or a file system mounted without devices).");
    // Nothing more is known of a device that could not be looked at.
    EXPECT_EQ(detail(DeviceAccess()), "");
}

TEST(PortMessagesTest, ARefusedDeviceIsLookedAtForWhoMayOpenIt)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("ttyRefused");
    QFile device(path);
    ASSERT_TRUE(device.open(QIODevice::WriteOnly));
    device.close();
    const QByteArray native = QFile::encodeName(path);
    if (::chown(native.constData(), 0, 0) != 0)
        GTEST_SKIP() << "the device's owner cannot be set here";
    ASSERT_EQ(::chmod(native.constData(), 0), 0);
    EXPECT_EQ(PortMessages::openFailureDetail(path, serial::diagnoseOpenFailure(path, EACCES)),
              "Only root may open " + path + ".");

    const group *dialout = ::getgrnam("dialout");
    if (!dialout || dialout->gr_gid == 0)
        GTEST_SKIP() << "no group \"dialout\" here";
    ASSERT_EQ(::chown(native.constData(), 0, dialout->gr_gid), 0);
    ASSERT_EQ(::chmod(native.constData(), 0660), 0);
    EXPECT_TRUE(PortMessages::openFailureDetail(path, serial::diagnoseOpenFailure(path, EACCES))
                    .contains("sudo usermod -aG dialout \"$USER\""));
}

TEST(PortMessagesTest, MessageWindowLinesSayEachStep)
{
    EXPECT_EQ(PortMessages::connectionLost("/dev/ttyUSB0", "Input/output error"),
              ": Radio connection lost (/dev/ttyUSB0: Input/output error).");
    EXPECT_EQ(PortMessages::waitingForDevice("/dev/ttyUSB0"),
              ": Reconnect: waiting for /dev/ttyUSB0 to come back.");
    EXPECT_EQ(PortMessages::deviceBack("/dev/ttyUSB0"),
              ": Reconnect: /dev/ttyUSB0 is back, reopening it.");
    EXPECT_EQ(PortMessages::registeringAgain("130"),
              ": Reconnect: registering again with protocol identifier 130.");
    const QByteArray silent = PortMessages::silentProbe(3, "38400 8N1");
    EXPECT_TRUE(silent.startsWith(": No answer from the radio 3 s after Connect."));
    for (const char *advice : {"cable", "baud rate", "38400 8N1", "switched on"})
        EXPECT_TRUE(silent.contains(advice)) << advice;
}
