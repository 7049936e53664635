// The window's receive path against a radio on a pseudo-terminal, in two
// figures, each measured with bytes read as they arrive and, as the
// baseline, with the 200 ms poll alone:
// - latency: from the far end's write of an answer to the timestamp of its
//   PEI logger entry, median and p99;
// - capacity: the highest rate of incoming messages, each asking for a
//   received report, at which every one is shown and answered, on a bare
//   pseudo-terminal and paced as a 9600-baud line would carry them.
#include "controls/LogView.h"
#include "serial/Comms.h"
#include "window/Corvane_main.h"
#include "window/ModalBox.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <pty.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// 9600 baud, 8N1: ten bits per octet.
constexpr double lineOctetsPerSecond = 960.0;

enum class Reading { OnArrival, PollOnly };

const char *nameOf(Reading reading)
{
    return reading == Reading::OnArrival ? "on arrival" : "poll only (baseline)";
}

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            std::this_thread::sleep_for(1ms);
            continue;
        }
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// The radio's end of the line: the master side of a pseudo-terminal.
class FarEnd
{
public:
    FarEnd()
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
    ~FarEnd() { ::close(m_master); }

    int fd() const { return m_master; }
    const QString &path() const { return m_path; }

    QByteArray readAvailable()
    {
        QByteArray bytes;
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return bytes;
            bytes.append(buffer, n);
        }
    }

private:
    int m_master = -1;
    QString m_path;
};

// A window connected to the far end, its probe answered.
struct Session
{
    explicit Session(Reading reading)
    {
        form = std::make_unique<TForm1>(settings.filePath("bench.set"));
        form->ComPortComboBox->setEditText(far.path());
        form->ConnectButtonClick();
        if (!QTest::qWaitFor([&] { return far.readAvailable().contains("AT\r"); }, 5000) ||
            !writeAll(far.fd(), "\r\nOK\r\n") ||
            !QTest::qWaitFor([&] { return form->RadioState == rsReady; }, 5000)) {
            std::fprintf(stderr, "the window did not connect\n");
            std::exit(2);
        }
        if (reading == Reading::PollOnly)
            form->ComPort->OnRxChar = nullptr;
    }

    int loggedAnswers() const
    {
        return int(form->CommandLogger_Memo->lines()
                       .join(QLatin1Char('\n'))
                       .count(QStringLiteral(" ms:")));
    }

    FarEnd far;
    QTemporaryDir settings;
    std::unique_ptr<TForm1> form;
};

qint64 percentile(std::vector<qint64> values, double fraction)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, size_t(fraction * double(values.size())));
    return values.at(index);
}

// Milliseconds since midnight of a log line's "HH:MM:SS.mmm" stamp.
qint64 stampMs(const QString &line)
{
    static const QRegularExpression stamp(
        QStringLiteral("^(\\d\\d):(\\d\\d):(\\d\\d)\\.(\\d\\d\\d)"));
    const QRegularExpressionMatch m = stamp.match(line);
    if (!m.hasMatch())
        return -1;
    return ((m.captured(1).toLongLong() * 60 + m.captured(2).toLongLong()) * 60 +
            m.captured(3).toLongLong()) *
               1000 +
           m.captured(4).toLongLong();
}

qint64 msSinceMidnight(const QDateTime &time)
{
    return time.time().msecsSinceStartOfDay();
}

struct Latency
{
    qint64 median = -1;
    qint64 p99 = -1;
};

Latency measureLatency(Reading reading, int samples)
{
    Session session(reading);
    const int before = session.loggedAnswers();
    std::vector<qint64> writtenAt(size_t(samples), 0);
    std::atomic<bool> done{false};
    // The far end answers on its own thread, as a radio would, while the
    // window thread sits in its event loop.
    std::thread writer([&] {
        for (int i = 0; i < samples; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(17 + i % 13));
            writtenAt[size_t(i)] = msSinceMidnight(QDateTime::currentDateTime());
            writeAll(session.far.fd(), "\r\nOK\r\n");
        }
        done = true;
    });
    const bool allLogged =
        QTest::qWaitFor([&] { return done && session.loggedAnswers() >= before + samples; }, 60000);
    writer.join();
    if (!allLogged)
        std::fprintf(stderr, "latency: not every answer was logged\n");

    std::vector<qint64> delays;
    const QStringList lines = session.form->CommandLogger_Memo->lines();
    int answer = -before;
    for (const QString &line : lines) {
        if (!line.contains(QStringLiteral(" ms:")))
            continue;
        if (answer >= 0 && answer < samples)
            delays.push_back(stampMs(line) - writtenAt[size_t(answer)]);
        ++answer;
    }
    return {percentile(delays, 0.5), percentile(delays, 0.99)};
}

