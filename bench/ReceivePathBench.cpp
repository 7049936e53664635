// How fast the window takes in what a radio sends: peer messages, each
// asking for a received report, come from a radio on a pseudo-terminal at
// rising rates, until messages are lost or their delay runs away. Each rate
// lasts two seconds, and is measured twice in the same run:
// - the baseline: a bare reader, a thread of its own that reads the line
//   as soon as it can be read, and writes the report for each message
//   without waiting for the radio's answer: what the machine and the line
//   alone cost;
// - the window: its session reads, shows and answers as it always does,
//   one command at a time, while its thread runs its own event loop.
// The delay of a message is from the moment the radio was due to write it
// to the moment its line is in the message window (for the bare reader:
// the moment it read the whole message), both on the same monotonic clock.
// Nobody sleeps in fixed steps: the radio waits in poll() until its next
// message is due or the window writes, the window in its event loop.
// A rate is carried when every message arrives, every report comes, and
// the median delay of the last tenth of the messages is at most 100 ms
// above that of the first tenth (a backlog that grows means the reader
// falls behind). Run by hand: the figures depend on the machine's load.
#include "bench/BenchWindow.h"
#include "bench/LoadAverage.h"
#include "serial/Comms.h"
#include "window/Application.h"
#include "window/ModalBox.h"

#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <optional>
#include <poll.h>
#include <pty.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int StepSeconds = 2;
constexpr int HighestRate = 12800;
// Reports still coming after the last message is due, at most.
constexpr auto ReportGrace = 5s;
constexpr qint64 RunawayMs = 100;

const QByteArray ReportCommand = "AT+CMGS=5678,";

QByteArray peerMessage(int index)
{
    const QByteArray reference =
        QByteArray::number(index % 256, 16).toUpper().rightJustified(2, '0');
    return "\r\n+CMT: 5678,0,48\r\n8206" + reference + "014869\r\n";
}

// What the window writes to ask for the received report of that message.
QByteArray reportFor(const QByteArray &reference)
{
    return ReportCommand + "1,0,32\r821000" + reference + "\x1a";
}

