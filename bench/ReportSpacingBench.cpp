// The delay from the radio's write of a peer's message to its line in the
// message window, while a peer asks for both reports every second (each
// answer holds its second report two seconds) and a series runs at ten
// messages a second. Beside it, as the baseline, the same peer asking for
// no report and no series: the delay the window has anyway.
// Prints median, p99 and max for each, and the median of the first and the
// last minute, so a delay that grows over the run shows. Exits with 1 when
// the loaded run's median is 50 ms or more, its p99 200 ms or more, or its
// last minute's median more than 20 ms above its first.
//     bench_report_spacing [seconds]   (default 300)
#include "bench/BenchApplication.h"
#include "controls/Getdata.h"
#include "radiosim/SimDevice.h"
#include "serial/DeviceRegistry.h"
#include "window/Corvane_main.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <mutex>
#include <vector>

namespace {

constexpr qint64 GoalMedianMs = 50;
constexpr qint64 GoalP99Ms = 200;
constexpr qint64 GoalGrowthMs = 20;
constexpr int StepTimeoutMs = 15000;

struct Figures
{
    int samples = 0;
    qint64 medianMs = 0;
    qint64 p99Ms = 0;
    qint64 maxMs = 0;
    qint64 firstMinuteMedianMs = 0;
    qint64 lastMinuteMedianMs = 0;
};

qint64 rank(std::vector<qint64> values, double share)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto index = std::size_t(std::max(1.0, std::ceil(share * double(values.size()))) - 1);
    return values.at(index);
}

bool runUntil(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    return true;
}

// One run: the peer's messages are stamped when the radio writes them and
// when their line reaches the message window, on one monotonic clock.
std::optional<Figures> measure(int seconds, bool loaded)
{
    radiosim::RadioSimOptions options;
    options.peerIntervalMs = 1000;
    options.peerReportRequest = loaded ? 0x0E : 0x00;
    radiosim::registerSimDevice(QStringLiteral("SIM"), options);
    QTemporaryDir settings;
    auto form = std::make_unique<TForm1>(settings.filePath(QStringLiteral("corvane.set")));
    form->show();

    QElapsedTimer clock;
    clock.start();
    std::mutex mutex;
    std::vector<qint64> written;
    std::vector<qint64> shown;
    QObject::connect(&form->session(), &RadioSession::messageEntry, form.get(),
                     [&](const QByteArray &entry) {
                         if (entry.contains(": Message received from 5678: "))
                             shown.push_back(clock.elapsed());
                     });

    form->ComPortComboBox->setEditText(QStringLiteral("SIM"));
    form->ConnectButton->click();
    if (!runUntil([&] { return form->RadioState == rsReady; }, StepTimeoutMs))
        return std::nullopt;
    radiosim::withActiveSim([&](radiosim::RadioSim &sim) {
        sim.setLogger([&](const QString &line) {
            if (line.startsWith(QLatin1String("tx ")) &&
                line.contains(QLatin1String("+CMT: 5678"))) {
                std::lock_guard<std::mutex> lock(mutex);
                written.push_back(clock.elapsed());
            }
        });
    });
    form->ProtocolIdentifierEdit->setValue(130);
    form->RegisterButton->click();
    if (!runUntil([&] { return form->RadioState == rsRegistered; }, StepTimeoutMs))
        return std::nullopt;
    const qint64 startMs = clock.elapsed();
    if (loaded) {
        form->DestISSI_Edit->setValue(4321);
        form->Message_Edit->setEditText(QStringLiteral("series beside the peer"));
        form->RepititionsEdit->setValue(seconds * 10);
        form->DelayEdit->setValue(100);
        form->CheckBoxRec->click();
        form->CheckBoxCon->click();
        form->SendButton->click();
    }
    runUntil([&] { return clock.elapsed() - startMs >= qint64(seconds) * 1000; },
             seconds * 1000 + 1000);
    form.reset();
    serial::unregisterDevice(QStringLiteral("SIM"));

    std::lock_guard<std::mutex> lock(mutex);
    std::vector<qint64> delays;
    std::vector<qint64> first;
    std::vector<qint64> last;
    const std::size_t pairs = std::min(written.size(), shown.size());
    for (std::size_t i = 0; i < pairs; ++i) {
        const qint64 delay = shown[i] - written[i];
        delays.push_back(delay);
        if (written[i] - startMs < 60000)
            first.push_back(delay);
        if (written[i] - startMs >= qint64(seconds) * 1000 - 60000)
            last.push_back(delay);
    }
    Figures figures;
    figures.samples = int(delays.size());
    figures.medianMs = rank(delays, 0.5);
    figures.p99Ms = rank(delays, 0.99);
    figures.maxMs = delays.empty() ? 0 : *std::max_element(delays.begin(), delays.end());
    figures.firstMinuteMedianMs = rank(first, 0.5);
    figures.lastMinuteMedianMs = rank(last, 0.5);
    return figures;
}

void print(const char *name, const Figures &f)
{
    std::printf("%-44s %7d %8lld %8lld %8lld %12lld %12lld\n", name, f.samples,
                static_cast<long long>(f.medianMs), static_cast<long long>(f.p99Ms),
                static_cast<long long>(f.maxMs), static_cast<long long>(f.firstMinuteMedianMs),
                static_cast<long long>(f.lastMinuteMedianMs));
}

} // namespace

int main(int argc, char **argv)
{
    BenchApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(10, std::atoi(argv[1])) : 300;

    const std::optional<Figures> baseline = measure(seconds, false);
    const std::optional<Figures> loaded = measure(seconds, true);
    if (!baseline || !loaded) {
        std::fprintf(stderr, "bench_report_spacing: the simulated radio did not register\n");
        return 2;
    }
    std::printf("Radio's write of a peer message to its line in the message window (ms), %d s\n",
                seconds);
    std::printf("%-44s %7s %8s %8s %8s %12s %12s\n", "", "samples", "median", "p99", "max",
                "1st minute", "last minute");
    print("baseline: peer asks no report, no series", *baseline);
    print("peer asks both reports, series at 10/s", *loaded);
    const bool good = loaded->medianMs < GoalMedianMs && loaded->p99Ms < GoalP99Ms &&
                      loaded->lastMinuteMedianMs <= loaded->firstMinuteMedianMs + GoalGrowthMs &&
                      loaded->samples >= seconds - 5;
    std::printf("goal: median below %lld ms, p99 below %lld ms, growth at most %lld ms: %s",
                static_cast<long long>(GoalMedianMs), static_cast<long long>(GoalP99Ms),
                static_cast<long long>(GoalGrowthMs), good ? "met\n" : "NOT met\n");
    return good ? 0 : 1;
}
