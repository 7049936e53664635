// corvane-radiosim end to end: the real executable on a real pseudo-terminal.
#include "serial/Comms.h"
#include "serial/UniqueFd_linux.h"
#include "tests/radiosim/ByteArrayPrinter.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>

using serial::UniqueFd;

namespace {

constexpr int generousMs = 8000;

class Runner
{
public:
    explicit Runner(QStringList arguments)
    {
        m_process.start(CORVANE_RADIOSIM_EXECUTABLE, arguments);
    }
    ~Runner()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(generousMs);
        }
    }

    // The path from the first line, "Device: <path>".
    QByteArray devicePath()
    {
        const QByteArray line = readLine();
        return line.startsWith("Device: ") ? line.mid(8).trimmed() : QByteArray();
    }

    // With --pair: "Device: <path> (ISSI <n>)" twice, then "Seed: <n>".
    QList<QByteArray> pairDevices(QByteArray *seed = nullptr)
    {
        QList<QByteArray> paths;
        for (int i = 0; i < 2; ++i) {
            const QList<QByteArray> words = readLine().trimmed().split(' ');
            if (words.size() == 4 && words.at(0) == "Device:" && words.at(2) == "(ISSI")
                paths.append(words.at(1));
        }
        const QByteArray seedLine = readLine().trimmed();
        if (seed && seedLine.startsWith("Seed: "))
            *seed = seedLine.mid(6);
        return paths;
    }

    // Every log line until one contains text; empty when none did in time.
    QList<QByteArray> logUntil(const QByteArray &text)
    {
        QList<QByteArray> lines;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < generousMs) {
            if (m_process.canReadLine()) {
                lines.append(m_process.readLine());
                if (lines.last().contains(text))
                    return lines;
            } else {
                m_process.waitForReadyRead(100);
            }
        }
        return {};
    }

    QByteArray readLine()
    {
        QElapsedTimer clock;
        clock.start();
        while (!m_process.canReadLine() && clock.elapsed() < generousMs)
            m_process.waitForReadyRead(100);
        return m_process.readLine();
    }

    // Reads log lines until one contains text; false when none did in time.
    bool waitForLog(const QByteArray &text)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < generousMs) {
            if (m_process.canReadLine()) {
                if (m_process.readLine().contains(text))
                    return true;
            } else {
                m_process.waitForReadyRead(100);
            }
        }
        return false;
    }

    QProcess &process() { return m_process; }

private:
    QProcess m_process;
};

// A client on the slave side, as a terminal program would open it.
class Client
{
public:
    explicit Client(const QByteArray &path)
        : m_fd(::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
        termios settings{};
        if (m_fd.valid() && tcgetattr(m_fd.get(), &settings) == 0) {
            cfmakeraw(&settings);
            tcsetattr(m_fd.get(), TCSANOW, &settings);
        }
    }
    bool isOpen() const { return m_fd.valid(); }

    void write(const QByteArray &bytes)
    {
        ASSERT_EQ(::write(m_fd.get(), bytes.constData(), size_t(bytes.size())),
                  ssize_t(bytes.size()));
    }

    // Collects input until it ends with expectedEnd or the time runs out.
    QByteArray readUntil(const QByteArray &expectedEnd, int timeoutMs = generousMs)
    {
        QByteArray received;
        QElapsedTimer clock;
        clock.start();
        while (!received.endsWith(expectedEnd) && clock.elapsed() < timeoutMs) {
            pollfd fd{m_fd.get(), POLLIN, 0};
            if (::poll(&fd, 1, 50) > 0 && (fd.revents & POLLIN)) {
                char buffer[512];
                const ssize_t count = ::read(m_fd.get(), buffer, sizeof buffer);
                if (count > 0)
                    received.append(buffer, int(count));
            }
        }
        return received;
    }

private:
    UniqueFd m_fd;
};

} // namespace

