#include "serial/DeviceRegistry.h"
#include "serial/TestDevice.h"
#include "serial/TtyDevice_linux.h"

#include <gtest/gtest.h>

namespace {

TEST(DeviceRegistry, RegisteredNamesGetAFreshDeviceFromTheirFactory)
{
    int made = 0;
    auto line = std::make_shared<serial::TestLine>();
    const auto factory = serial::TestDevice::factory(line);
    serial::registerDevice(QStringLiteral("REG1"), [&]() {
        ++made;
        return factory();
    });
    EXPECT_TRUE(serial::isRegisteredDevice(QStringLiteral("REG1")));
    EXPECT_FALSE(serial::isRegisteredDevice(QStringLiteral("reg1")));

    const auto first = serial::createDevice(QStringLiteral("REG1"));
    const auto second = serial::createDevice(QStringLiteral("REG1"));
    EXPECT_EQ(made, 2);
    EXPECT_NE(first.get(), second.get());
    EXPECT_NE(dynamic_cast<serial::TestDevice *>(first.get()), nullptr);

    serial::unregisterDevice(QStringLiteral("REG1"));
    EXPECT_FALSE(serial::isRegisteredDevice(QStringLiteral("REG1")));
}

TEST(DeviceRegistry, AnyOtherNameIsATty)
{
    const auto device = serial::createDevice(QStringLiteral("/dev/ttyUSB0"));
    EXPECT_NE(dynamic_cast<serial::TtyDevice *>(device.get()), nullptr);
    serial::registerDevice(QStringLiteral("REG2"),
                           serial::TestDevice::factory(std::make_shared<serial::TestLine>()));
    serial::unregisterDevice(QStringLiteral("REG2"));
    const auto again = serial::createDevice(QStringLiteral("REG2"));
    EXPECT_NE(dynamic_cast<serial::TtyDevice *>(again.get()), nullptr);
}

TEST(DeviceRegistry, ReRegisteringReplacesTheFactory)
{
    auto firstLine = std::make_shared<serial::TestLine>();
    auto secondLine = std::make_shared<serial::TestLine>();
    serial::registerDevice(QStringLiteral("REG3"), serial::TestDevice::factory(firstLine));
    serial::registerDevice(QStringLiteral("REG3"), serial::TestDevice::factory(secondLine));
    const auto device = serial::createDevice(QStringLiteral("REG3"));
    ASSERT_EQ(device->open(QStringLiteral("REG3")), 0);
    EXPECT_FALSE(firstLine->isOpen());
    EXPECT_TRUE(secondLine->isOpen());
    serial::unregisterDevice(QStringLiteral("REG3"));
}

} // namespace
