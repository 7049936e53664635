// Measures the CPU time used while a port sits open and idle on a
// pseudo-terminal, with every line event selected and deliveries handed to
// the window thread (how the main window keeps its port). Exits with 1 when
// it reaches 1% of one core.
#include "bench/ProcessCpuTime.h"
#include "serial/Comms.h"

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <pty.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

constexpr auto IdleTime = 10s;
constexpr double LimitPercent = 1.0;

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int master = -1;
    int slave = -1;
    char name[128] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 2;
    }

    TComPort port;
    port.setDevicePath(QString::fromLatin1(name));
    try {
        port.Open();
        // One exchange first, so the thread has delivered and waits again.
        port.WriteStr("AT\r", true);
        if (::write(master, "\r\nOK\r\n", 6) != 6) {
            std::perror("write");
            return 2;
        }
        QTimer::singleShot(200, &app, &QCoreApplication::quit);
        app.exec();
        QByteArray answer;
        port.ReadStr(answer, port.InputCount(), true);
    } catch (const EComPort &error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 2;
    }

    const auto before = processCpuTime();
    QTimer::singleShot(IdleTime, &app, &QCoreApplication::quit);
    app.exec();
    const auto used = processCpuTime() - before;
    port.Close();
    ::close(master);
    ::close(slave);

    const double percent =
        100.0 * double(used.count()) / double(std::chrono::microseconds(IdleTime).count());
    std::printf("idle open port: %lld us of CPU in %lld s, %.3f%% of one core (limit %.1f%%)\n",
                static_cast<long long>(used.count()),
                static_cast<long long>(std::chrono::seconds(IdleTime).count()), percent,
                LimitPercent);
    return percent < LimitPercent ? 0 : 1;
}
