// Measures the CPU time of the main window sitting idle, side by side with
// a bare open port as the baseline: disconnected (the port list looks for
// new ports every 2 s) and connected to a radio on a pseudo-terminal that
// has answered the probe (polling, the event thread, the modem lamps).
// Exits with 1 when the window reaches 0.3% of one core in either state.
#include "bench/ProcessCpuTime.h"
#include "serial/Comms.h"
#include "window/Corvane_main.h"

#include <QApplication>
#include <QComboBox>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

constexpr auto IdleTime = 10s;
constexpr double LimitPercent = 0.3;

void runEventLoopFor(std::chrono::milliseconds time)
{
    QTimer::singleShot(time, qApp, &QCoreApplication::quit);
    qApp->exec();
}

// Percent of one core used while the event loop runs idle.
double idlePercent()
{
    const auto before = processCpuTime();
    runEventLoopFor(IdleTime);
    const auto used = processCpuTime() - before;
    return 100.0 * double(used.count()) / double(std::chrono::microseconds(IdleTime).count());
}

struct Pty
{
    int master = -1;
    int slave = -1;
    QString path;

    Pty()
    {
        char name[128] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        path = QString::fromLatin1(name);
    }
    ~Pty()
    {
        ::close(master);
        ::close(slave);
    }
    // Answers the probe once the window has written it.
    bool answerProbe()
    {
        QByteArray written;
        for (int i = 0; i < 100 && !written.contains("AT\r"); ++i) {
            runEventLoopFor(50ms);
            char buffer[64];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n > 0)
                written.append(buffer, int(n));
        }
        return written.contains("AT\r") && ::write(master, "\r\nOK\r\n", 6) == 6;
    }
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir settings;

    double baseline = 0;
    {
        Pty pty;
        TComPort port;
        port.setDevicePath(pty.path);
        port.Open();
        baseline = idlePercent();
    }

    TForm1 window(settings.filePath("corvane.set"));
    window.show();
    runEventLoopFor(200ms);
    const double disconnected = idlePercent();

    Pty radio;
    window.ComPortComboBox->setEditText(radio.path);
    window.ConnectButtonClick();
    if (!radio.answerProbe()) {
        std::fprintf(stderr, "the window did not probe the pseudo-terminal\n");
        return 2;
    }
    runEventLoopFor(500ms);
    if (window.RadioState != rsReady) {
        std::fprintf(stderr, "the window did not take the probe's answer\n");
        return 2;
    }
    const double connected = idlePercent();
    window.ComPort->Close();

    std::printf("idle CPU over %lld s, %% of one core (limit %.1f%%)\n",
                static_cast<long long>(std::chrono::seconds(IdleTime).count()), LimitPercent);
    std::printf("  baseline, bare open port:           %.3f%%\n", baseline);
    std::printf("  window disconnected (port list):    %.3f%%\n", disconnected);
    std::printf("  window connected, radio answered:   %.3f%%\n", connected);
    return disconnected < LimitPercent && connected < LimitPercent ? 0 : 1;
}
