#include "radiosim/PtyRunner_linux.h"

#include "radiosim/PseudoTerminal_linux.h"
#include "radiosim/SystemError_linux.h"

#include <QElapsedTimer>
#include <algorithm>
#include <csignal>
#include <memory>
#include <poll.h>
#include <sys/signalfd.h>

namespace radiosim {

namespace {

// How often a hung-up master is looked at for a new client.
constexpr int clientLookIntervalMs = 100;
// Output the client has not read yet beyond this is dropped.
constexpr int maxUnwrittenBytes = 64 * 1024;
constexpr int readChunkBytes = 4096;

// SIGINT and SIGTERM as a readable descriptor; blocked for normal delivery.
UniqueFd stopSignals()
{
    sigset_t stopSet;
    sigemptyset(&stopSet);
    sigaddset(&stopSet, SIGINT);
    sigaddset(&stopSet, SIGTERM);
    if (sigprocmask(SIG_BLOCK, &stopSet, nullptr) != 0)
        throw SystemError("sigprocmask", errno);
    UniqueFd fd(signalfd(-1, &stopSet, SFD_NONBLOCK | SFD_CLOEXEC));
    if (!fd.valid())
        throw SystemError("signalfd", errno);
    return fd;
}

class Runner
{
public:
    Runner(const RunnerOptions &options, std::FILE *out) : m_options(options), m_out(out) {}

    int run();

private:
    void print(const QString &line) const;
    void log(const QString &line) const;
    qint64 remainingMs() const;
    // Waits for the descriptors; false when a stop signal arrived.
    bool wait(bool watchMaster, int timeoutMs, short &masterEvents);
    void startSession();
    void endSession(const QString &why);
    void discardLeftovers();
    // False when the client has gone.
    bool readInput();
    void writeOutput();
    int pollTimeoutMs() const;

