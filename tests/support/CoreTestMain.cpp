#include "tests/support/PrivateStateFolder.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

// Tests of the libraries without widgets run under a core application:
// timers and queued calls work, and nothing could reach a window.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const PrivateStateFolder stateFolder;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
