#include "radio/Application.h"
#include "radio/Corvane_main.h"
#include "radio/SeriesRun.h"
#include "radio/SeriesRunOptions.h"
#include "radiosim/SimDevice.h"

#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace {

// One series with the window's controller, never shown. Its settings go to
// a file of its own, so the user's window keeps its fields.
int runSeries(TApplication &app, const SeriesRunOptions &options, const TForm1 *&controller)
{
    QTemporaryDir settingsDir;
    TForm1 form(settingsDir.filePath(QStringLiteral("corvane.set")));
    controller = &form;
    SeriesRun run(form, options, stdout, stderr);
    QTimer::singleShot(0, &run, &SeriesRun::start);
    return app.exec();
}

} // namespace

int main(int argc, char **argv)
{
    // Without a window the offscreen platform serves: no display is needed.
    if (opensNoWindow(argc, argv))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    // A simulated radio on the port "SIM", for a desk without a radio: it
    // answers like a radio and a peer sends a message every 20 seconds. It
    // speaks the dialect of the profile chosen in the window at Connect.
    radiosim::RadioSimOptions sim;
    sim.peerIntervalMs = 20000;
    sim.peerReportRequest = 0x06;
    // The SIM device follows whichever controller runs: the window's, or the
    // hidden one of an unattended run.
    const TForm1 *window = nullptr;
    radiosim::registerSimDevice(QStringLiteral("SIM"), sim, [&window] {
        return window && window->radioProfile() == RadioProfile::Etsi ? radiosim::SimDialect::Etsi
                                                                      : radiosim::SimDialect::Cmt;
    });

    const SeriesRunCommandLine commandLine = parseSeriesRunCommandLine(TApplication::arguments());
    switch (commandLine.action) {
    case SeriesRunCommandLine::Action::ShowHelp:
        std::fputs(commandLine.text.toLocal8Bit().constData(), stdout);
        return 0;
    case SeriesRunCommandLine::Action::Fail:
        std::fprintf(stderr, "corvane: %s\nTry corvane --help.\n",
                     commandLine.text.toLocal8Bit().constData());
        return SeriesRun::ExitUsage;
    case SeriesRunCommandLine::Action::Run:
        return runSeries(app, commandLine.options, window);
    case SeriesRunCommandLine::Action::Window:
        break;
    }
    TForm1 form;
    window = &form;
    form.show();
    return app.exec();
}
