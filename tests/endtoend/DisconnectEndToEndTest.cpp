// Disconnect lets go of the device at once: another program can take the
// radio the moment the window lets it go, and not a moment before.
#include "tests/endtoend/EndToEndWindow.h"
#include "tests/endtoend/EventLoopWait.h"
#include "tests/endtoend/PtyRadio.h"

#include <QProcess>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

struct Finished
{
    int exitCode = -1;
    QString out;
    QString err;
};

// corvane --run as another program, on the same device.
Finished runOneMessage(const QString &port)
{
    QProcess corvane;
    corvane.start(QStringLiteral(CORVANE_EXECUTABLE),
                  {"--run", "--port", port, "--to", "4321", "--count", "1", "--wait", "5"});
    Finished finished;
    // Waits on the event loop: the window keeps serving its port meanwhile.
    if (!runEventLoopUntil([&] { return corvane.state() == QProcess::NotRunning; }, 60000)) {
        corvane.kill();
        corvane.waitForFinished();
        return finished;
    }
    finished.exitCode = corvane.exitStatus() == QProcess::NormalExit ? corvane.exitCode() : -1;
    finished.out = QString::fromLocal8Bit(corvane.readAllStandardOutput());
    finished.err = QString::fromLocal8Bit(corvane.readAllStandardError());
    return finished;
}

TEST(DisconnectEndToEnd, TheDeviceIsFreeForAnotherProgramTheMomentDisconnectIsPressed)
{
    PtyRadio radio(RadioSetup{});
    ASSERT_FALSE(radio.portName().isEmpty()) << "the radio did not start";
    EndToEndWindow window;
    ASSERT_TRUE(window.connectTo(radio.portName()));
    ASSERT_TRUE(radio.portOpened());

    const Finished whileHeld = runOneMessage(radio.portName());
    EXPECT_EQ(whileHeld.exitCode, 2) << whileHeld.err.toStdString();
    EXPECT_TRUE(whileHeld.err.contains(QStringLiteral("in use"))) << whileHeld.err.toStdString();

    ASSERT_TRUE(window.press(window.form().DisconnectButton));
    const Finished afterwards = runOneMessage(radio.portName());
    EXPECT_EQ(afterwards.exitCode, 0) << afterwards.err.toStdString();
    EXPECT_TRUE(afterwards.out.contains(QStringLiteral("1 sent, 1 completed")))
        << afterwards.out.toStdString();
    // Nothing more reached the window once it let go.
    EXPECT_EQ(window.messageEntriesStartingWith(QStringLiteral(": Message received")), 0);
}

} // namespace
