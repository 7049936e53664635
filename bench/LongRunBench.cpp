// A long run of the window: a series at 100 messages a second with both
// reports, and a peer that sends a message every second asking for both
// reports, against the simulated radio in the process (SIM), the window
// shown offscreen. Every minute it prints the resident memory and the
// worst stall of the window thread in that minute (a probe thread posts to
// it every 2 ms), beside the same probe's figure for a thread that does
// nothing else: what the machine itself makes an event loop wait, as the
// baseline. At the end it checks the log files, in a temporary
// XDG_STATE_HOME: every line the session gave the panes must be in them,
// in order.
//
// The panes keep at most 20,000 lines each here (through the settings file
// the window reads, as a user would set them), so that they reach their
// bound within the first minutes and the memory can be seen to stay flat.
// Goals: from the first full minute after both panes reached their bound,
// the resident memory stays within 10% of that minute's; no minute's worst
// stall exceeds 50 ms; every line is in the log files. Exits with 1 when a
// goal is missed.
//     bench_long_run [seconds]   (default 3600)
#include "bench/BenchApplication.h"
#include "bench/BenchWindow.h"
#include "controls/LogView.h"
#include "formstate/ProfileFile.h"
#include "radiosim/SimDevice.h"
#include "serial/DeviceRegistry.h"
#include "session/EntryLines.h"
#include "tests/support/StallProbe.h"
#include "window/Corvane_main.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <malloc.h>
#include <memory>
#include <optional>
#include <unistd.h>
#include <vector>

