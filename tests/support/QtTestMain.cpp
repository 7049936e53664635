#include "tests/support/PrivateStateFolder.h"

#include <QApplication>
#include <gtest/gtest.h>

// Every test binary gets a QApplication, so widgets, timers and queued
// calls work; without a display the offscreen platform is used.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const PrivateStateFolder stateFolder;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
