#include "ports/LineSettings.h"
#include "tests/ports/SampleLineSettings.h"

#include "serial/Comms.h"

#include <gtest/gtest.h>

TEST(LineSettingsTest, OfferedRatesRunFrom1200To921600WithTheRadioRates)
{
    QList<uint32_t> rates;
    for (TBaudRate rate : offeredBaudRates())
        rates << baudRateValue(rate);
    EXPECT_EQ(rates.first(), 1200u);
    EXPECT_EQ(rates.last(), 921600u);
    for (uint32_t rate : {14400u, 38400u, 56000u, 57600u, 115200u, 9600u})
        EXPECT_TRUE(rates.contains(rate)) << rate;
    EXPECT_FALSE(rates.contains(110u));
}

TEST(LineSettingsTest, DefaultsAre9600EightNoneOneWithoutFlowControl)
{
    EXPECT_EQ(lineSummary(LineSettings()), "9600 8N1");
    EXPECT_EQ(lineSummary(fastEvenLine()), "115200 7E2, RTS/CTS");
}

TEST(LineSettingsTest, AppliedSettingsReachThePortsLineRecordSettings)
{
    TComPort port;
    applyLineSettings(port, fastEvenLine());
    EXPECT_EQ(port.BaudRate(), br115200);
    EXPECT_EQ(port.DataBits(), dbSeven);
    EXPECT_EQ(port.Parity()->Bits(), prEven);
    EXPECT_EQ(port.StopBits(), sbTwoStopBits);
    EXPECT_TRUE(port.FlowControl()->OutCtsFlow());
    EXPECT_EQ(port.FlowControl()->ControlRts(), rtsHandshake);
    applyLineSettings(port, LineSettings());
    EXPECT_FALSE(port.FlowControl()->OutCtsFlow());
    EXPECT_EQ(port.FlowControl()->ControlRts(), rtsDisable);
    EXPECT_EQ(port.BaudRate(), br9600);
}