namespace {

constexpr int PaneLineBound = 20000;
constexpr int MessagesPerSecond = 100;
constexpr double GoalMemorySpread = 0.10;
constexpr double GoalStallMs = 50;
constexpr int StepTimeoutMs = 15000;

double residentMib()
{
    long resident = 0;
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (statm.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> fields = statm.readAll().split(' ');
        if (fields.size() > 1)
            resident = fields.at(1).toLong();
    }
    return double(resident) * double(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// What the program holds on the heap: growing with the resident size means
// something is kept; a resident size that grows alone is the allocator's
// fragmentation.
double heapInUseMib()
{
    const struct mallinfo2 info = ::mallinfo2();
    return double(info.uordblks + info.hblkhd) / (1024.0 * 1024.0);
}

// Every line the session gives one pane, in a file of the benchmark's own,
// to be found in the pane's log files at the end.
class LineRecord
{
public:
    explicit LineRecord(const QString &path) : m_file(path)
    {
        if (!m_file.open(QIODevice::WriteOnly))
            std::fprintf(stderr, "bench_long_run: cannot write %s\n", qPrintable(path));
    }
    void add(const QByteArray &entry)
    {
        forEachEntryLine(entry, [this](QByteArrayView line) {
            m_file.write(line.data(), line.size());
            m_file.write("\n", 1);
            ++m_lines;
        });
    }
    void close() { m_file.close(); }
    QString path() const { return m_file.fileName(); }

private:
    QFile m_file;
    qint64 m_lines = 0;
};

struct LogCheck
{
    qint64 expected = 0;
    qint64 found = 0;
    qint64 others = 0; // lines of the files that the record does not hold
    int files = 0;
    bool complete() const { return expected > 0 && found == expected; }
};

// Looks for the recorded lines in the pane's log files, in order.
LogCheck checkLogFiles(const QString &recordPath, const QString &folder, const QString &pane)
{
    LogCheck check;
    QFile record(recordPath);
    if (!record.open(QIODevice::ReadOnly))
        return check;
    // Sorted by name, the files are in the order they were written.
    const QStringList names =
        QDir(folder).entryList({pane + QStringLiteral("-*.log")}, QDir::Files, QDir::Name);
    check.files = int(names.size());
    std::size_t fileIndex = 0;
    std::unique_ptr<QFile> log;
    const auto nextLogLine = [&]() -> std::optional<QByteArray> {
        while (true) {
            if (log && !log->atEnd()) {
                QByteArray line = log->readLine();
                if (line.endsWith("\r\n"))
                    line.chop(2);
                return line;
            }
            if (fileIndex >= std::size_t(names.size()))
                return std::nullopt;
            log = std::make_unique<QFile>(QDir(folder).filePath(names.at(qsizetype(fileIndex++))));
            if (!log->open(QIODevice::ReadOnly))
                return std::nullopt;
        }
    };
    bool logEnded = false;
    while (!record.atEnd()) {
        QByteArray wanted = record.readLine();
        wanted.chop(1);
        ++check.expected;
        while (!logEnded) {
            const std::optional<QByteArray> line = nextLogLine();
            if (!line) {
                logEnded = true;
            } else if (*line == wanted) {
                ++check.found;
                break;
            } else {
                ++check.others;
            }
        }
    }
    while (nextLogLine())
        ++check.others;
    return check;
}

void writePaneBound(const QString &settingsPath)
{
    formstate::ProfileFile settings(settingsPath);
    for (const char *key : {"MessageWindowLines", "PeiLoggerLines"})
        settings.writeInteger(QStringLiteral("LogPanes"), QLatin1String(key), PaneLineBound);
    settings.save();
}

// The stall probe on a thread of its own with an idle event loop.
class IdleThreadProbe
{
public:
    IdleThreadProbe()
    {
        m_thread.start();
        m_home.moveToThread(&m_thread);
        // Made on that thread, so that its posts are served there.
        QMetaObject::invokeMethod(
            &m_home, [this] { m_probe = std::make_unique<StallProbe>(); },
            Qt::BlockingQueuedConnection);
    }
    ~IdleThreadProbe()
    {
        QMetaObject::invokeMethod(
            &m_home, [this] { m_probe.reset(); }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    IdleThreadProbe(const IdleThreadProbe &) = delete;
    IdleThreadProbe &operator=(const IdleThreadProbe &) = delete;

    double takeWorstMs() { return m_probe->takeWorstMs(); }

private:
    QThread m_thread;
    QObject m_home;
    std::unique_ptr<StallProbe> m_probe;
};

struct Minute
{
    double residentMib = 0;
    double heapInUseMib = 0;
    double worstStallMs = 0;
    double idleThreadStallMs = 0;
    int completed = 0;
    bool panesBounded = false;
};

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir state;
    // The window's log files go here, read back at the end.
    qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
    BenchApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(60, std::atoi(argv[1])) : 3600;
    const int minutes = seconds / 60;

    radiosim::RadioSimOptions options;
    options.peerIntervalMs = 1000;
    options.peerReportRequest = 0x0E;
    radiosim::registerSimDevice(QStringLiteral("SIM"), options);
    const QString settingsPath = state.filePath(QStringLiteral("corvane.set"));
    writePaneBound(settingsPath);

    LineRecord messageLines(state.filePath(QStringLiteral("messages.expected")));
    LineRecord peiLines(state.filePath(QStringLiteral("pei.expected")));
    auto form = std::make_unique<TForm1>(settingsPath);
    form->show();
    QObject::connect(&form->session(), &RadioSession::messageEntry, form.get(),
                     [&](const QByteArray &entry) { messageLines.add(entry); });
    QObject::connect(&form->session(), &RadioSession::peiLogEntry, form.get(),
                     [&](const QByteArray &entry) { peiLines.add(entry); });
    if (form->MessagesPad_Memo->maxLines() != PaneLineBound) {
        std::fprintf(stderr, "bench_long_run: the window did not take the pane bound\n");
        return 2;
    }

    form->ComPortComboBox->setEditText(QStringLiteral("SIM"));
    form->ConnectButton->click();
    if (!runUntil([&] { return form->RadioState == rsReady; }, StepTimeoutMs))
        return 2;
    form->ProtocolIdentifierEdit->setValue(130);
    form->RegisterButton->click();
    if (!runUntil([&] { return form->RadioState == rsRegistered; }, StepTimeoutMs))
        return 2;
    const int messages = seconds * MessagesPerSecond;
    form->DestISSI_Edit->setValue(4321);
    form->Message_Edit->setEditText(QStringLiteral("long run"));
    form->RepititionsEdit->setValue(messages);
    form->DelayEdit->setValue(1000 / MessagesPerSecond);
    form->CheckBoxRec->click();
    form->CheckBoxCon->click();

    std::printf("Long run: a series of %d messages at %d a second with both reports, a peer "
                "message a second; panes bound at %d lines\n",
                messages, MessagesPerSecond, PaneLineBound);
    std::printf("%7s %10s %10s %16s %18s %10s %s\n", "minute", "RSS MiB", "heap MiB",
                "worst stall ms", "idle thread's ms", "completed", "panes at their bound");
    std::fflush(stdout);
    std::vector<Minute> figures;
    {
        StallProbe probe;
        IdleThreadProbe baseline;
        form->SendButton->click();
        QElapsedTimer clock;
        clock.start();
        for (int minute = 1; minute <= minutes; ++minute) {
            runUntil([&] { return clock.elapsed() >= qint64(minute) * 60000; }, 61000);
            Minute now;
            now.residentMib = residentMib();
            now.heapInUseMib = heapInUseMib();
            now.worstStallMs = probe.takeWorstMs();
            now.idleThreadStallMs = baseline.takeWorstMs();
            now.completed = form->seriesStatistics().counts().completed;
            now.panesBounded = form->MessagesPad_Memo->droppedLineCount() > 0 &&
                               form->CommandLogger_Memo->droppedLineCount() > 0;
            figures.push_back(now);
            std::printf("%7d %10.1f %10.1f %16.1f %18.1f %10d %s\n", minute, now.residentMib,
                        now.heapInUseMib, now.worstStallMs, now.idleThreadStallMs, now.completed,
                        now.panesBounded ? "yes" : "no");
            std::fflush(stdout);
        }
    }
    // The rest of the series is not needed: stopped, then every line
    // written before the window goes.
    if (form->SendButton->text() == QLatin1String("Stop"))
        form->SendButton->click();
    runUntil([&] { return form->seriesStatistics().counts().stillWaiting == 0; }, StepTimeoutMs);
    form.reset();
    serial::unregisterDevice(QStringLiteral("SIM"));
    messageLines.close();
    peiLines.close();

    const QString folder = QDir(state.path()).filePath(QStringLiteral("corvane"));
    const LogCheck messageCheck = checkLogFiles(messageLines.path(), folder, "messages");
    const LogCheck peiCheck = checkLogFiles(peiLines.path(), folder, "pei");

    // Memory from the first whole minute after both panes reached their bound.
    std::optional<std::size_t> reference;
    for (std::size_t i = 0; i + 1 < figures.size() && !reference; ++i) {
        if (figures[i].panesBounded)
            reference = i + 1;
    }
    double low = 0;
    double high = 0;
    if (reference) {
        low = high = figures[*reference].residentMib;
        for (std::size_t i = *reference; i < figures.size(); ++i) {
            low = std::min(low, figures[i].residentMib);
            high = std::max(high, figures[i].residentMib);
        }
    }
    const double base = reference ? figures[*reference].residentMib : 0;
    const bool memoryFlat =
        reference && high <= base * (1 + GoalMemorySpread) && low >= base * (1 - GoalMemorySpread);
    double worstStall = 0;
    double worstIdleThreadStall = 0;
    for (const Minute &minute : figures) {
        worstStall = std::max(worstStall, minute.worstStallMs);
        worstIdleThreadStall = std::max(worstIdleThreadStall, minute.idleThreadStallMs);
    }
    const bool stallsShort = worstStall <= GoalStallMs;
    const bool logsComplete = messageCheck.complete() && peiCheck.complete();

    if (reference)
        std::printf("memory from minute %zu on: %.1f to %.1f MiB, %.1f%% around minute %zu's "
                    "%.1f MiB (goal within %.0f%%): %s\n",
                    *reference + 1, low, high,
                    100 * std::max(high - base, base - low) / std::max(base, 1.0), *reference + 1,
                    base, 100 * GoalMemorySpread, memoryFlat ? "met" : "NOT met");
    else
        std::printf("memory: the panes did not reach their bound a minute before the end: NOT "
                    "judged\n");
    std::printf("worst window-thread stall of any minute: %.1f ms (goal at most %.0f ms): %s; "
                "the idle thread's worst meanwhile: %.1f ms\n",
                worstStall, GoalStallMs, stallsShort ? "met" : "NOT met", worstIdleThreadStall);
    for (const auto &[name, check] :
         {std::pair<const char *, LogCheck>{"messages", messageCheck}, {"pei", peiCheck}})
        std::printf("log files %-8s %d file(s): %lld of %lld lines found in order, %lld other "
                    "lines: %s\n",
                    name, check.files, static_cast<long long>(check.found),
                    static_cast<long long>(check.expected), static_cast<long long>(check.others),
                    check.complete() ? "complete" : "NOT complete");
    return memoryFlat && stallsShort && logsComplete ? 0 : 1;
}