QByteArray peerMessage(int index)
{
    const QByteArray reference =
        QByteArray::number(index % 256, 16).toUpper().rightJustified(2, '0');
    return "\r\n+CMT: 5678,0,48\r\n8206" + reference + "014869\r\n";
}

// Feeds `count` messages at `rate` per second; true when every one was shown
// and answered with its report.
bool carriesRate(Reading reading, int rate, bool pacedAt9600)
{
    Session session(reading);
    const int count = std::max(50, 2 * rate);
    std::atomic<int> reportsSeen{0};
    std::atomic<bool> feeding{true};
    std::thread radio([&] {
        const auto start = Clock::now();
        auto lineFreeAt = start;
        QByteArray fromWindow;
        const auto takeReports = [&](bool complete) {
            fromWindow += session.far.readAvailable();
            qsizetype end = 0;
            while ((end = fromWindow.indexOf('\x1a')) >= 0) {
                if (fromWindow.startsWith("AT+CMGS=5678,1,0,32\r821000"))
                    ++reportsSeen;
                fromWindow.remove(0, end + 1);
                if (complete)
                    writeAll(session.far.fd(), "\r\n+CMGS: 0\r\n\r\nOK\r\n");
            }
        };
        int next = 0;
        while (feeding || next < count) {
            const auto due = start + std::chrono::microseconds(qint64(next) * 1000000 / rate);
            if (next < count && Clock::now() >= std::max(due, lineFreeAt)) {
                const QByteArray message = peerMessage(next++);
                writeAll(session.far.fd(), message);
                if (pacedAt9600)
                    lineFreeAt = std::max(due, lineFreeAt) +
                                 std::chrono::microseconds(
                                     qint64(double(message.size()) / lineOctetsPerSecond * 1e6));
            }
            // Every report the window writes is completed, as a radio does.
            takeReports(true);
            if (next >= count)
                feeding = false;
            std::this_thread::sleep_for(200us);
        }
        // Late reports.
        const auto until = Clock::now() + 3s;
        while (Clock::now() < until && reportsSeen < count) {
            takeReports(false);
            std::this_thread::sleep_for(1ms);
        }
    });
    const auto shown = [&] {
        return int(session.form->MessagesPad_Memo->lines()
                       .join(QLatin1Char('\n'))
                       .count(QStringLiteral(": Message received from 5678: ")));
    };
    // Whether it came in time is judged from the counts below.
    (void)QTest::qWaitFor([&] { return !feeding && reportsSeen >= count && shown() >= count; },
                          count * 1000 / rate + 5000);
    radio.join();
    return reportsSeen == count && shown() == count;
}

int highestRate(Reading reading, const std::vector<int> &rates, bool paced)
{
    int best = 0;
    for (const int rate : rates) {
        if (!carriesRate(reading, rate, paced))
            break;
        best = rate;
    }
    return best;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    setModalBoxHandler([](const ModalBoxRequest &request) {
        std::fprintf(stderr, "box: %s\n", qPrintable(request.text));
        return 0;
    });

    const std::vector<int> ptyRates{25, 50, 100, 200, 400, 800};
    const std::vector<int> lineRates{10, 20, 25, 26};
    std::printf("%-22s %12s %9s %18s %18s\n", "reading", "median (ms)", "p99 (ms)",
                "max msg/s (pty)", "max msg/s (9600)");
    for (const Reading reading : {Reading::OnArrival, Reading::PollOnly}) {
        const Latency latency = measureLatency(reading, 200);
        const int pty = highestRate(reading, ptyRates, false);
        const int line = highestRate(reading, lineRates, true);
        std::printf("%-22s %12lld %9lld %18d %18d\n", nameOf(reading),
                    static_cast<long long>(latency.median), static_cast<long long>(latency.p99),
                    pty, line);
        std::fflush(stdout);
    }
    std::printf("goals (on arrival): median <= 5 ms, p99 <= 20 ms, >= 200 msg/s on a pty, "
                ">= 25 msg/s at 9600 baud\n");
    return 0;
}
