#include "radiosim/PtyRunner_linux.h"

#include "radiosim/PseudoTerminal_linux.h"
#include "radiosim/SystemError_linux.h"

#include "radiosim/SimNetwork.h"

#include <QElapsedTimer>
#include <algorithm>
#include <csignal>
#include <memory>
#include <poll.h>
#include <sys/signalfd.h>
#include <vector>

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

// One pseudo-terminal and the radio of the client that has it open.
struct End
{
    RadioSimOptions options;
    QString tag; // before the radio's log lines: empty, or "<ISSI>: " for a pair
    PseudoTerminal terminal;
    std::unique_ptr<RadioSim> radio;
    QByteArray unwritten;

    Identity identity() const { return QByteArray::number(options.issi); }
};

class Runner
{
public:
    Runner(const RunnerOptions &options, std::FILE *out);

    int run();

private:
    void print(const QString &line) const;
    void log(const QString &line) const;
    qint64 remainingMs() const;
    int pollTimeoutMs() const;
    // Waits for the descriptors; false when a stop signal arrived.
    bool wait(std::vector<short> &events);
    void serve(End &end, short events);
    void startSession(End &end);
    void endSession(End &end, const QString &why);
    void discardLeftovers(End &end);
    void deliverFromNetwork();
    // False when the client has gone.
    bool readInput(End &end);
    void writeOutput(End &end);

    const RunnerOptions &m_options;
    std::FILE *m_out = nullptr;
    std::vector<std::unique_ptr<End>> m_ends;
    std::unique_ptr<SimNetwork> m_network;
    UniqueFd m_signals = stopSignals();
    QElapsedTimer m_clock;
};

Runner::Runner(const RunnerOptions &options, std::FILE *out) : m_options(options), m_out(out)
{
    m_ends.push_back(std::make_unique<End>());
    m_ends.back()->options = options.radio;
    if (!options.pair)
        return;
    m_ends.push_back(std::make_unique<End>());
    m_ends.back()->options = options.radio;
    m_ends.back()->options.issi = options.secondIssi;
    m_network = std::make_unique<SimNetwork>(options.network);
    m_network->setLogger([this](const QString &line) { log(line); });
    for (const std::unique_ptr<End> &end : m_ends) {
        end->tag = QString::fromLatin1(end->identity()) + QStringLiteral(": ");
        m_network->addRadio(end->identity());
    }
}

