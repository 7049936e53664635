// Measures how fast input is drained from a pseudo-terminal that a writer
// thread fills as fast as it can, side by side in one run:
// - a port whose OnRxChar handler reads what InputCount reports with
//   ReadStr (how the main window read until now);
// - a port whose OnRxChar handler takes everything waiting with
//   ReadAvailable;
// - `cat` reading the slave of another pseudo-terminal, as the baseline.
// Deliveries go to the event loop of this thread, as the window's do. Each
// row gives the sustained rate and the readers' CPU time in % of one core
// (the writer thread's own time left out), and checks that every written
// byte arrived once and in order. Exits with 1 when ReadAvailable stays
// under 1 MB/s, uses a whole core, or loses or reorders a byte.
#include "bench/ProcessCpuTime.h"
#include "serial/Comms.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <poll.h>
#include <pthread.h>
#include <random>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/eventfd.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto WarmUp = 500ms;
constexpr auto Measured = 3s;
constexpr auto DrainLimit = 30s;
constexpr double GoalMegabytesPerSecond = 1.0;
constexpr double CoreLimitPercent = 100.0;
constexpr int WriteChunk = 64 * 1024;
constexpr int ReadAvailableLimit = 64 * 1024;

[[noreturn]] void fail(const char *what)
{
    throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

template <typename Call> auto retrying(Call call)
{
    auto result = call();
    while (result == -1 && errno == EINTR)
        result = call();
    return result;
}

std::chrono::nanoseconds cpuClock(clockid_t clock)
{
    timespec now{};
    if (::clock_gettime(clock, &now) != 0)
        fail("clock_gettime");
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

// The bytes written, over and over: a random block of prime length, so that
// a byte lost, doubled or moved shows as a mismatch.
class Pattern
{
public:
    Pattern() : m_bytes(Length, '\0')
    {
        std::mt19937 random(20240611);
        for (char &byte : m_bytes)
            byte = static_cast<char>(random() & 0xFF);
    }

    // Copies the bytes at stream offset `offset` into `out`.
    void copy(qint64 offset, char *out, int count) const
    {
        while (count > 0) {
            const int start = static_cast<int>(offset % Length);
            const int run = std::min(count, Length - start);
            std::memcpy(out, m_bytes.constData() + start, size_t(run));
            out += run;
            offset += run;
            count -= run;
        }
    }
    // True when `data` is what the stream holds at `offset`.
    bool matches(qint64 offset, const char *data, qint64 count) const
    {
        while (count > 0) {
            const int start = static_cast<int>(offset % Length);
            const int run = static_cast<int>(std::min<qint64>(count, Length - start));
            if (std::memcmp(data, m_bytes.constData() + start, size_t(run)) != 0)
                return false;
            data += run;
            offset += run;
            count -= run;
        }
        return true;
    }

private:
    static constexpr int Length = 1000003;
    QByteArray m_bytes;
};

// A pseudo-terminal in raw mode whose slave nobody has opened yet.
class Pty
{
public:
    Pty() : m_master(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
    {
        if (m_master < 0)
            fail("posix_openpt");
        char name[128] = {};
        if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0 ||
            ::ptsname_r(m_master, name, sizeof name) != 0)
            fail("pseudo-terminal set-up");
        termios raw{};
        if (::tcgetattr(m_master, &raw) != 0)
            fail("tcgetattr");
        ::cfmakeraw(&raw);
        if (retrying([&] { return ::tcsetattr(m_master, TCSANOW, &raw); }) != 0)
            fail("tcsetattr");
        m_slavePath = QString::fromLatin1(name);
    }
    ~Pty() { ::close(m_master); }
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    int master() const { return m_master; }
    QString slavePath() const { return m_slavePath; }

private:
    int m_master = -1;
    QString m_slavePath;
};

// Writes the pattern into a pty master as fast as the reader lets it, on a
// thread of its own, until stopped.
class Writer
{
public:
    Writer(int master, const Pattern &pattern) : m_master(master), m_pattern(pattern)
    {
        if (m_stop < 0)
            fail("eventfd");
        m_thread = std::thread([this] { run(); });
        if (const int err = ::pthread_getcpuclockid(m_thread.native_handle(), &m_clock); err != 0)
            throw std::runtime_error(std::string("pthread_getcpuclockid: ") + std::strerror(err));
    }
    ~Writer()
    {
        stop();
        ::close(m_stop);
    }
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    // The writer thread's CPU time so far.
    std::chrono::nanoseconds cpuTime() const { return cpuClock(m_clock); }
    // Ends the writing; returns how many bytes were written in all.
    qint64 stop()
    {
        if (m_thread.joinable()) {
            const uint64_t one = 1;
            if (retrying([&] { return ::write(m_stop, &one, sizeof one); }) < 0)
                fail("eventfd write");
            m_thread.join();
        }
        if (!m_error.empty())
            throw std::runtime_error(m_error);
        return m_written;
    }

private:
    void run()
    {
        QByteArray chunk(WriteChunk, '\0');
        int pending = 0; // bytes of `chunk` from `pendingAt` not yet written
        int pendingAt = 0;
        for (;;) {
            pollfd fds[2] = {{m_stop, POLLIN, 0}, {m_master, POLLOUT, 0}};
            if (retrying([&] { return ::poll(fds, 2, -1); }) < 0)
                return setError("poll");
            if (fds[0].revents != 0)
                return;
            if (pending == 0) {
                m_pattern.copy(m_written, chunk.data(), WriteChunk);
                pending = WriteChunk;
                pendingAt = 0;
            }
            const ssize_t n = retrying(
                [&] { return ::write(m_master, chunk.constData() + pendingAt, size_t(pending)); });
            if (n < 0 && errno != EAGAIN)
                return setError("write");
            if (n > 0) {
                m_written += n;
                pending -= int(n);
                pendingAt += int(n);
            }
        }
    }
    void setError(const char *what) { m_error = std::string(what) + ": " + std::strerror(errno); }

    int m_master = -1;
    const Pattern &m_pattern;
    int m_stop = ::eventfd(0, EFD_CLOEXEC);
    qint64 m_written = 0;
    std::string m_error;
    clockid_t m_clock{};
    std::thread m_thread;
};

// What one reader did.
struct Figures
{
    double megabytesPerSecond = 0;
    double cpuPercent = 0;
    qint64 written = 0;
    qint64 received = 0;
    bool intact = false;
};

// Counts and checks the bytes as they arrive.
class Receiver
{
public:
    explicit Receiver(const Pattern &pattern) : m_pattern(pattern) {}

    void take(const char *data, qint64 count)
    {
        if (m_intact && !m_pattern.matches(m_received, data, count))
            m_intact = false;
        m_received += count;
    }
    qint64 received() const { return m_received; }
    bool intact() const { return m_intact; }

private:
    const Pattern &m_pattern;
    qint64 m_received = 0;
    bool m_intact = true;
};

// The readers' CPU time: this process's, less the writer thread's; or a
// child process's own.
class ReaderCpu
{
public:
    ReaderCpu(const Writer &writer, std::optional<clockid_t> child)
        : m_writer(writer), m_child(child)
    {}
    std::chrono::nanoseconds now() const
    {
        if (m_child)
            return cpuClock(*m_child);
        return std::chrono::nanoseconds(processCpuTime()) - m_writer.cpuTime();
    }

private:
    const Writer &m_writer;
    std::optional<clockid_t> m_child;
};

// Lets the reader work until `until`, or until it has received `target`
// bytes (-1: no target).
using Pump = std::function<void(Clock::time_point until, qint64 target)>;

// Warms up, measures, stops the writer and lets the reader drain the rest.
Figures measure(Writer &writer, const Receiver &receiver, const ReaderCpu &cpu, const Pump &pump)
{
    pump(Clock::now() + WarmUp, -1);
    const qint64 startBytes = receiver.received();
    const auto startCpu = cpu.now();
    QElapsedTimer elapsed;
    elapsed.start();
    pump(Clock::now() + Measured, -1);
    const qint64 bytes = receiver.received() - startBytes;
    const auto usedCpu = cpu.now() - startCpu;
    const double seconds = double(elapsed.nsecsElapsed()) / 1e9;

    Figures figures;
    figures.written = writer.stop();
    pump(Clock::now() + DrainLimit, figures.written);
    figures.received = receiver.received();
    figures.intact = receiver.intact() && figures.received == figures.written;
    figures.megabytesPerSecond = double(bytes) / seconds / 1e6;
    figures.cpuPercent = 100.0 * double(usedCpu.count()) / 1e9 / seconds;
    return figures;
}

enum class PortReading { InputCountThenReadStr, ReadAvailable };

Figures measurePort(const Pattern &pattern, PortReading reading)
{
    Pty pty;
    TComPort port;
    port.setDevicePath(pty.slavePath());
    port.Open();
    Receiver receiver(pattern);
    QByteArray buffer;
    port.OnRxChar = [&](QObject *, int) {
        if (reading == PortReading::ReadAvailable) {
            buffer.resize(0);
            const int got = port.ReadAvailable(buffer, ReadAvailableLimit);
            receiver.take(buffer.constData(), got);
            return;
        }
        const int waiting = port.InputCount();
        if (waiting <= 0)
            return;
        const int got = port.ReadStr(buffer, waiting, true);
        receiver.take(buffer.constData(), got);
    };
    Writer writer(pty.master(), pattern);
    const auto pump = [&](Clock::time_point until, qint64 target) {
        QEventLoop loop;
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, &loop, [&] {
            if (Clock::now() >= until || (target >= 0 && receiver.received() >= target))
                loop.quit();
        });
        check.start(5);
        loop.exec();
    };
    Figures figures = measure(writer, receiver, ReaderCpu(writer, std::nullopt), pump);
    port.OnRxChar = nullptr;
    port.Close();
    return figures;
}

// `cat` with the slave as its input and a pipe to this process as output.
class CatProcess
{
public:
    explicit CatProcess(const QString &slavePath)
    {
        const QByteArray path = slavePath.toLocal8Bit();
        const int slave = retrying([&] { return ::open(path.constData(), O_RDONLY | O_NOCTTY); });
        if (slave < 0)
            fail("open slave");
        int out[2] = {-1, -1};
        if (::pipe2(out, O_CLOEXEC) != 0)
            fail("pipe2");
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_adddup2(&actions, slave, STDIN_FILENO);
        ::posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        char cat[] = "cat";
        char *argv[] = {cat, nullptr};
        const int err = ::posix_spawnp(&m_pid, "cat", &actions, nullptr, argv, environ);
        ::posix_spawn_file_actions_destroy(&actions);
        ::close(slave);
        ::close(out[1]);
        m_output = out[0];
        if (err != 0) {
            errno = err;
            fail("posix_spawnp cat");
        }
        if (const int clockErr = ::clock_getcpuclockid(m_pid, &m_clock); clockErr != 0) {
            errno = clockErr;
            fail("clock_getcpuclockid");
        }
    }
    ~CatProcess()
    {
        ::kill(m_pid, SIGTERM);
        int status = 0;
        retrying([&] { return ::waitpid(m_pid, &status, 0); });
        ::close(m_output);
    }
    CatProcess(const CatProcess &) = delete;
    CatProcess &operator=(const CatProcess &) = delete;

    int output() const { return m_output; }
    clockid_t clock() const { return m_clock; }

private:
    pid_t m_pid = -1;
    int m_output = -1;
    clockid_t m_clock{};
};

Figures measureCat(const Pattern &pattern)
{
    Pty pty;
    CatProcess cat(pty.slavePath());
    Receiver receiver(pattern);
    Writer writer(pty.master(), pattern);
    QByteArray buffer(1 << 17, '\0');
    const auto pump = [&](Clock::time_point until, qint64 target) {
        while (Clock::now() < until && !(target >= 0 && receiver.received() >= target)) {
            pollfd output{cat.output(), POLLIN, 0};
            if (retrying([&] { return ::poll(&output, 1, 5); }) < 0)
                fail("poll");
            if (output.revents == 0)
                continue;
            const ssize_t n = retrying(
                [&] { return ::read(cat.output(), buffer.data(), size_t(buffer.size())); });
            if (n < 0)
                fail("read from cat");
            if (n == 0)
                break;
            receiver.take(buffer.constData(), n);
        }
    };
    return measure(writer, receiver, ReaderCpu(writer, cat.clock()), pump);
}

void printRow(const char *name, const Figures &figures)
{
    std::printf("  %-36s %10.2f MB/s  %6.1f%% of a core  %s (%lld of %lld bytes)\n", name,
                figures.megabytesPerSecond, figures.cpuPercent,
                figures.intact ? "every byte in order" : "BYTES LOST OR OUT OF ORDER",
                static_cast<long long>(figures.received), static_cast<long long>(figures.written));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const Pattern pattern;
    Figures today;
    Figures available;
    Figures cat;
    try {
        today = measurePort(pattern, PortReading::InputCountThenReadStr);
        available = measurePort(pattern, PortReading::ReadAvailable);
        cat = measureCat(pattern);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 2;
    }
    std::printf("draining a pseudo-terminal filled as fast as it takes, over %lld ms "
                "(goal: ReadAvailable at least %.1f MB/s under %.0f%% of a core)\n",
                static_cast<long long>(std::chrono::milliseconds(Measured).count()),
                GoalMegabytesPerSecond, CoreLimitPercent);
    printRow("port, InputCount then ReadStr:", today);
    printRow("port, ReadAvailable:", available);
    printRow("cat (baseline):", cat);
    const bool met = available.intact && today.intact &&
                     available.megabytesPerSecond >= GoalMegabytesPerSecond &&
                     available.cpuPercent < CoreLimitPercent;
    return met ? 0 : 1;
}
