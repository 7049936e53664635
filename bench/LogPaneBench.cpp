// Measures a log pane at its limits, each figure beside its baseline:
//  - appending one-line entries with the default limits against no limit:
//    rate, heap and resident memory held;
//  - Clear of a full pane: how long it holds the window thread, and the
//    memory given back;
//  - Find of a text that is nowhere in a full pane: the longest turn of the
//    event loop while it runs, against the same search done in one go;
//  - saving a full pane: streaming a snapshot to a file against building one
//    buffer of the whole pane first (the old save), peak memory and time.
// A full pane holds [lines] lines, no limit applying. Exits with 1 when a
// goal is not met: the resident memory of a pane at its limits within its
// octet limit and 8 MiB, Clear and every turn of Find within 50 ms, Clear
// giving back all but 1 MiB of the heap and 8 MiB of resident memory, a
// streamed save within 10 MiB of extra memory.
//     bench_log_pane [lines]   (default 1000000)
#include "controls/LogSearch.h"
#include "controls/LogView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <fstream>
#include <malloc.h>
#include <string>

namespace {

constexpr double MiB = 1024.0 * 1024.0;

double heapInUseMiB()
{
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks + info.hblkhd) / MiB;
}

// A line of /proc/self/status, in MiB: "VmRSS" now, "VmHWM" the peak.
double statusMiB(const char *field)
{
    std::ifstream status("/proc/self/status");
    const std::string wanted = std::string(field) + ":";
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(wanted, 0) == 0)
            return std::stod(line.substr(wanted.size())) / 1024.0;
    }
    return 0;
}

// Lets the peak resident size start again from the current one.
void resetPeakResident()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

QByteArray entry(int i)
{
    return "12:34:56.789: Send command completed successfully. " + QByteArray::number(i);
}

void settle()
{
    QCoreApplication::processEvents();
}

struct Append
{
    double heapBeforeMiB = 0;
    double residentBeforeMiB = 0;
    double seconds = 0;
    double heapMiB = 0;
    double residentMiB = 0;
    int linesKept = 0;
    std::size_t bytesHeld = 0;
};

// Appends `lines` entries to a shown pane, the event loop running after
// every thousand as the window's would.
Append append(LogView &pane, int lines)
{
    pane.resize(660, 200);
    pane.show();
    settle();
    malloc_trim(0);
    const double heapBefore = heapInUseMiB();
    const double residentBefore = statusMiB("VmRSS");
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < lines; ++i) {
        pane.appendLine(entry(i));
        if (i % 1000 == 999)
            settle();
    }
    settle();
    pane.repaint();
    Append figures;
    figures.heapBeforeMiB = heapBefore;
    figures.residentBeforeMiB = residentBefore;
    figures.seconds = double(clock.nsecsElapsed()) / 1e9;
    figures.heapMiB = heapInUseMiB() - heapBefore;
    figures.residentMiB = statusMiB("VmRSS") - residentBefore;
    figures.linesKept = pane.lineCount();
    figures.bytesHeld = pane.bytesHeld();
    return figures;
}

void unlimit(LogView &pane)
{
    pane.setLimits(INT_MAX, qint64(1) << 40);
}

struct Find
{
    double longestTurnMs = 0;
    int turns = 0;
    double totalMs = 0;
    double inOneGoMs = 0;
};

Find find(LogView &pane, LogLines &sameLines)
{
    Find figures;
    bool finished = false;
    const QMetaObject::Connection answer =
        QObject::connect(&pane, &LogView::findFinished, [&finished] { finished = true; });
    QElapsedTimer total;
    total.start();
    QElapsedTimer turn;
    turn.start();
    pane.find(QStringLiteral("nowhere in the pane"));
    for (;;) {
        figures.longestTurnMs = std::max(figures.longestTurnMs, double(turn.nsecsElapsed()) / 1e6);
        ++figures.turns;
        if (finished)
            break;
        turn.restart();
        QCoreApplication::processEvents();
    }
    figures.totalMs = double(total.nsecsElapsed()) / 1e6;
    QObject::disconnect(answer);

    QElapsedTimer oneGo;
    oneGo.start();
    LogSearch whole(sameLines, "nowhere in the pane", LogLines::Position{});
    whole.run(sameLines);
    figures.inOneGoMs = double(oneGo.nsecsElapsed()) / 1e6;
    return figures;
}

struct Clear
{
    double longestTurnMs = 0;
    int turns = 0;
};

// Clears the pane and runs the event loop until it has freed the lines.
Clear clear(LogView &pane)
{
    Clear figures;
    QElapsedTimer turn;
    turn.start();
    pane.clear();
    for (;;) {
        figures.longestTurnMs = std::max(figures.longestTurnMs, double(turn.nsecsElapsed()) / 1e6);
        ++figures.turns;
        if (pane.bytesHeld() < 64 * 1024)
            break;
        turn.restart();
        QCoreApplication::processEvents();
    }
    return figures;
}

struct Save
{
    double seconds = 0;
    double peakHeapMiB = 0;
    double peakResidentMiB = 0;
    bool written = false;
};

// Runs `save`, which calls `sample` now and then, and measures it.
template <typename Saving> Save measureSave(Saving save)
{
    malloc_trim(0);
    const double heapBefore = heapInUseMiB();
    const double residentBefore = statusMiB("VmRSS");
    resetPeakResident();
    double peakHeap = heapBefore;
    const auto sample = [&] { peakHeap = std::max(peakHeap, heapInUseMiB()); };
    QElapsedTimer clock;
    clock.start();
    Save figures;
    figures.written = save(sample);
    sample();
    figures.seconds = double(clock.nsecsElapsed()) / 1e9;
    figures.peakHeapMiB = peakHeap - heapBefore;
    figures.peakResidentMiB = statusMiB("VmHWM") - residentBefore;
    return figures;
}