// Waits in poll() for `fd` until `until`, at most; false on a failure.
bool waitFor(int fd, short events, Clock::time_point until)
{
    const auto left = std::max(Clock::duration::zero(), until - Clock::now());
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    const timespec timeout{time_t(ns / 1000000000), long(ns % 1000000000)};
    pollfd watched{fd, events, 0};
    for (;;) {
        if (::ppoll(&watched, 1, &timeout, nullptr) >= 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

QByteArray readAvailable(int fd)
{
    QByteArray bytes;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return bytes;
        bytes.append(buffer, n);
    }
}

// Writes what the line takes now; the rest stays in `pending`.
void writeSome(int fd, QByteArray &pending)
{
    while (!pending.isEmpty()) {
        const ssize_t n = ::write(fd, pending.constData(), size_t(pending.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        pending.remove(0, n);
    }
}

// Takes the complete lines (without their CR LF) off the front of `bytes`.
QList<QByteArray> takeLines(QByteArray &bytes)
{
    QList<QByteArray> lines;
    qsizetype end = 0;
    while ((end = bytes.indexOf("\r\n")) >= 0) {
        lines.append(bytes.left(end));
        bytes.remove(0, end + 2);
    }
    return lines;
}

// The radio's end of a pseudo-terminal; the receiver opens the other end.
class Line
{
public:
    Line()
    {
        int slave = -1;
        char name[128] = {};
        if (::openpty(&m_master, &slave, name, nullptr, nullptr) != 0) {
            std::perror("openpty");
            std::exit(2);
        }
        termios raw{};
        ::tcgetattr(slave, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(slave, TCSANOW, &raw);
        ::close(slave);
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        m_path = QString::fromLatin1(name);
    }
    ~Line() { ::close(m_master); }
    Line(const Line &) = delete;
    Line &operator=(const Line &) = delete;

    int fd() const { return m_master; }
    const QString &path() const { return m_path; }

private:
    int m_master = -1;
    QString m_path;
};

// The radio, on a thread of its own: answers every command at once (the
// probe and anything else with OK, a message or report with +CMGS), and
// once told, sends `count` peer messages at `rate` per second.
class Radio
{
public:
    explicit Radio(int fd) : m_fd(fd)
    {
        m_thread = std::thread([this] { run(); });
    }
    ~Radio()
    {
        m_stop = true;
        m_thread.join();
    }
    Radio(const Radio &) = delete;
    Radio &operator=(const Radio &) = delete;

    // Starts the messages; `done` is called on the radio's thread once the
    // reports of all have come or the grace after the last has passed.
    void feed(int rate, int count, std::function<void()> done)
    {
        m_done = std::move(done);
        m_count = count;
        m_rate = rate;
        m_start = Clock::now() + 10ms;
        m_feeding = true;
    }
    int reports() const { return m_reports; }
    // When message `index` was due, once the feed has started.
    Clock::time_point dueAt(int index) const
    {
        return m_start + std::chrono::microseconds(qint64(index) * 1000000 / m_rate);
    }

private:
    void run()
    {
        QByteArray fromReceiver;
        QByteArray toReceiver;
        int next = 0;
        bool told = false;
        while (!m_stop) {
            const bool feeding = m_feeding;
            const auto now = Clock::now();
            if (feeding) {
                while (next < m_count && dueAt(next) <= now)
                    toReceiver += peerMessage(next++);
            }
            fromReceiver += readAvailable(m_fd);
            answer(fromReceiver, toReceiver);
            writeSome(m_fd, toReceiver);
            if (feeding && !told && next == m_count &&
                (m_reports >= m_count || now > dueAt(m_count - 1) + ReportGrace)) {
                told = true;
                m_done();
            }
            // Until the next message is due, the receiver writes, or the
            // line takes what is held; a look at m_stop now and then.
            auto until = now + 50ms;
            if (feeding && next < m_count)
                until = std::min(until, dueAt(next));
            if (!waitFor(m_fd, short(POLLIN | (toReceiver.isEmpty() ? 0 : POLLOUT)), until))
                return;
        }
    }

    void answer(QByteArray &commands, QByteArray &out)
    {
        for (;;) {
            if (commands.startsWith(ReportCommand)) {
                const qsizetype end = commands.indexOf('\x1a');
                if (end < 0)
                    return;
                commands.remove(0, end + 1);
                ++m_reports;
                out += "\r\n+CMGS: 0\r\n\r\nOK\r\n";
                continue;
            }
            const qsizetype end = commands.indexOf('\r');
            if (end < 0)
                return;
            commands.remove(0, end + 1);
            out += "\r\nOK\r\n";
        }
    }

    const int m_fd;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_feeding{false};
    std::atomic<int> m_reports{0};
    // Set before m_feeding.
    std::function<void()> m_done;
    int m_count = 0;
    int m_rate = 1;
    Clock::time_point m_start;
    std::thread m_thread;
};

// When each message arrived at the receiver, in order.
using Arrivals = std::vector<Clock::time_point>;

struct Step
{
    int rate = 0;
    int count = 0;
    int arrived = 0;
    int reports = 0;
    // Delays in microseconds.
    qint64 medianUs = -1;
    qint64 p99Us = -1;
    qint64 maxUs = -1;
    qint64 firstTenthUs = -1;
    qint64 lastTenthUs = -1;

    bool carried() const
    {
        return arrived == count && reports == count &&
               lastTenthUs - firstTenthUs <= RunawayMs * 1000;
    }
    QString why() const
    {
        if (arrived < count)
            return QStringLiteral("%1 of %2 messages lost").arg(count - arrived).arg(count);
        if (reports < count)
            return QStringLiteral("%1 of %2 reports missing").arg(count - reports).arg(count);
        if (!carried())
            return QStringLiteral("the delay ran away: %1 ms at the start, %2 ms at the end")
                .arg(double(firstTenthUs) / 1000, 0, 'f', 1)
                .arg(double(lastTenthUs) / 1000, 0, 'f', 1);
        return QStringLiteral("carried");
    }
};

qint64 nearestRank(std::vector<qint64> values, double fraction)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const auto rank = std::size_t(std::ceil(fraction * double(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

Step judge(int rate, int count, const Radio &radio, const Arrivals &arrivals)
{
    Step step;
    step.rate = rate;
    step.count = count;
    step.arrived = int(arrivals.size());
    step.reports = radio.reports();
    std::vector<qint64> delays;
    for (std::size_t i = 0; i < arrivals.size(); ++i)
        delays.push_back(
            std::chrono::duration_cast<std::chrono::microseconds>(arrivals[i] - radio.dueAt(int(i)))
                .count());
    step.medianUs = nearestRank(delays, 0.5);
    step.p99Us = nearestRank(delays, 0.99);
    step.maxUs = nearestRank(delays, 1.0);
    const auto tenth = std::max<std::size_t>(1, delays.size() / 10);
    if (delays.size() >= tenth) {
        step.firstTenthUs =
            nearestRank(std::vector<qint64>(delays.begin(), delays.begin() + long(tenth)), 0.5);
        step.lastTenthUs =
            nearestRank(std::vector<qint64>(delays.end() - long(tenth), delays.end()), 0.5);
    }
    return step;
}

// The baseline: reads on a thread of its own, notes each whole message and
// writes its report at once.
Step bareReader(int rate, int count)
{
    Line line;
    Radio radio(line.fd());
    const int fd = ::open(qPrintable(line.path()), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        std::perror("open");
        std::exit(2);
    }
    Arrivals arrivals;
    std::atomic<bool> done{false};
    radio.feed(rate, count, [&] { done = true; });
    QByteArray received;
    QByteArray reports;
    bool textNext = false;
    while (!done) {
        received += readAvailable(fd);
        for (const QByteArray &text : takeLines(received)) {
            if (textNext && !text.isEmpty()) {
                arrivals.push_back(Clock::now());
                reports += reportFor(text.mid(4, 2));
                textNext = false;
            } else if (text.startsWith("+CMT:")) {
                textNext = true;
            }
        }
        writeSome(fd, reports);
        waitFor(fd, short(POLLIN | (reports.isEmpty() ? 0 : POLLOUT)), Clock::now() + 50ms);
    }
    ::close(fd);
    return judge(rate, count, radio, arrivals);
}

// The window, connected to the radio, its probe answered.
Step window(int rate, int count)
{
    Line line;
    Radio radio(line.fd());
    // Outlives the window, which may still tell something as it closes.
    Arrivals arrivals;
    arrivals.reserve(std::size_t(count));
    QTemporaryDir settings;
    TForm1 form(settings.filePath("bench.set"));
    form.show();
    form.ComPortComboBox->setEditText(line.path());
    form.ConnectButtonClick();
    if (!runUntil([&] { return form.RadioState == rsReady; }, 10000)) {
        std::fprintf(stderr, "the window did not connect\n");
        std::exit(2);
    }
    // After the window's own slot: the line is in the message window.
    QObject::connect(&form.session(), &RadioSession::messageEntry, &form,
                     [&](const QByteArray &entry) {
                         if (entry.contains(": Message received from 5678: "))
                             arrivals.push_back(Clock::now());
                     });
    QEventLoop loop;
    radio.feed(rate, count,
               [&] { QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection); });
    loop.exec();
    return judge(rate, count, radio, arrivals);
}

void print(const char *who, const Step &step)
{
    std::printf("%-12s %6d %8.1f %8.1f %8.1f %9d %9d  %s\n", who, step.rate,
                double(step.medianUs) / 1000, double(step.p99Us) / 1000, double(step.maxUs) / 1000,
                step.arrived, step.reports, qPrintable(step.why()));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    QTemporaryDir state;
    // The windows' log files stay out of the user's state folder.
    qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
    setModalBoxHandler([](const ModalBoxRequest &request) {
        std::fprintf(stderr, "box: %s\n", qPrintable(request.text));
        return 0;
    });

    std::printf("load average at the start: %s\n", qPrintable(loadAverage()));
    std::printf("%-12s %6s %8s %8s %8s %9s %9s\n", "reader", "msg/s", "median", "p99", "max",
                "arrived", "reports");
    std::printf("%-12s %6s %8s %8s %8s\n", "", "", "(ms)", "(ms)", "(ms)");
    struct Reader
    {
        const char *name;
        std::function<Step(int rate, int count)> measure;
        int carried = 0;
        std::optional<Step> failed;
    };
    Reader readers[] = {{"bare reader", bareReader, 0, std::nullopt},
                        {"window", window, 0, std::nullopt}};
    const auto allFailed = [&] {
        return std::all_of(std::begin(readers), std::end(readers),
                           [](const Reader &reader) { return reader.failed.has_value(); });
    };
    for (int rate = 25; rate <= HighestRate && !allFailed(); rate *= 2) {
        const int count = std::max(50, StepSeconds * rate);
        for (Reader &reader : readers) {
            if (reader.failed)
                continue;
            const Step step = reader.measure(rate, count);
            print(reader.name, step);
            if (step.carried())
                reader.carried = rate;
            else
                reader.failed = step;
        }
    }
    for (const Reader &reader : readers) {
        if (reader.failed)
            std::printf("%s: carries %d msg/s; at %d msg/s %s\n", reader.name, reader.carried,
                        reader.failed->rate, qPrintable(reader.failed->why()));
        else
            std::printf("%s: carries every rate tried, up to %d msg/s\n", reader.name,
                        reader.carried);
    }
    // Not measured: what a 9600-baud line (8N1, 960 octets/s) could bring.
    std::printf("a 9600-baud line carries at most %.1f of these messages per second\n",
                960.0 / double(peerMessage(0).size()));
    std::printf("load average at the end: %s\n", qPrintable(loadAverage()));
    return 0;
}
