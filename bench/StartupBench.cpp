// How fast Corvane shows its window and how much memory it holds then,
// beside CuteCom and GtkTerm where they are installed: each program is
// started in turn on a display of its own (Xvfb), several rounds, and the
// medians are printed side by side.
//   - start: from the launch to the first paint into the program's first
//     window, and to its mapping before that (both seen from the X server,
//     through the DAMAGE extension, so every program is timed alike);
//   - memory: the resident set one second after the first paint.
// Every program starts with a fresh home folder (settings, state and
// caches), so no run finds the files of another. Without Xvfb it says so
// and exits 0. With CuteCom, exits 1 when Corvane takes more than 0.6 of
// its start time or 0.45 of its memory.
//     bench_startup [rounds]   (default 7)
#include "bench/ChildProcess.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr double GoalStartRatio = 0.6;
constexpr double GoalMemoryRatio = 0.45;
constexpr auto MapTimeout = 30s;
constexpr auto SettleAfterMap = 1s;

// The program's path on PATH; empty when it is not there.
std::string findOnPath(const std::string &name)
{
    const char *path = std::getenv("PATH");
    std::istringstream folders(path ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        const std::string candidate = folder + "/" + name;
        if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

// A folder of its own in /tmp, removed with everything in it.
class TempFolder
{
public:
    TempFolder()
    {
        char name[] = "/tmp/bench_startup.XXXXXX";
        if (!::mkdtemp(name))
            throw std::runtime_error("mkdtemp failed");
        m_path = name;
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    const std::string &path() const { return m_path; }

private:
    std::string m_path;
};

// Resident set of a process, in KiB; nullopt when it cannot be read.
std::optional<long> residentKib(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    }
    return std::nullopt;
}

// An Xvfb server of the benchmark's own, on the display it chose.
class VirtualDisplay
{
public:
    explicit VirtualDisplay(const std::string &xvfb)
    {
        // -displayfd 1: the server writes its display number to its output.
        m_server = std::make_unique<ChildProcess>(
            xvfb,
            std::vector<std::string>{"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten",
                                     "tcp"},
            m_folder.path() + "/xvfb.out");
        for (int i = 0; i < 1000 && m_name.empty(); ++i) {
            std::ifstream output(m_folder.path() + "/xvfb.out");
            std::string line;
            while (std::getline(output, line)) {
                if (!line.empty() && line.find_first_not_of("0123456789") == std::string::npos)
                    m_name = ":" + line;
            }
            if (m_name.empty())
                std::this_thread::sleep_for(10ms);
        }
        if (!m_name.empty())
            m_display = XOpenDisplay(m_name.c_str());
        int damageError = 0;
        if (m_display && !XDamageQueryExtension(m_display, &m_damageEvent, &damageError)) {
            XCloseDisplay(m_display);
            m_display = nullptr;
        }
        if (m_display)
            XSelectInput(m_display, DefaultRootWindow(m_display), SubstructureNotifyMask);
    }
    ~VirtualDisplay()
    {
        if (m_display)
            XCloseDisplay(m_display);
    }

    bool open() const { return m_display != nullptr; }
    std::string name() const { return m_name; }

    // Forgets the windows mapped so far.
    void drain()
    {
        XSync(m_display, False);
        while (XPending(m_display) > 0) {
            XEvent event;
            XNextEvent(m_display, &event);
        }
    }

    struct Shown
    {
        Clock::time_point mapped;
        Clock::time_point painted;
    };

    // Waits for a top-level window to be mapped and painted into; nullopt
    // on time-out. Every new top-level window is watched for damage from
    // its creation, so that no paint goes unseen.
    std::optional<Shown> waitForFirstPaint(Clock::time_point deadline)
    {
        const int fd = ConnectionNumber(m_display);
        std::vector<Window> mapped;
        std::optional<Clock::time_point> mappedAt;
        while (Clock::now() < deadline) {
            while (XPending(m_display) > 0) {
                XEvent event;
                XNextEvent(m_display, &event);
                if (event.type == CreateNotify && !event.xcreatewindow.override_redirect) {
                    XDamageCreate(m_display, event.xcreatewindow.window, XDamageReportNonEmpty);
                } else if (event.type == MapNotify && !event.xmap.override_redirect) {
                    mapped.push_back(event.xmap.window);
                    if (!mappedAt)
                        mappedAt = Clock::now();
                } else if (event.type == m_damageEvent + XDamageNotify) {
                    const auto *damage = reinterpret_cast<XDamageNotifyEvent *>(&event);
                    if (mappedAt &&
                        std::find(mapped.begin(), mapped.end(), damage->drawable) != mapped.end())
                        return Shown{*mappedAt, Clock::now()};
                }
            }
            pollfd waiting{fd, POLLIN, 0};
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (::poll(&waiting, 1, int(std::max<long long>(0, left.count()))) < 0 &&
                errno != EINTR)
                return std::nullopt;
        }
        return std::nullopt;
    }

private:
    TempFolder m_folder;
    std::unique_ptr<ChildProcess> m_server;
    std::string m_name;
    Display *m_display = nullptr;
    int m_damageEvent = 0;
};

struct Program
{
    std::string name;
    std::string path;
    std::vector<double> mapMs;
    std::vector<double> startMs;
    std::vector<double> residentMib;
};

// One start of the program with a fresh home; false when no window came.
bool measureOnce(VirtualDisplay &display, Program &program)
{
    const TempFolder folder;
    const std::string &home = folder.path();
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (home + "/.local/state").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    display.drain();
    const Clock::time_point started = Clock::now();
    ChildProcess child(program.path, {}, home + "/output");
    const std::optional<VirtualDisplay::Shown> shown =
        display.waitForFirstPaint(started + MapTimeout);
    if (!shown)
        return false;
    std::this_thread::sleep_for(SettleAfterMap);
    const std::optional<long> resident = residentKib(child.pid());
    child.stop();
    if (!resident)
        return false;
    const auto ms = [started](Clock::time_point at) {
        return std::chrono::duration<double, std::milli>(at - started).count();
    };
    program.mapMs.push_back(ms(shown->mapped));
    program.startMs.push_back(ms(shown->painted));
    program.residentMib.push_back(double(*resident) / 1024);
    return true;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char **argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const std::string xvfb = findOnPath("Xvfb");
    if (xvfb.empty()) {
        std::printf("bench_startup: Xvfb is not installed, nothing measured "
                    "(scripts/install-deps installs it)\n");
        return 0;
    }
    VirtualDisplay display(xvfb);
    if (!display.open()) {
        std::fprintf(stderr, "bench_startup: the Xvfb display did not open, or has no DAMAGE\n");
        return 2;
    }
    ::setenv("DISPLAY", display.name().c_str(), 1);
    ::unsetenv("QT_QPA_PLATFORM");
    ::unsetenv("WAYLAND_DISPLAY");

    std::vector<Program> programs{{"Corvane", CORVANE_EXECUTABLE, {}, {}, {}}};
    std::vector<std::string> missing;
    const std::pair<const char *, const char *> others[] = {{"CuteCom", "cutecom"},
                                                            {"GtkTerm", "gtkterm"}};
    for (const auto &[name, executable] : others) {
        const std::string path = findOnPath(executable);
        if (path.empty())
            missing.push_back(name);
        else
            programs.push_back({name, path, {}, {}, {}});
    }

    // One start each first, unmeasured, so that every program's files are
    // in the page cache; then the rounds, the programs in turn in each.
    for (int round = -1; round < rounds; ++round) {
        for (Program &program : programs) {
            Program scratch{program.name, program.path, {}, {}, {}};
            if (!measureOnce(display, round < 0 ? scratch : program)) {
                std::fprintf(stderr, "bench_startup: %s painted no window within %lld s\n",
                             program.name.c_str(), static_cast<long long>(MapTimeout.count()));
                return 2;
            }
        }
    }

    std::printf("Start to the first window mapped and to its first paint, and resident memory "
                "1 s after; median of %d starts under Xvfb\n",
                rounds);
    const Program &corvane = programs.front();
    const Program *cutecom = nullptr;
    for (const Program &program : programs) {
        if (program.name == "CuteCom")
            cutecom = &program;
    }
    for (const Program &program : programs) {
        std::printf("  %-8s mapped %5.0f ms, painted %5.0f ms, %6.1f MiB", program.name.c_str(),
                    median(program.mapMs), median(program.startMs), median(program.residentMib));
        if (&program != &corvane)
            std::printf("   Corvane / %s: %.2fx time, %.2fx memory", program.name.c_str(),
                        median(corvane.startMs) / median(program.startMs),
                        median(corvane.residentMib) / median(program.residentMib));
        std::printf("\n");
    }
    for (const std::string &name : missing)
        std::printf("  %s is not installed: not compared\n", name.c_str());
    if (!cutecom)
        return 0;
    const double timeRatio = median(corvane.startMs) / median(cutecom->startMs);
    const double memoryRatio = median(corvane.residentMib) / median(cutecom->residentMib);
    const bool met = timeRatio <= GoalStartRatio && memoryRatio <= GoalMemoryRatio;
    std::printf("goal: at most %.2fx CuteCom's start and %.2fx its memory: %s\n", GoalStartRatio,
                GoalMemoryRatio, met ? "met" : "NOT met");
    return met ? 0 : 1;
}
