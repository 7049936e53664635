#include "radio/LineSettings.h"
#include "radio/LineDialog.h"

#include "formstate/ProfileFile.h"
#include "serial/Comms.h"

#include <QComboBox>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

LineSettings fastEvenLine()
{
    LineSettings settings;
    settings.baudRate = br115200;
    settings.dataBits = dbSeven;
    settings.parity = prEven;
    settings.stopBits = sbTwoStopBits;
    settings.rtsCts = true;
    return settings;
}

} // namespace

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

TEST(LineSettingsTest, StoredSettingsComeBackAndBadValuesFallBackToDefaults)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("corvane.set");
    {
        formstate::ProfileFile file(path);
        saveLineSettings(file, fastEvenLine());
        file.save();
    }
    QFile stored(path);
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    EXPECT_EQ(stored.readAll(), "[ComPort]\nBaudRate=115200\nDataBits=7\nParity=E\nStopBits=2\n"
                                "FlowControl=rtscts\n");
    EXPECT_EQ(loadLineSettings(formstate::ProfileFile(path)), fastEvenLine());

    {
        formstate::ProfileFile file(path);
        file.writeString("ComPort", "BaudRate", "12345");
        file.writeString("ComPort", "DataBits", "9");
        file.writeString("ComPort", "Parity", "EE");
        file.writeString("ComPort", "StopBits", "3");
        file.writeString("ComPort", "FlowControl", "xon");
        file.save();
    }
    EXPECT_EQ(loadLineSettings(formstate::ProfileFile(path)), LineSettings());
    EXPECT_EQ(loadLineSettings(formstate::ProfileFile(dir.filePath("none.set"))), LineSettings());
}

TEST(LineSettingsTest, DialogShowsAndReturnsEveryChoice)
{
    LineDialog dialog(fastEvenLine());
    EXPECT_EQ(dialog.settings(), fastEvenLine());
    EXPECT_EQ(dialog.BaudRateBox->currentText(), "115200");
    EXPECT_EQ(dialog.BaudRateBox->count(), offeredBaudRates().size());
    EXPECT_EQ(dialog.ParityBox->currentText(), "Even");
    EXPECT_EQ(dialog.FlowControlBox->count(), 2);

    dialog.BaudRateBox->setCurrentText("38400");
    dialog.DataBitsBox->setCurrentText("8");
    dialog.ParityBox->setCurrentText("None");
    dialog.StopBitsBox->setCurrentText("1");
    dialog.FlowControlBox->setCurrentIndex(0);
    LineSettings expected;
    expected.baudRate = br38400;
    EXPECT_EQ(dialog.settings(), expected);
}
