// The CPU a series costs in the window, beside the same series run by
// `corvane --run`: messages 10 ms apart (100 a second) with both reports,
// each terminal against a corvane-radiosim of its own on a pseudo-terminal,
// so the radio's CPU counts for neither. Both write their log files (into a
// temporary XDG_STATE_HOME).
//   - run mode: the whole process, less a run of one message (start,
//     connect, register, exit) measured the same way;
//   - window: this process from Send until the last report is in.
// Prints both, as CPU seconds and as a share of one core, and their ratio.
// Exits with 1 when the window takes more than 1.5 times the run's CPU.
//     bench_window_cpu [messages] [delay ms]   (default 10000 10)
#include "bench/BenchApplication.h"
#include "bench/BenchWindow.h"
#include "bench/ChildProcess.h"
#include "bench/ProcessCpuTime.h"
#include "bench/PtyRadioProgram.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <optional>
#include <string>

namespace {

constexpr double GoalRatio = 1.5;

struct Cost
{
    double cpuSeconds = 0;
    double wallSeconds = 0;
    double percentOfCore() const { return wallSeconds > 0 ? 100 * cpuSeconds / wallSeconds : 0; }
};

double seconds(std::chrono::microseconds time)
{
    return double(time.count()) / 1e6;
}

// One `corvane --run` of `messages` against a fresh radio; nullopt when the
// run did not end well (every message completed, every report in).
std::optional<Cost> runMode(int messages, int delayMs, const QString &outputPath)
{
    PtyRadioProgram radio;
    if (radio.path().isEmpty())
        return std::nullopt;
    QElapsedTimer wall;
    wall.start();
    ChildProcess run(CORVANE_EXECUTABLE,
                     {"--run", "--port", radio.path().toStdString(), "--to", "4321", "--text",
                      "Series", "--count", std::to_string(messages), "--delay",
                      std::to_string(delayMs), "--reports", "both"},
                     QFile::encodeName(outputPath).toStdString());
    const ChildProcess::Ended ended = run.wait();
    if (ended.status != 0)
        return std::nullopt;
    return Cost{seconds(ended.cpu), double(wall.elapsed()) / 1000};
}

// The same series through the window, shown, against a fresh radio.
std::optional<Cost> windowMode(int messages, int delayMs)
{
    PtyRadioProgram radio;
    if (radio.path().isEmpty())
        return std::nullopt;
    BenchWindow window(radio.path());
    if (!window.connectAndRegister())
        return std::nullopt;
    runFor(500);
    QElapsedTimer wall;
    wall.start();
    const auto before = processCpuTime();
    window.sendSeries(messages, delayMs, true);
    const bool done =
        runUntil([&] { return window.seriesDone(messages); }, messages * delayMs * 10 + 60000);
    const auto used = processCpuTime() - before;
    const SeriesStatistics::Counts counts = window.form->seriesStatistics().counts();
    if (!done || counts.completed != messages || counts.receivedReports != messages ||
        counts.consumedReports != messages)
        return std::nullopt;
    return Cost{seconds(used), double(wall.elapsed()) / 1000};
}

void print(const char *name, const Cost &cost)
{
    std::printf("  %-40s %8.2f s CPU %8.1f s wall %7.1f%% of a core\n", name, cost.cpuSeconds,
                cost.wallSeconds, cost.percentOfCore());
}

} // namespace

int main(int argc, char **argv)
{
    BenchApplication app(argc, argv);
    const int messages = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    const int delayMs = argc > 2 ? std::max(0, std::atoi(argv[2])) : 10;

    QTemporaryDir state;
    // Both terminals' log files stay out of the user's state folder.
    qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
    const QString runOutput = state.filePath(QStringLiteral("run.out"));

    const std::optional<Cost> startAndExit = runMode(1, delayMs, runOutput);
    const std::optional<Cost> run = runMode(messages, delayMs, runOutput);
    const std::optional<Cost> window = windowMode(messages, delayMs);
    if (!startAndExit || !run || !window) {
        std::fprintf(stderr,
                     "bench_window_cpu: a series did not complete with every report "
                     "(corvane --run's output is in %s)\n",
                     qPrintable(runOutput));
        state.setAutoRemove(false);
        return 2;
    }
    const Cost series{run->cpuSeconds - startAndExit->cpuSeconds,
                      run->wallSeconds - startAndExit->wallSeconds};
    const double ratio = window->cpuSeconds / series.cpuSeconds;
    std::printf("CPU of a series of %d messages %d ms apart with both reports, "
                "corvane-radiosim on a pseudo-terminal\n",
                messages, delayMs);
    print("corvane --run, one message (start, exit)", *startAndExit);
    print("corvane --run, whole series", *run);
    print("corvane --run, the series alone", series);
    print("window, Send to the last report", *window);
    std::printf("  window / run: %.2fx (goal at most %.1fx): %s\n", ratio, GoalRatio,
                ratio <= GoalRatio ? "met" : "NOT met");
    return ratio <= GoalRatio ? 0 : 1;
}
