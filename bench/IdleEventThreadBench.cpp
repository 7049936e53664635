// Measures the CPU time used while a port sits open and idle, with every
// line event selected and deliveries handed to the window thread (how the
// main window keeps its port), beside the baseline of the same event loop
// with no port open. The port is on a pseudo-terminal, or on the device
// given as the argument (a real serial port: its modem lines are then
// waited for or sampled). Exits with 1 when the open port uses more than
// 0.05% of one core.
#include "bench/IdleCpu.h"
#include "serial/Comms.h"

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <pty.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

constexpr auto IdleTime = 10s;
constexpr double LimitPercent = 0.05;

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int master = -1;
    int slave = -1;
    QString device;
    if (argc > 1) {
        device = QString::fromLocal8Bit(argv[1]);
    } else {
        char name[128] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
            std::perror("openpty");
            return 2;
        }
        device = QString::fromLatin1(name);
    }

    const double baseline = idlePercent(IdleTime);

    TComPort port;
    port.setDevicePath(device);
    double open = 0;
    try {
        port.Open();
        // One exchange first, so the thread has delivered and waits again.
        port.WriteStr("AT\r", true);
        if (master >= 0 && ::write(master, "\r\nOK\r\n", 6) != 6) {
            std::perror("write");
            return 2;
        }
        runEventLoopFor(200ms);
        QByteArray answer;
        port.ReadAvailable(answer, 1 << 16);
        open = idlePercent(IdleTime);
        port.Close();
    } catch (const EComPort &error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 2;
    }
    if (master >= 0) {
        ::close(master);
        ::close(slave);
    }

    std::printf("idle CPU over %lld s, %% of one core (limit %.2f%% for the open port)\n",
                static_cast<long long>(std::chrono::seconds(IdleTime).count()), LimitPercent);
    std::printf("  baseline, event loop with no port:  %.4f%%\n", baseline);
    std::printf("  open port on %-22s %.4f%%\n", qPrintable(device + QLatin1Char(':')), open);
    return open <= LimitPercent ? 0 : 1;
}
