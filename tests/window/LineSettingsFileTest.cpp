#include "window/LineSettingsFile.h"
#include "tests/ports/SampleLineSettings.h"
#include "window/LineDialog.h"

#include "formstate/ProfileFile.h"
#include "serial/Comms.h"

#include <QComboBox>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
