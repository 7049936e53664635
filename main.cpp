#include "files/LogFolder.h"
#include "radiosim/SimDevice.h"
#include "session/RadioSession.h"
#include "session/SeriesRun.h"
#include "session/SeriesRunOptions.h"
#include "session/SessionLogs.h"
#include "session/StopSignals.h"
#include "window/Application.h"
#include "window/Corvane_main.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <memory>
#include <system_error>

namespace {

// The radio session that is opening a port: a simulated radio speaks the
// dialect of the session that opens it, the window's or a run's, sender or
// receiver.
const RadioSession *openingSession = nullptr;

void serveSimulatedRadios(const RadioSession &session)
{
    QObject::connect(&session, &RadioSession::openingPort, &session,
                     [&session] { openingSession = &session; });
}

void registerSimulatedRadios()
{
    // Two simulated radios on one simulated network, for a desk without a
    // radio: "SIM" answers like a radio, and a peer sends it a message every
    // 20 seconds; "SIM2" receives what SIM sends to its ISSI, for a link test.
    radiosim::SimPair pair;
    pair.first.peerIntervalMs = 20000;
    pair.first.peerReportRequest = 0x06;
    radiosim::registerSimDevicePair(pair, [] {
        return openingSession && openingSession->profile() == RadioProfile::Etsi
                   ? radiosim::SimDialect::Etsi
                   : radiosim::SimDialect::Cmt;
    });
}

// One series without a window: a core application, no display needed.
int runSeries(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    registerSimulatedRadios();
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
    serveSimulatedRadios(session);
    const SeriesRunOptions &options = commandLine.options;
    // A link test's receiving radio; it outlives the run that uses it.
    std::unique_ptr<RadioSession> receiver;
    if (!options.receiver.isEmpty()) {
        receiver = std::make_unique<RadioSession>();
        serveSimulatedRadios(*receiver);
    }
    // The same log files as the window writes.
    std::unique_ptr<SessionLogs> logs;
    if (options.writeLogs) {
        logs = std::make_unique<SessionLogs>(options.logFolder.isEmpty() ? files::defaultLogFolder()
                                                                         : options.logFolder);
        logs->follow(session);
        if (receiver)
            logs->follow(*receiver);
        QObject::connect(logs.get(), &SessionLogs::problem, [](const QString &message) {
            std::fprintf(stderr, "corvane: %s\n", message.toLocal8Bit().constData());
        });
    }
    SeriesRun run(session, options, stdout, stderr);
    if (receiver)
        run.setReceiver(*receiver);
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
    registerSimulatedRadios();
    TForm1 form;
    serveSimulatedRadios(form.session());
    serveSimulatedRadios(form.receiverSession());
    form.show();
    return app.exec();
}
