#include "ports/PortSelection.h"

#include "serial/DeviceRegistry.h"
#include "serial/TestDevice.h"

#include <cerrno>
#include <gtest/gtest.h>

TEST(PortSelectionTest, ComNamesSelectTheirPortByExactText)
{
    for (int i = 0; i < 4; ++i) {
        const PortChoice choice = choosePort(QString("COM%1").arg(i + 1));
        EXPECT_EQ(choice.kind, PortChoice::Kind::ComPort);
        EXPECT_EQ(choice.port, TPortType(COM1 + i));
    }
    for (const char *text : {"com1", "COM1 ", "COM5", "Select COM port", "", "ttyS0"}) {
        EXPECT_EQ(choosePort(text).kind, PortChoice::Kind::Invalid) << text;
        EXPECT_EQ(choosePort(text).error, ENOENT) << text;
    }
}

TEST(PortSelectionTest, PathsSelectOnlyExistingCharacterDevices)
{
    const PortChoice device = choosePort("/dev/null");
    EXPECT_EQ(device.kind, PortChoice::Kind::Device);
    EXPECT_EQ(device.devicePath, "/dev/null");
    const PortChoice folder = choosePort("/tmp");
    EXPECT_EQ(folder.kind, PortChoice::Kind::Invalid);
    EXPECT_EQ(folder.error, ENOTTY);
    for (const char *text : {"/dev/does-not-exist", "dev/null"}) {
        EXPECT_EQ(choosePort(text).kind, PortChoice::Kind::Invalid) << text;
        EXPECT_EQ(choosePort(text).error, ENOENT) << text;
    }
}

TEST(PortSelectionTest, RegisteredDeviceNamesAreDevices)
{
    auto line = std::make_shared<serial::TestLine>();
    serial::registerDevice("PORTSEL", serial::TestDevice::factory(line));
    EXPECT_EQ(choosePort("PORTSEL").kind, PortChoice::Kind::Device);
    serial::unregisterDevice("PORTSEL");
    EXPECT_EQ(choosePort("PORTSEL").kind, PortChoice::Kind::Invalid);
}

TEST(PortSelectionTest, ApplyingAChoiceSetsPortAndPathTogether)
{
    TComPort port;
    applyPortChoice(port, choosePort("/dev/null"));
    EXPECT_EQ(port.DevicePath(), "/dev/null");
    // A COM port takes the place of the device path.
    applyPortChoice(port, choosePort("COM3"));
    EXPECT_EQ(port.Port(), COM3);
    EXPECT_TRUE(port.DevicePath().isEmpty());
    // An invalid choice changes nothing, COM1 on a new port.
    TComPort fresh;
    applyPortChoice(fresh, choosePort("Select COM port"));
    EXPECT_EQ(fresh.Port(), COM1);
    EXPECT_TRUE(fresh.DevicePath().isEmpty());
}
