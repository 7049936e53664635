#include "session/StopSignals.h"

#include "serial/Syscall_linux.h"
#include "serial/UniqueFd_linux.h"

#include <QSocketNotifier>
#include <QtDebug>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <stdexcept>
#include <system_error>
#include <unistd.h>

namespace {

constexpr int watchedSignals[] = {SIGINT, SIGTERM};

// The pipe's write end, for the handler; -1 while no StopSignals exists.
std::atomic<int> signalPipe{-1};

void onSignal(int signalNumber)
{
    const int savedErrno = errno;
    const int fd = signalPipe.load();
    const auto byte = static_cast<unsigned char>(signalNumber);
    // A full pipe already holds signals the loop has yet to read: nothing is
    // lost that matters, so a failed write is left alone.
    if (fd >= 0)
        serial::retryOnEintr([&] { return ::write(fd, &byte, 1); });
    errno = savedErrno;
}

[[noreturn]] void throwSystemError(const char *what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

} // namespace

struct StopSignals::Handling
{
    serial::UniqueFd readEnd;
    serial::UniqueFd writeEnd;
    struct sigaction previous[std::size(watchedSignals)] = {};
    std::size_t installed = 0;

    ~Handling()
    {
        // The earlier handling comes back before the pipe goes away.
        for (std::size_t i = 0; i < installed; ++i) {
            if (::sigaction(watchedSignals[i], &previous[i], nullptr) != 0)
                qWarning("cannot restore the handling of signal %d: %s", watchedSignals[i],
                         std::strerror(errno));
        }
        int ours = writeEnd.get();
        signalPipe.compare_exchange_strong(ours, -1);
    }
};

StopSignals::StopSignals(QObject *parent) : QObject(parent), m_handling(new Handling)
{
    if (signalPipe.load() >= 0)
        throw std::logic_error("only one StopSignals may exist at a time");
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        throwSystemError("cannot make the pipe for signals");
    m_handling->readEnd.reset(ends[0]);
    m_handling->writeEnd.reset(ends[1]);
    signalPipe.store(ends[1]);

    struct sigaction action = {};
    action.sa_handler = onSignal;
    action.sa_flags = SA_RESTART;
    if (::sigemptyset(&action.sa_mask) != 0)
        throwSystemError("cannot set up the signal handler");
    for (const int signalNumber : watchedSignals) {
        if (::sigaction(signalNumber, &action, &m_handling->previous[m_handling->installed]) != 0)
            throwSystemError("cannot handle a stop signal");
        ++m_handling->installed;
    }
    m_notifier = new QSocketNotifier(ends[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &StopSignals::readPipe);
}

StopSignals::~StopSignals()
{
    // The watch ends before the pipe closes.
    delete m_notifier;
}

QString StopSignals::name(int signalNumber)
{
    switch (signalNumber) {
    case SIGINT:
        return QStringLiteral("SIGINT");
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    default:
        return QStringLiteral("signal %1").arg(signalNumber);
    }
}

void StopSignals::readPipe()
{
    unsigned char bytes[16];
    for (;;) {
        const ssize_t got = serial::retryOnEintr(
            [&] { return ::read(m_handling->readEnd.get(), bytes, sizeof bytes); });
        if (got > 0) {
            for (ssize_t i = 0; i < got; ++i)
                emit received(bytes[i]);
            continue;
        }
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        // The write end lives as long as this object: neither an end of the
        // pipe nor another failure should happen; stop watching rather than spin.
        qWarning("cannot read the pipe for signals: %s",
                 got == 0 ? "it was closed" : std::strerror(errno));
        m_notifier->setEnabled(false);
        return;
    }
}