int Runner::run()
{
    m_clock.start();
    for (const std::unique_ptr<End> &end : m_ends)
        print("Device: " + QString::fromLatin1(end->terminal.slavePath()) +
              (m_network ? QStringLiteral(" (ISSI %1)").arg(end->options.issi) : QString()));
    if (m_network)
        print(QStringLiteral("Seed: %1").arg(m_options.network.seed));
    log(QStringLiteral("waiting for a client; SIGINT or SIGTERM stops"));
    for (;;) {
        if (m_options.exitAfterMs > 0 && remainingMs() == 0) {
            log(QStringLiteral("time is up"));
            break;
        }
        std::vector<short> events;
        if (!wait(events))
            break;
        for (std::size_t i = 0; i < m_ends.size(); ++i)
            serve(*m_ends[i], events[i]);
        deliverFromNetwork();
        for (const std::unique_ptr<End> &end : m_ends) {
            if (!end->radio)
                continue;
            end->radio->advance(m_clock.elapsed());
            end->unwritten += end->radio->takeOutput();
            writeOutput(*end);
        }
    }
    for (const std::unique_ptr<End> &end : m_ends) {
        if (end->radio)
            endSession(*end, QStringLiteral("stopping"));
    }
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

// A hung-up master is not polled (it would report the hang-up at once) but
// looked at every so often for a new client.
int Runner::pollTimeoutMs() const
{
    qint64 timeout = remainingMs();
    const auto until = [&](std::optional<qint64> due) {
        if (due)
            timeout = std::min(timeout, std::max<qint64>(0, *due - m_clock.elapsed()));
    };
    for (const std::unique_ptr<End> &end : m_ends) {
        if (end->radio)
            until(end->radio->nextDueMs());
        else
            timeout = std::min<qint64>(timeout, clientLookIntervalMs);
    }
    if (m_network)
        until(m_network->nextDueMs());
    return int(std::min<qint64>(timeout, std::numeric_limits<int>::max()));
}

bool Runner::wait(std::vector<short> &events)
{
    std::vector<pollfd> fds{{m_signals.get(), POLLIN, 0}};
    for (const std::unique_ptr<End> &end : m_ends) {
        // A descriptor of -1 is skipped by poll.
        const short wanted = short(POLLIN | (end->unwritten.isEmpty() ? 0 : POLLOUT));
        fds.push_back({end->radio ? end->terminal.masterFd() : -1, wanted, 0});
    }
    const int timeoutMs = pollTimeoutMs();
    if (retryOnEintr([&] { return ::poll(fds.data(), nfds_t(fds.size()), timeoutMs); }) < 0)
        throw SystemError("poll", errno);
    if (fds[0].revents & POLLIN) {
        signalfd_siginfo info{};
        if (retryOnEintr([&] { return ::read(m_signals.get(), &info, sizeof info); }) < 0)
            throw SystemError("read", errno);
        log(QStringLiteral("signal %1").arg(info.ssi_signo));
        return false;
    }
    for (std::size_t i = 1; i < fds.size(); ++i)
        events.push_back(fds[i].revents);
    return true;
}

void Runner::serve(End &end, short events)
{
    if (!end.radio) {
        if (!end.terminal.hungUp())
            startSession(end);
        return;
    }
    const bool clientGone =
        ((events & POLLIN) && !readInput(end)) || (events & (POLLHUP | POLLERR));
    if (clientGone) {
        endSession(end, QStringLiteral("client closed the device"));
        discardLeftovers(end);
    }
}

void Runner::startSession(End &end)
{
    end.radio = std::make_unique<RadioSim>(end.options, m_clock.elapsed());
    end.radio->setLogger([this, &end](const QString &line) { log(end.tag + line); });
    if (m_options.cmeNext)
        end.radio->failNextMessage(*m_options.cmeNext);
    if (m_options.echoProbe)
        end.radio->echoNextProbe();
    if (m_network) {
        end.radio->setNetwork(
            [this, &end](const Identity &to, const QByteArray &octets, int service, qint64 atMs) {
                if (!m_network->serves(to))
                    return false;
                m_network->send(end.identity(), to, octets, service, atMs);
                return true;
            });
    }
    log(end.tag + QStringLiteral("client opened the device: radio on, ISSI %1, %2 dialect")
                      .arg(end.options.issi)
                      .arg(end.options.dialect == SimDialect::Etsi ? QStringLiteral("etsi")
                                                                   : QStringLiteral("cmt")));
}

void Runner::endSession(End &end, const QString &why)
{
    const RadioSim::Counters &c = end.radio->counters();
    log(end.tag + why +
        QStringLiteral(": radio off after %1 commands, %2 probes, "
                       "%3 registrations, %4 messages completed, %5 refused, %6 errors, "
                       "%7 reports sent, %8 loopbacks, %9 peer messages, %10 good and %11 bad "
                       "reports from the client, %12 aborted, %13 answers dropped, %14 good and "
                       "%15 bad acks, %16 acks missing, %17 to and %18 from the network")
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
            .arg(c.acksMissing)
            .arg(c.sentToNetwork)
            .arg(c.receivedFromNetwork));
    end.radio.reset();
    end.unwritten.clear();
}

void Runner::discardLeftovers(End &end)
{
    try {
        end.terminal.discardUnreadOutput();
    } catch (const SystemError &error) {
        // A new client may already hold the device exclusively; it then
        // reads what the last one left, which is only a nuisance.
        log(end.tag + QStringLiteral("could not discard unread output: %1").arg(error.what()));
    }
}

// What the network carried reaches the radio whose client is on, if any.
void Runner::deliverFromNetwork()
{
    if (!m_network)
        return;
    const qint64 now = m_clock.elapsed();
    for (const std::unique_ptr<End> &end : m_ends) {
        for (const SimNetwork::Delivery &delivery : m_network->takeDue(end->identity(), now)) {
            if (end->radio)
                end->radio->receiveFromNetwork(delivery.from, delivery.octets, delivery.service,
                                               now);
            else
                m_network->logUndelivered(delivery, now);
        }
    }
}

bool Runner::readInput(End &end)
{
    char buffer[readChunkBytes];
    for (;;) {
        const ssize_t count =
            retryOnEintr([&] { return ::read(end.terminal.masterFd(), buffer, sizeof buffer); });
        if (count > 0) {
            end.radio->receive(QByteArray(buffer, int(count)), m_clock.elapsed());
            continue;
        }
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        if (count == 0 || errno == EIO)
            return false;
        throw SystemError("read", errno);
    }
}

void Runner::writeOutput(End &end)
{
    QByteArray &unwritten = end.unwritten;
    while (!unwritten.isEmpty()) {
        const ssize_t count = retryOnEintr([&] {
            return ::write(end.terminal.masterFd(), unwritten.constData(),
                           size_t(unwritten.size()));
        });
        if (count > 0) {
            unwritten.remove(0, int(count));
            continue;
        }
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (count < 0 && errno == EIO)
            return; // the client has gone; the hang-up ends the session
        throw SystemError("write", errno);
    }
    if (unwritten.size() > maxUnwrittenBytes) {
        log(end.tag +
            QStringLiteral("the client reads nothing; dropped %1 bytes").arg(unwritten.size()));
        unwritten.clear();
    }
}

} // namespace

int runRadioOnPseudoTerminal(const RunnerOptions &options, std::FILE *out)
{
    Runner runner(options, out);
    return runner.run();
}

} // namespace radiosim