    const RunnerOptions &m_options;
    std::FILE *m_out = nullptr;
    PseudoTerminal m_terminal;
    UniqueFd m_signals = stopSignals();
    QElapsedTimer m_clock;
    std::unique_ptr<RadioSim> m_radio;
    QByteArray m_unwritten;
};

int Runner::run()
{
    m_clock.start();
    print("Device: " + QString::fromLatin1(m_terminal.slavePath()));
    log(QStringLiteral("waiting for a client; SIGINT or SIGTERM stops"));
    for (;;) {
        if (m_options.exitAfterMs > 0 && remainingMs() == 0) {
            log(QStringLiteral("time is up"));
            break;
        }
        short masterEvents = 0;
        if (!m_radio) {
            if (!wait(false, int(std::min<qint64>(clientLookIntervalMs, remainingMs())),
                      masterEvents))
                break;
            if (!m_terminal.hungUp())
                startSession();
            continue;
        }
        if (!wait(true, pollTimeoutMs(), masterEvents))
            break;
        const bool clientGone =
            ((masterEvents & POLLIN) && !readInput()) || (masterEvents & (POLLHUP | POLLERR));
        if (clientGone) {
            endSession(QStringLiteral("client closed the device"));
            discardLeftovers();
            continue;
        }
        m_radio->advance(m_clock.elapsed());
        m_unwritten += m_radio->takeOutput();
        writeOutput();
    }
    if (m_radio)
        endSession(QStringLiteral("stopping"));
    log(QStringLiteral("stopped"));
    return 0;
}

void Runner::print(const QString &line) const
{
    std::fprintf(m_out, "%s\n", line.toLocal8Bit().constData());
    std::fflush(m_out);
}

void Runner::log(const QString &line) const
{
    if (!m_options.quiet)
        print(QString::asprintf("[%9.3f] ", double(m_clock.elapsed()) / 1000) + line);
}

qint64 Runner::remainingMs() const
{
    if (m_options.exitAfterMs <= 0)
        return std::numeric_limits<int>::max();
    return std::max<qint64>(0, m_options.exitAfterMs - m_clock.elapsed());
}

int Runner::pollTimeoutMs() const
{
    qint64 timeout = remainingMs();
    if (const std::optional<qint64> due = m_radio->nextDueMs())
        timeout = std::min(timeout, std::max<qint64>(0, *due - m_clock.elapsed()));
    return int(std::min<qint64>(timeout, std::numeric_limits<int>::max()));
}

bool Runner::wait(bool watchMaster, int timeoutMs, short &masterEvents)
{
    pollfd fds[2] = {{m_signals.get(), POLLIN, 0}, {m_terminal.masterFd(), POLLIN, 0}};
    if (!m_unwritten.isEmpty())
        fds[1].events |= POLLOUT;
    const nfds_t count = watchMaster ? 2 : 1;
    if (retryOnEintr([&] { return ::poll(fds, count, timeoutMs); }) < 0)
        throw SystemError("poll", errno);
    if (fds[0].revents & POLLIN) {
        signalfd_siginfo info{};
        if (retryOnEintr([&] { return ::read(m_signals.get(), &info, sizeof info); }) < 0)
            throw SystemError("read", errno);
        log(QStringLiteral("signal %1").arg(info.ssi_signo));
        return false;
    }
    masterEvents = watchMaster ? fds[1].revents : 0;
    return true;
}

void Runner::startSession()
{
    m_radio = std::make_unique<RadioSim>(m_options.radio, m_clock.elapsed());
    m_radio->setLogger([this](const QString &line) { log(line); });
    if (m_options.cmeNext)
        m_radio->failNextMessage(*m_options.cmeNext);
    if (m_options.echoProbe)
        m_radio->echoNextProbe();
    log(QStringLiteral("client opened the device: radio on, ISSI %1, %2 dialect")
            .arg(m_options.radio.issi)
            .arg(m_options.radio.dialect == SimDialect::Etsi ? QStringLiteral("etsi")
                                                             : QStringLiteral("cmt")));
}

void Runner::endSession(const QString &why)
{
    const RadioSim::Counters &c = m_radio->counters();
    log(why +
        QStringLiteral(": radio off after %1 commands, %2 probes, "
                       "%3 registrations, %4 messages completed, %5 refused, %6 errors, "
                       "%7 reports sent, %8 loopbacks, %9 peer messages, %10 good and %11 bad "
                       "reports from the client, %12 aborted, %13 answers dropped, %14 good and "
                       "%15 bad acks, %16 acks missing")
            .arg(c.commandsSeen)
            .arg(c.probesAnswered)
            .arg(c.registrations)
            .arg(c.messagesCompleted)
            .arg(c.messagesRefused)
            .arg(c.errorsAnswered)
            .arg(c.reportsSent)
            .arg(c.loopbacksSent)
            .arg(c.peerMessagesSent)
            .arg(c.goodReports)
            .arg(c.badReports)
            .arg(c.commandsAborted)
            .arg(c.answersDropped)
            .arg(c.goodAcks)
            .arg(c.badAcks)
            .arg(c.acksMissing));
    m_radio.reset();
    m_unwritten.clear();
}

void Runner::discardLeftovers()
{
    try {
        m_terminal.discardUnreadOutput();
    } catch (const SystemError &error) {
        // A new client may already hold the device exclusively; it then
        // reads what the last one left, which is only a nuisance.
        log(QStringLiteral("could not discard unread output: %1").arg(error.what()));
    }
}

bool Runner::readInput()
{
    char buffer[readChunkBytes];
    for (;;) {
        const ssize_t count =
            retryOnEintr([&] { return ::read(m_terminal.masterFd(), buffer, sizeof buffer); });
        if (count > 0) {
            m_radio->receive(QByteArray(buffer, int(count)), m_clock.elapsed());
            continue;
        }
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        if (count == 0 || errno == EIO)
            return false;
        throw SystemError("read", errno);
    }
}

void Runner::writeOutput()
{
    while (!m_unwritten.isEmpty()) {
        const ssize_t count = retryOnEintr([&] {
            return ::write(m_terminal.masterFd(), m_unwritten.constData(),
                           size_t(m_unwritten.size()));
        });
        if (count > 0) {
            m_unwritten.remove(0, int(count));
            continue;
        }
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (count < 0 && errno == EIO)
            return; // the client has gone; the hang-up ends the session
        throw SystemError("write", errno);
    }
    if (m_unwritten.size() > maxUnwrittenBytes) {
        log(QStringLiteral("the client reads nothing; dropped %1 bytes").arg(m_unwritten.size()));
        m_unwritten.clear();
    }
}

} // namespace

int runRadioOnPseudoTerminal(const RunnerOptions &options, std::FILE *out)
{
    Runner runner(options, out);
    return runner.run();
}

} // namespace radiosim
