// Appends one-line entries to a log pane as the main window does, and the
// same lines to a bare QPlainTextEdit with one appendPlainText per line, the
// pane's former self. Both are shown, and the event loop runs after every
// thousand lines as the window's would. Prints time and heap held side by
// side; exits with 1 when the log pane takes more than half the time or more
// memory than the bare pane.
//     bench_log_pane [lines]   (default 1000000)
#include "controls/LogView.h"
#include "window/ActivityLog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <cstdio>
#include <functional>
#include <malloc.h>

namespace {

struct Figures
{
    double seconds = 0;
    double heapMiB = 0;
};

double heapInUseMiB()
{
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks + info.hblkhd) / (1024.0 * 1024.0);
}

QByteArray entry(int i)
{
    return "12:34:56.789: Send command completed successfully. " + QByteArray::number(i);
}

// Runs `append` for every line on a shown pane and measures until the pane
// has laid out and painted the last of them.
Figures measure(QWidget &pane, int lines, const std::function<void(int)> &append)
{
    pane.resize(660, 200);
    pane.show();
    QCoreApplication::processEvents();
    malloc_trim(0);
    const double heapBefore = heapInUseMiB();
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < lines; ++i) {
        append(i);
        if (i % 1000 == 999)
            QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
    pane.repaint();
    Figures figures;
    figures.seconds = double(clock.nsecsElapsed()) / 1e9;
    figures.heapMiB = heapInUseMiB() - heapBefore;
    return figures;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int lines = argc > 1 ? std::atoi(argv[1]) : 1000000;

    Figures logPane;
    {
        LogView pane;
        logPane = measure(pane, lines, [&pane](int i) { appendLogEntry(&pane, entry(i)); });
    }
    malloc_trim(0);
    Figures barePane;
    {
        QPlainTextEdit pane;
        pane.setLineWrapMode(QPlainTextEdit::NoWrap);
        barePane = measure(pane, lines,
                           [&pane](int i) { pane.appendPlainText(QString::fromLatin1(entry(i))); });
    }

    std::printf("%d one-line entries     log pane   bare QPlainTextEdit   ratio\n", lines);
    std::printf("time (s)              %9.2f   %19.2f   %5.3f\n", logPane.seconds, barePane.seconds,
                logPane.seconds / barePane.seconds);
    std::printf("heap held (MiB)       %9.1f   %19.1f   %5.3f\n", logPane.heapMiB, barePane.heapMiB,
                logPane.heapMiB / barePane.heapMiB);
    const bool met = logPane.seconds <= barePane.seconds / 2 && logPane.heapMiB <= barePane.heapMiB;
    std::printf("goal (at most half the time, no more memory): %s\n", met ? "met" : "NOT MET");
    return met ? 0 : 1;
}
