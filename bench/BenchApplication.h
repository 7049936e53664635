#pragma once

// The application of a benchmark that shows the window: offscreen unless
// QT_QPA_PLATFORM says otherwise, and every box told on stderr and answered
// at once, as no one is there to click it.
#include "window/Application.h"
#include "window/ModalBox.h"

#include <cstdio>

class BenchApplication : public TApplication
{
public:
    BenchApplication(int &argc, char **argv) : TApplication(offscreenUnlessSet(argc), argv)
    {
        setModalBoxHandler([](const ModalBoxRequest &request) {
            std::fprintf(stderr, "box: %s\n", request.text.toLocal8Bit().constData());
            return 0;
        });
    }

private:
    // Before the application is made, which reads the variable.
    static int &offscreenUnlessSet(int &argc)
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        return argc;
    }
};
