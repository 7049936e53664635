#pragma once

// A main window wired to a scriptable line, for the window tests.
#include "controls/LogView.h"
#include "serial/DeviceRegistry.h"
#include "serial/TestDevice.h"
#include "tests/serial/FakePorts.h"
#include "window/Corvane_main.h"
#include "window/LineDialog.h"
#include "window/ModalBox.h"
#include "window/PortSelector.h"
#include "window/SaveDialog.h"

#include <QComboBox>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

class WindowHarness : public ::testing::Test
{
protected:
    static constexpr const char *deviceName = "TESTLINE";

    void SetUp() override
    {
        ASSERT_TRUE(settingsDir.isValid());
        line = std::make_shared<serial::TestLine>();
        line->setCts(true);
        serial::registerDevice(deviceName, serial::TestDevice::factory(line));
        // The machine's own ports stay out of the window tests.
        setPortEnumeratorFactory(
            [ports = fakePorts] { return std::make_unique<FakePortEnumerator>(ports); });
        setModalBoxHandler([this](const ModalBoxRequest &request) {
            boxes.append(request);
            return 0;
        });
        form = std::make_unique<TForm1>(settingsDir.filePath("corvane.set"));
        form->ComPortComboBox->setEditText(deviceName);
    }

    void TearDown() override
    {
        form.reset();
        setModalBoxHandler({});
        setPortEnumeratorFactory({});
        LineDialog::setHandler({});
        TSaveDialog::setHandler({});
        serial::unregisterDevice(deviceName);
    }

    // Polls the port as the data timer would: read what is waiting, then
    // hand the collected chunk on at the first empty poll.
    void poll()
    {
        form->DataTimerTimer();
        form->DataTimerTimer();
    }

    void receive(const QByteArray &chunk)
    {
        line->pushInput(chunk);
        poll();
    }

    void connectProbed()
    {
        form->ConnectButtonClick();
        ASSERT_EQ(line->takeOutput(), QByteArray("AT\r"));
        receive("\r\nOK\r\n");
        ASSERT_EQ(form->RadioState, 1);
    }

    static QString lastLine(const LogView *pane)
    {
        return QString::fromLatin1(pane->line(pane->lineCount() - 1));
    }
    static QStringList lines(const LogView *pane) { return pane->lines(); }

    QTemporaryDir settingsDir;
    std::shared_ptr<FakePorts> fakePorts = std::make_shared<FakePorts>();
    std::shared_ptr<serial::TestLine> line;
    std::unique_ptr<TForm1> form;
    QList<ModalBoxRequest> boxes;
};
