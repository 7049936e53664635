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

#include <QDir>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QScrollBar>
#include <QTemporaryDir>
#include <cstdio>
#include <map>
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
    struct PaintCounter : QObject
    {
        std::map<QString, int> counts;
        bool eventFilter(QObject *o, QEvent *e) override
        {
            if (e->type() == QEvent::Paint && qobject_cast<QScrollBar *>(o))
                counts[QString("scrollbar ") +
                       (static_cast<QScrollBar *>(o)->orientation() == Qt::Horizontal ? "h "
                                                                                      : "v ") +
                       QString::number(static_cast<QPaintEvent *>(e)->rect().width()) + "x" +
                       QString::number(static_cast<QPaintEvent *>(e)->rect().height())]++;
            if (e->type() == QEvent::Paint)
                counts[QString::fromLatin1(o->metaObject()->className()) + "/" + o->objectName() +
                       "/" +
                       (o->parent() ? QString::fromLatin1(o->parent()->metaObject()->className())
                                    : QString())]++;
            if (e->type() == QEvent::UpdateRequest)
                counts["UpdateRequest"]++;
            return false;
        }
    } counter;
    qApp->installEventFilter(&counter);
    auto threads = [] {
        std::map<QString, double> t;
        for (const QString &task :
             QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile f("/proc/self/task/" + task + "/stat");
            f.open(QIODevice::ReadOnly);
            const QByteArray line = f.readAll();
            const int close = line.lastIndexOf(')');
            const QByteArray name = line.mid(line.indexOf('(') + 1, close - line.indexOf('(') - 1);
            const QList<QByteArray> fields = line.mid(close + 2).split(' ');
            t[task + " " + name] = (fields[11].toLong() + fields[12].toLong()) / 100.0;
        }
        return t;
    };
    const auto threadsBefore = threads();
    window.sendSeries(messages, delayMs, true);
    const bool done =
        runUntil([&] { return window.seriesDone(messages); }, messages * delayMs * 10 + 60000);
    const auto used = processCpuTime() - before;
    qApp->removeEventFilter(&counter);
    for (auto &[k, v] : threads())
        std::printf("thread %-30s %.2f\n", qPrintable(k),
                    v - (threadsBefore.count(k) ? threadsBefore.at(k) : 0));
    for (auto &[k, v] : counter.counts)
        std::printf("%6d %s\n", v, qPrintable(k));
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