TEST(PtyRunner, PrintsTheDeviceAndAnswersTheProbe)
{
    Runner runner({"--exit-after-seconds", "30"});
    const QByteArray path = runner.devicePath();
    ASSERT_TRUE(path.startsWith("/dev/pts/")) << path.constData();
    Client client(path);
    ASSERT_TRUE(client.isOpen());
    client.write("AT\r");
    EXPECT_EQ(client.readUntil("\r\nOK\r\n"), "\r\nOK\r\n");
    client.write(QByteArray("AT+CMGS=4321,1,0,48\r820400014869\x1A"));
    EXPECT_EQ(client.readUntil("82100000\r\n"),
              "\r\n+CMGS: 0\r\n\r\nOK\r\n\r\n+CMT: 4321,0,32\r\n82100000\r\n");
    EXPECT_TRUE(runner.waitForLog("rx AT+CMGS=4321,1,0,48\\r820400014869\\x1A"));
}

TEST(PtyRunner, EachClientMeetsAFreshRadio)
{
    Runner runner({"--exit-after-seconds", "30", "--cme-next", "21"});
    const QByteArray path = runner.devicePath();
    const QByteArray refused = "\r\n+CME ERROR: 21\r\n";
    {
        Client first(path);
        ASSERT_TRUE(first.isOpen());
        first.write("ATE1\r");
        EXPECT_EQ(first.readUntil("OK\r\n"), "\r\nOK\r\n");
        first.write(QByteArray("AT+CMGS=4321,1,0,8\r82\x1A"));
        EXPECT_TRUE(first.readUntil(refused).endsWith(refused));
    }
    ASSERT_TRUE(runner.waitForLog("client closed the device"));
    Client second(path);
    ASSERT_TRUE(second.isOpen());
    second.write("AT\r");
    EXPECT_EQ(second.readUntil("\r\nOK\r\n"), "\r\nOK\r\n") << "echo is off again";
    second.write(QByteArray("AT+CMGS=4321,1,0,8\r82\x1A"));
    EXPECT_EQ(second.readUntil(refused), refused) << "the fault is armed again";
}

TEST(PtyRunner, PeerTrafficReachesTheClientAndReportsAreChecked)
{
    Runner runner({"--exit-after-seconds", "30", "--peer-interval-s", "1", "--peer-pid", "200",
                   "--peer-issi", "4444"});
    Client client(runner.devicePath());
    ASSERT_TRUE(client.isOpen());
    client.write("AT\r");
    ASSERT_EQ(client.readUntil("\r\nOK\r\n"), "\r\nOK\r\n");
    const QByteArray indication = client.readUntil("\r\n", generousMs);
    ASSERT_TRUE(indication.startsWith("\r\n+CMT: 4444,0,")) << indication.constData();
    client.write(QByteArray("AT+CMGS=4444,1,0,32\rC8100000\x1A"));
    EXPECT_TRUE(runner.waitForLog("peer: good report C8100000"));
}

TEST(PtyRunner, AnswerDelayHoldsTheFinalResult)
{
    Runner runner({"--exit-after-seconds", "30", "--answer-delay-ms", "300"});
    Client client(runner.devicePath());
    ASSERT_TRUE(client.isOpen());
    QElapsedTimer clock;
    clock.start();
    client.write("AT\r");
    EXPECT_EQ(client.readUntil("\r\nOK\r\n"), "\r\nOK\r\n");
    EXPECT_GE(clock.elapsed(), 300);
}

TEST(PtyRunner, StrictRadioAbortsACommandThatInputInterrupts)
{
    Runner runner({"--exit-after-seconds", "30", "--strict", "--answer-delay-ms", "200"});
    Client client(runner.devicePath());
    ASSERT_TRUE(client.isOpen());
    // One write: the second probe arrives while the first executes.
    client.write("AT\rAT\r");
    EXPECT_EQ(client.readUntil("\r\nERROR\r\n"), "\r\nERROR\r\n");
    EXPECT_TRUE(runner.waitForLog("rx AT\\r (aborted: received while executing)"));
    client.write("AT\r");
    EXPECT_EQ(client.readUntil("\r\nOK\r\n"), "\r\nOK\r\n") << "waiting for the answer pays";
}

