#pragma once

#include "window/Corvane_main.h"

#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

class QPushButton;

// The main window as a user drives it: its own timers, its real port, a
// radio at the far end. Its settings live in a temporary folder. No modal
// box belongs on the roads these tests take, so every box fails the test.
class EndToEndWindow
{
public:
    EndToEndWindow();
    ~EndToEndWindow();
    EndToEndWindow(const EndToEndWindow &) = delete;
    EndToEndWindow &operator=(const EndToEndWindow &) = delete;

    TForm1 &form() { return *m_form; }

    // Clicks like a user: a disabled button cannot be pressed.
    testing::AssertionResult press(QPushButton *button);
    // Chooses the radio profile as a user would, before Connect.
    testing::AssertionResult chooseProfile(RadioProfile profile);
    // Types the port name into the selector and presses Connect.
    testing::AssertionResult pressConnect(const QString &portName);
    // Connects and waits until the radio has answered the probe.
    testing::AssertionResult connectTo(const QString &portName);
    // Registers and waits for the registration's answer.
    testing::AssertionResult registerAs(int protocolId);
    void compose(int destination, const QString &text, int repetitions = 1, int delayMs = 0);
    // Checks both TL report boxes.
    testing::AssertionResult requestBothReports();

    // Entries of the message window: the timestamp, then exactly text, or
    // text and more.
    int messageEntries(const QString &text) const;
    int messageEntriesStartingWith(const QString &text) const;
    // Lines of the PEI logger window that begin with the timestamp and text.
    int loggerEntriesStartingWith(const QString &text) const;

    // Destroys the window, which closes its port.
    void close();

private:
    QTemporaryDir m_settingsDir;
    std::unique_ptr<TForm1> m_form;
};
