#include "files/LogFolder.h"
#include "radiosim/SimDevice.h"
#include "session/RadioSession.h"
#include "session/SeriesRun.h"
#include "session/SeriesRunOptions.h"
#include "session/StopSignals.h"
#include "session/SessionLogs.h"
#include "window/Application.h"
#include "window/Corvane_main.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <memory>
#include <system_error>

namespace {

// The radio session the simulated radio serves: the window's, or the one of
// an unattended run. It speaks the dialect of that session's profile.
const RadioSession *simSession = nullptr;

void registerSimulatedRadio()
{
    // A simulated radio on the port "SIM", for a desk without a radio: it
    // answers like a radio and a peer sends a message every 20 seconds.
    radiosim::RadioSimOptions sim;
    sim.peerIntervalMs = 20000;
    sim.peerReportRequest = 0x06;
    radiosim::registerSimDevice(QStringLiteral("SIM"), sim, [] {
        return simSession && simSession->profile() == RadioProfile::Etsi
                   ? radiosim::SimDialect::Etsi
                   : radiosim::SimDialect::Cmt;
    });
}

// One series without a window: a core application, no display needed.
int runSeries(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    registerSimulatedRadio();
    const SeriesRunCommandLine commandLine =
        parseSeriesRunCommandLine(QCoreApplication::arguments());
    switch (commandLine.action) {
    case SeriesRunCommandLine::Action::ShowHelp:
        std::fputs(commandLine.text.toLocal8Bit().constData(), stdout);
        return 0;
    case SeriesRunCommandLine::Action::ShowVersion:
        std::puts("corvane " CORVANE_VERSION);
        return 0;
    case SeriesRunCommandLine::Action::Fail:
        std::fprintf(stderr, "corvane: %s\nTry corvane --help.\n",
                     commandLine.text.toLocal8Bit().constData());
        return SeriesRun::ExitUsage;
    case SeriesRunCommandLine::Action::Run:
    case SeriesRunCommandLine::Action::Window:
        break;
    }
    RadioSession session;
    simSession = &session;
    const SeriesRunOptions &options = commandLine.options;
    // The same log files as the window writes.
    std::unique_ptr<SessionLogs> logs;
    if (options.writeLogs) {
        logs = std::make_unique<SessionLogs>(options.logFolder.isEmpty() ? files::defaultLogFolder()
                                                                         : options.logFolder);
        logs->follow(session);
        QObject::connect(logs.get(), &SessionLogs::problem, [](const QString &message) {
            std::fprintf(stderr, "corvane: %s\n", message.toLocal8Bit().constData());
        });
    }
    SeriesRun run(session, options, stdout, stderr);
    std::unique_ptr<StopSignals> stopSignals;
    try {
        stopSignals = std::make_unique<StopSignals>();
    } catch (const std::system_error &error) {
        std::fprintf(stderr, "corvane: %s\n", error.what());
        return SeriesRun::ExitUsage;
    }
    QObject::connect(stopSignals.get(), &StopSignals::received, &run, &SeriesRun::interrupt);
    QTimer::singleShot(0, &run, &SeriesRun::start);
    const int status = app.exec();
    if (logs)
        logs->close();
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    if (opensNoWindow(argc, argv))
        return runSeries(argc, argv);
    TApplication app(argc, argv);
    registerSimulatedRadio();
    TForm1 form;
    simSession = &form.session();
    form.show();
    return app.exec();
}
