#pragma once

#include "radiosim/RadioSim.h"
#include "radiosim/SimNetwork.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace radiosim {

// What corvane-radiosim was asked to do. Each client that opens the
// device meets a freshly started radio with these options.
struct RunnerOptions
{
    RadioSimOptions radio;
    std::optional<int> cmeNext; // refuse the first message of each client
    bool echoProbe = false;     // echo the first probe of each client
    qint64 exitAfterMs = 0;     // 0: run until SIGINT or SIGTERM
    bool quiet = false;         // print the device line only
    // Two radios on two pseudo-terminals, the second with its own ISSI, on
    // a simulated network whose seed is chosen when none was given.
    bool pair = false;
    quint64 secondIssi = 0;
    NetworkOptions network;
};

struct RunnerCommandLine
{
    enum class Action { Run, ShowHelp, Fail };
    Action action = Action::Run;
    RunnerOptions options;
    QString text; // the help text, or what is wrong with the arguments
};

// arguments as in main(), the program name first.
RunnerCommandLine parseRunnerCommandLine(const QStringList &arguments);

} // namespace radiosim
