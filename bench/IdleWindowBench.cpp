// Measures the CPU time of the main window sitting idle, side by side with
// a bare open port as the baseline: disconnected (the port list looks for
// new ports every 2 s) and connected to a radio on a pseudo-terminal that
// has answered the probe (the safety poll of the port, the event thread,
// the modem lamps, the Series panel). Each over 60 s, or the seconds given
// as the argument. Exits with 1 when the connected window reaches 0.05% of
// one core, or the disconnected one 0.3%.
#include "bench/IdleCpu.h"
#include "serial/Comms.h"
#include "window/Corvane_main.h"

#include <QApplication>
#include <QComboBox>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <pty.h>
#include <stdexcept>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

constexpr double ConnectedLimitPercent = 0.05;
constexpr double DisconnectedLimitPercent = 0.3;

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
    const std::chrono::seconds idleTime(argc > 1 ? std::atoi(argv[1]) : 60);
    QTemporaryDir state;
    // The window's log files stay out of the user's state folder.
    qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));

    double baseline = 0;
    {
        Pty pty;
        TComPort port;
        port.setDevicePath(pty.path);
        port.Open();
        baseline = idlePercent(idleTime);
    }

    TForm1 window(state.filePath("corvane.set"));
    window.show();
    runEventLoopFor(500ms);
    const double disconnected = idlePercent(idleTime);

    Pty radio;
    window.ComPortComboBox->setEditText(radio.path);
    window.ConnectButtonClick();
    if (!radio.answerProbe()) {
        std::fprintf(stderr, "the window did not probe the pseudo-terminal\n");
        return 2;
    }
    runEventLoopFor(1500ms);
    if (window.RadioState != rsReady) {
        std::fprintf(stderr, "the window did not take the probe's answer\n");
        return 2;
    }
    const double connected = idlePercent(idleTime);
    window.ComPort->Close();

    std::printf("idle CPU over %lld s, %% of one core\n", static_cast<long long>(idleTime.count()));
    std::printf("  baseline, bare open port:           %.3f%%\n", baseline);
    std::printf("  window disconnected (port list):    %.3f%%  (limit %.2f%%)\n", disconnected,
                DisconnectedLimitPercent);
    std::printf("  window connected, radio answered:   %.3f%%  (limit %.2f%%)\n", connected,
                ConnectedLimitPercent);
    return disconnected < DisconnectedLimitPercent && connected < ConnectedLimitPercent ? 0 : 1;
}