Save streamSnapshot(const LogView &pane, const QString &fileName)
{
    return measureSave([&](const auto &sample) {
        QFile file(fileName);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        return pane.snapshot().write([&](QByteArrayView piece) {
            sample();
            return file.write(piece.data(), piece.size()) == piece.size();
        });
    });
}

// The save as it was: the whole pane in one buffer, then written.
Save buildOneBuffer(const LogView &pane, const QString &fileName)
{
    return measureSave([&](const auto &sample) {
        QByteArray bytes;
        for (int i = 0; i < pane.lineCount(); ++i) {
            bytes.append(pane.line(i));
            bytes.append("\r\n");
            if (i % 1000 == 0)
                sample();
        }
        sample();
        QFile file(fileName);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    });
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int lines = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir folder;
    const QString savedFile = folder.filePath(QStringLiteral("pane.txt"));

    Append bounded;
    qint64 maxBytes = 0;
    {
        LogView pane;
        maxBytes = pane.maxBytes();
        bounded = append(pane, lines);
    }
    malloc_trim(0);

    LogView full;
    unlimit(full);
    const Append unbounded = append(full, lines);

    // A copy of the lines for the search in one go.
    LogLines sameLines;
    sameLines.setLimits(INT_MAX, qint64(1) << 40);
    for (int i = 0; i < full.lineCount(); ++i)
        sameLines.append(full.line(i));
    const Find search = find(full, sameLines);
    sameLines.clear();

    const Save streamed = streamSnapshot(full, savedFile);
    const qint64 streamedSize = QFile(savedFile).size();
    const Save oneBuffer = buildOneBuffer(full, savedFile);
    const bool sameFile = QFile(savedFile).size() == streamedSize;

    malloc_trim(0);
    const double heapFull = heapInUseMiB();
    const double residentFull = statusMiB("VmRSS");
    const Clear clearing = clear(full);
    const double heapCleared = heapInUseMiB();
    const double residentCleared = statusMiB("VmRSS");
    malloc_trim(0);
    const double residentTrimmed = statusMiB("VmRSS");

    std::printf("%d one-line entries appended    limits (%d lines, %.0f MiB)   no limit\n", lines,
                LogLines::DefaultMaxLines, double(maxBytes) / MiB);
    std::printf("  rate (lines/s)               %12.0f   %12.0f\n", lines / bounded.seconds,
                lines / unbounded.seconds);
    std::printf("  lines kept                   %12d   %12d\n", bounded.linesKept,
                unbounded.linesKept);
    std::printf("  held by the lines (MiB)      %12.1f   %12.1f\n", bounded.bytesHeld / MiB,
                unbounded.bytesHeld / MiB);
    std::printf("  heap held (MiB)              %12.1f   %12.1f\n", bounded.heapMiB,
                unbounded.heapMiB);
    std::printf("  resident rise (MiB)          %12.1f   %12.1f\n", bounded.residentMiB,
                unbounded.residentMiB);

    std::printf("Find of an absent text in %d lines    a slice a turn   in one go\n",
                unbounded.linesKept);
    std::printf("  window thread held (ms)      %12.1f   %12.1f\n", search.longestTurnMs,
                search.inOneGoMs);
    std::printf("  until the answer (ms)        %12.1f   %12.1f   (%d turns)\n", search.totalMs,
                search.inOneGoMs, search.turns);

    std::printf("Save of %d lines (%.1f MiB)         snapshot stream   one buffer\n",
                unbounded.linesKept, double(streamedSize) / MiB);
    std::printf("  peak heap rise (MiB)         %12.1f   %12.1f\n", streamed.peakHeapMiB,
                oneBuffer.peakHeapMiB);
    std::printf("  peak resident rise (MiB)     %12.1f   %12.1f\n", streamed.peakResidentMiB,
                oneBuffer.peakResidentMiB);
    std::printf("  time (s)                     %12.2f   %12.2f\n", streamed.seconds,
                oneBuffer.seconds);

    std::printf("Clear of %d lines                  window thread held %.1f ms at most, %d turns\n",
                unbounded.linesKept, clearing.longestTurnMs, clearing.turns);
    std::printf("  heap (MiB)                   %7.1f full   %7.1f cleared   %7.1f before\n",
                heapFull, heapCleared, unbounded.heapBeforeMiB);
    std::printf("  resident (MiB)               %7.1f full   %7.1f cleared   %7.1f before   "
                "%7.1f after malloc_trim\n",
                residentFull, residentCleared, unbounded.residentBeforeMiB, residentTrimmed);

    const bool boundMet = bounded.residentMiB <= double(maxBytes) / MiB + 8;
    const bool findMet = search.longestTurnMs <= 50;
    const bool clearMet = clearing.longestTurnMs <= 50 &&
                          heapCleared <= unbounded.heapBeforeMiB + 1 &&
                          residentCleared <= unbounded.residentBeforeMiB + 8;
    const bool saveMet = streamed.written && oneBuffer.written && sameFile &&
                         streamed.peakHeapMiB <= 10 && streamed.peakResidentMiB <= 10;
    const auto verdict = [](bool met) { return met ? "met" : "NOT MET"; };
    std::printf("goals: memory at the limits %s, Find turns %s, Clear %s, streamed save %s\n",
                verdict(boundMet), verdict(findMet), verdict(clearMet), verdict(saveMet));
    return boundMet && findMet && clearMet && saveMet ? 0 : 1;
}
