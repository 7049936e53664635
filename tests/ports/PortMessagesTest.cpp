#include "ports/PortMessages.h"

#include <gtest/gtest.h>

using serial::OpenFailure;

TEST(PortMessagesTest, OpenFailureDetailNamesThePathAndWhatToDo)
{
    OpenFailure refused;
    refused.reason = OpenFailure::Reason::PermissionDenied;
    refused.group = "dialout";
    EXPECT_EQ(PortMessages::openFailureDetail("/dev/ttyUSB0", refused),
              "/dev/ttyUSB0: permission denied. The device belongs to the group \"dialout\"; add "
              "yourself to it with\n\n    sudo usermod -aG dialout \"$USER\"\n\nthen log out and "
              "in again.");

    OpenFailure busy;
    busy.reason = OpenFailure::Reason::InUse;
    busy.holder = "minicom";
    busy.holderPid = 4242;
    EXPECT_EQ(PortMessages::openFailureDetail("/dev/ttyUSB0", busy),
              "/dev/ttyUSB0 is in use by minicom (pid 4242).");
    busy.holderPid = 0;
    EXPECT_EQ(PortMessages::openFailureDetail("/dev/ttyUSB0", busy),
              "/dev/ttyUSB0 is in use by another program.");

    OpenFailure missing;
    missing.reason = OpenFailure::Reason::Missing;
    EXPECT_EQ(PortMessages::openFailureDetail("/dev/ttyUSB7", missing),
              "/dev/ttyUSB7: The device is not present.");

    OpenFailure other;
    other.systemMessage = "Inappropriate ioctl for device";
    EXPECT_EQ(PortMessages::openFailureDetail("/tmp/file", other),
              "/tmp/file: Inappropriate ioctl for device.");
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
