#include "tests/support/PrivateStateFolder.h"
#include "window/Application.h"

#include <gtest/gtest.h>

// Window tests run under the program's own application object, so an
// exception that escapes a handler is shown the way the program shows it.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    const PrivateStateFolder stateFolder;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