TEST(PtyRunner, DroppedAnswerNeverComes)
{
    Runner runner({"--exit-after-seconds", "30", "--drop-answer", "2"});
    Client client(runner.devicePath());
    ASSERT_TRUE(client.isOpen());
    client.write("AT\r");
    EXPECT_EQ(client.readUntil("\r\nOK\r\n"), "\r\nOK\r\n");
    client.write("ATX\r");
    ASSERT_TRUE(runner.waitForLog("answer 2 dropped: \\r\\nERROR\\r\\n"));
    client.write("AT\r");
    EXPECT_EQ(client.readUntil("\r\nOK\r\n"), "\r\nOK\r\n") << "nothing of the ERROR";
}

TEST(PtyRunner, JunkComesBeforeEachAnswer)
{
    Runner runner({"--exit-after-seconds", "30", "--junk-before-answer", "50"});
    Client client(runner.devicePath());
    ASSERT_TRUE(client.isOpen());
    client.write("AT\r");
    const QByteArray received = client.readUntil("\r\nOK\r\n");
    ASSERT_EQ(received.size(), 56);
    EXPECT_FALSE(received.left(50).contains('\r') || received.left(50).contains('\n'));
}

TEST(PtyRunner, EchoComesAtOnceBeforeALateAnswer)
{
    Runner runner({"--exit-after-seconds", "30", "--echo", "--strict", "--answer-delay-ms", "300",
                   "--junk-before-answer", "5"});
    Client client(runner.devicePath());
    ASSERT_TRUE(client.isOpen());
    QElapsedTimer clock;
    clock.start();
    client.write("AT\r");
    EXPECT_EQ(client.readUntil("AT\r"), "AT\r");
    const QByteArray answer = client.readUntil("\r\nOK\r\n");
    EXPECT_GE(clock.elapsed(), 300);
    EXPECT_EQ(answer.size(), 5 + 6);
}

TEST(PtyRunner, StandardPeerWithAFullIdentitySendsLongMessagesInSevenFieldHeaders)
{
    Runner runner({"--exit-after-seconds", "30", "--dialect", "etsi", "--peer-issi",
                   "09011638300023404", "--ctsdsr-form", "seven", "--peer-parts", "2",
                   "--peer-interval-ms", "300", "--peer-report", "04", "--report-ack"});
    Client client(runner.devicePath());
    ASSERT_TRUE(client.isOpen());
    const QByteArray first = "\r\n+CTSDSR: 12,09011638300023404,1,1234,0,";
    // Up to the end of a second part: "..., part 2 of 2".
    const QByteArray parts = client.readUntil("2C20706172742032206F662032\r\n");
    ASSERT_GE(parts.count(first), 2) << parts.constData();
    EXPECT_TRUE(parts.contains(",0\r\n8A04000105000300020150")) << parts.constData();
    EXPECT_TRUE(parts.contains(",0\r\n8A04010105000300020250")) << parts.constData();
    client.write("AT+CTSDS=12,1\r");
    EXPECT_TRUE(client.readUntil("\r\nOK\r\n").endsWith("\r\nOK\r\n"));
    client.write("AT+CMGS=09011638300023404,32\r\n8A100001\x1A");
    EXPECT_TRUE(runner.waitForLog("peer: good report 8A100001"));
    client.write("AT+CTSDS=12,0\r");
    client.write("AT+CMGS=4321,32\r\n82040501\x1A");
    EXPECT_TRUE(client.readUntil("82180005\r\n").endsWith("82180005\r\n"))
        << "the report asks for an acknowledgement";
    client.write("AT+CMGS=4321,32\r\n82200005\x1A");
    EXPECT_TRUE(runner.waitForLog("ack: good 82200005 to 4321"));
}

