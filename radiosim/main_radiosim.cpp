// corvane-radiosim: a simulated TETRA radio on a pseudo-terminal.
#include "radiosim/PtyRunner_linux.h"
#include "radiosim/RunnerOptions.h"

#include <QCoreApplication>
#include <cstdio>
#include <exception>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const radiosim::RunnerCommandLine commandLine =
        radiosim::parseRunnerCommandLine(QCoreApplication::arguments());
    switch (commandLine.action) {
    case radiosim::RunnerCommandLine::Action::ShowHelp:
        std::fputs(commandLine.text.toLocal8Bit().constData(), stdout);
        return 0;
    case radiosim::RunnerCommandLine::Action::Fail:
        std::fprintf(stderr, "corvane-radiosim: %s\nTry --help.\n",
                     commandLine.text.toLocal8Bit().constData());
        return 2;
    case radiosim::RunnerCommandLine::Action::Run:
        break;
    }
    try {
        return radiosim::runRadioOnPseudoTerminal(commandLine.options, stdout);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "corvane-radiosim: %s\n", error.what());
        return 1;
    }
}