TEST(PtyRunner, ShortReportsAnswerTheClientsMessages)
{
    Runner runner({"--exit-after-seconds", "30", "--dialect", "etsi", "--short-reports"});
    Client client(runner.devicePath());
    ASSERT_TRUE(client.isOpen());
    client.write("AT+CTSDS=12,0\r");
    EXPECT_TRUE(client.readUntil("\r\nOK\r\n").endsWith("\r\nOK\r\n"));
    client.write("AT+CMGS=4321,32\r\n820C0901\x1A");
    EXPECT_EQ(client.readUntil("7F09\r\n"),
              "\r\n+CMGS: 0,4,9\r\n\r\nOK\r\n\r\n+CTSDSR: 13,4321,0,1234,0,16\r\n7E09\r\n"
              "\r\n+CTSDSR: 13,4321,0,1234,0,16\r\n7F09\r\n");
    client.write("AT+CSQ?\r");
    EXPECT_EQ(client.readUntil("OK\r\n"), "\r\n+CSQ: 25,99\r\n\r\nOK\r\n");
}

TEST(PtyRunner, PairCarriesMessagesAndTheFarClientsReportsAcrossTheNetwork)
{
    Runner runner({"--exit-after-seconds", "30", "--pair", "--issi", "2001", "--net-delay-ms",
                   "100", "--seed", "42"});
    QByteArray seed;
    const QList<QByteArray> paths = runner.pairDevices(&seed);
    ASSERT_EQ(paths.size(), 2);
    EXPECT_EQ(seed, "42");
    Client first(paths.at(0)), second(paths.at(1));
    ASSERT_TRUE(first.isOpen() && second.isOpen());
    ASSERT_FALSE(runner.logUntil("2002: client opened the device").isEmpty());
    first.write(QByteArray("AT+CMGS=2002,1,0,48\r820400014869\x1A"));
    EXPECT_EQ(first.readUntil("OK\r\n"), "\r\n+CMGS: 0\r\n\r\nOK\r\n")
        << "no report from the radio itself";
    EXPECT_EQ(second.readUntil("4869\r\n"), "\r\n+CMT: 2001,0,48\r\n820400014869\r\n");
    second.write(QByteArray("AT+CMGS=2001,1,0,32\r82100000\x1A"));
    EXPECT_EQ(first.readUntil("82100000\r\n"), "\r\n+CMT: 2002,0,32\r\n82100000\r\n");
    const QList<QByteArray> log = runner.logUntil("2001: delivered");
    ASSERT_FALSE(log.isEmpty());
    const QByteArray all = log.join();
    EXPECT_TRUE(all.contains(" ms: 2001 > 2002 820400014869: delivered in 100 ms"))
        << all.constData();
    EXPECT_TRUE(all.contains("2002: delivered ")) << all.constData();
}

TEST(PtyRunner, PairNetworkImpairmentsFollowTheSeed)
{
    const QStringList arguments{
        "--exit-after-seconds", "30",  "--pair", "--net-loss", "0.3", "--net-corrupt", "0.3",
        "--net-duplicate",      "0.3", "--seed", "7"};
    QList<QByteArray> fates[2];
    for (QList<QByteArray> &fate : fates) {
        Runner runner(arguments);
        const QList<QByteArray> paths = runner.pairDevices();
        ASSERT_EQ(paths.size(), 2);
        Client first(paths.at(0)), second(paths.at(1));
        ASSERT_FALSE(runner.logUntil("1235: client opened the device").isEmpty());
        for (int i = 0; i < 10; ++i)
            first.write("AT+CMGS=1235,1,0,40\r8200" + QByteArray::number(i + 16, 16) + "0141\x1A");
        // Only the network's own lines tell a fate; the far radio's "delivered" lines
        // interleave with them as delivery timing allows.
        while (fate.size() < 10) {
            const QList<QByteArray> lines = runner.logUntil(": 1234 > 1235 ");
            ASSERT_FALSE(lines.isEmpty());
            const QByteArray &line = lines.last();
            if (line.contains("] net "))
                fate.append(line.mid(line.indexOf(" ms: ")));
        }
    }
    EXPECT_EQ(fates[0], fates[1]) << "the same seed, the same fates";
    EXPECT_TRUE(fates[0].join().contains("lost"));
}

TEST(PtyRunner, SerialPortComponentTalksToItThroughTheDevicePath)
{
    Runner runner({"--exit-after-seconds", "30"});
    TComPort port;
    port.setDevicePath(QString::fromLatin1(runner.devicePath()));
    port.Open();
    EXPECT_TRUE(port.GetCTS()) << "a pseudo-terminal has no CTS line; the port must not wait";
    port.WriteStr("AT\r", true);
    QByteArray received;
    QElapsedTimer clock;
    clock.start();
    while (!received.endsWith("\r\nOK\r\n") && clock.elapsed() < generousMs) {
        if (const int count = port.InputCount(); count > 0) {
            QByteArray chunk;
            received += chunk.left(port.ReadStr(chunk, count, true));
        } else {
            QThread::msleep(10);
        }
    }
    EXPECT_EQ(received, "\r\nOK\r\n");
}

TEST(PtyRunner, StopsCleanlyOnSigterm)
{
    Runner runner({});
    ASSERT_FALSE(runner.devicePath().isEmpty());
    runner.process().terminate();
    ASSERT_TRUE(runner.process().waitForFinished(generousMs));
    EXPECT_EQ(runner.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(runner.process().exitCode(), 0);
    EXPECT_TRUE(runner.process().readAllStandardOutput().contains("stopped"));
}

TEST(PtyRunner, ExitsAfterTheGivenTime)
{
    QElapsedTimer clock;
    clock.start();
    Runner runner({"--exit-after-seconds", "1", "--quiet"});
    ASSERT_TRUE(runner.process().waitForFinished(generousMs));
    EXPECT_GE(clock.elapsed(), 900);
    EXPECT_EQ(runner.process().exitCode(), 0);
    const QByteArray output = runner.process().readAllStandardOutput();
    EXPECT_TRUE(output.startsWith("Device: /dev/pts/"));
    EXPECT_EQ(output.count('\n'), 1) << "quiet prints the device line only";
}

TEST(PtyRunner, HelpListsTheOptionsAndBadArgumentsFail)
{
    QProcess help;
    help.start(CORVANE_RADIOSIM_EXECUTABLE, {"--help"});
    ASSERT_TRUE(help.waitForFinished(generousMs));
    EXPECT_EQ(help.exitCode(), 0);
    const QByteArray text = help.readAllStandardOutput();
    for (const char *option : {"--issi",
                               "--echo",
                               "--answer-delay-ms",
                               "--strict",
                               "--drop-answer",
                               "--junk-before-answer",
                               "--peer-ucs2",
                               "--peer-timestamp",
                               "--peer-parts",
                               "--short-reports",
                               "--short-report-type",
                               "--report-ack",
                               "--ctsdsr-form",
                               "--lenient-identity-type",
                               "--pair",
                               "--second-issi",
                               "--net-delay-ms",
                               "--net-jitter-ms",
                               "--net-loss",
                               "--net-duplicate",
                               "--net-reorder",
                               "--net-corrupt",
                               "--seed",
                               "--report-delay-ms",
                               "--peer-interval-s",
                               "--peer-issi",
                               "--peer-report",
                               "--peer-pid",
                               "--cme-next",
                               "--split-answers",
                               "--garbage-every-s",
                               "--exit-after-seconds",
                               "--quiet"})
        EXPECT_TRUE(text.contains(option)) << option;

    QProcess bad;
    bad.start(CORVANE_RADIOSIM_EXECUTABLE, {"--peer-report", "1F"});
    ASSERT_TRUE(bad.waitForFinished(generousMs));
    EXPECT_EQ(bad.exitCode(), 2);
    EXPECT_TRUE(bad.readAllStandardError().contains("--peer-report"));
}
