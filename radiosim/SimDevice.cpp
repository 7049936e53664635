#include "radiosim/SimDevice.h"

#include "serial/DeviceRegistry.h"
#include "serial/TestDevice.h"

#include <QElapsedTimer>
#include <QHash>
#include <QTimer>
#include <cerrno>
#include <memory>
#include <mutex>
#include <stdexcept>

namespace radiosim {

namespace {

constexpr int tickIntervalMs = 10;

// The network of a pair of SIM devices and the clock both radios keep. A
// link takes its own lock before this one, never the other way round.
struct SharedNetwork
{
    explicit SharedNetwork(const NetworkOptions &options) : network(options) { clock.start(); }
    std::mutex mutex;
    SimNetwork network;
    QElapsedTimer clock;
};

// One open SIM device's far end: the radio core on a scriptable test line.
// The port's writes reach the core through the line's write hook, on the
// writing thread; the timer ticks on the thread that opened the device.
class SimLink
{
public:
    SimLink(std::shared_ptr<serial::TestLine> line, const RadioSimOptions &options,
            std::shared_ptr<SharedNetwork> shared)
        : m_line(std::move(line)), m_shared(std::move(shared)),
          m_identity(QByteArray::number(options.issi)), m_clock(startedClock(m_shared.get())),
          m_sim(options, m_clock.elapsed())
    {
        if (m_shared) {
            m_sim.setNetwork(
                [this](const Identity &to, const QByteArray &octets, int service, qint64 atMs) {
                    std::lock_guard<std::mutex> lock(m_shared->mutex);
                    if (!m_shared->network.serves(to))
                        return false;
                    m_shared->network.send(m_identity, to, octets, service, atMs);
                    return true;
                });
        }
        // The simulated radio takes every write through the hook.
        m_line->setKeepOutput(false);
        m_line->setWriteHook([this](const QByteArray &bytes) {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_sim.receive(bytes, m_clock.elapsed());
            passOn(lock);
        });
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            std::unique_lock<std::mutex> lock(m_mutex);
            // Everything due by now goes out on this tick, not one piece per
            // tick: output that fell due together is not held back 10 ms.
            // Each advance releases at least one due piece; the bound only
            // guards against a schedule that stops making progress.
            const qint64 now = m_clock.elapsed();
            deliverFromNetwork(now);
            int rounds = OutputSchedule::maxPendingIndications + 1;
            do {
                m_sim.advance(now);
            } while (--rounds > 0 && m_sim.nextDueMs() && *m_sim.nextDueMs() <= now);
            passOn(lock);
        });
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.start(tickIntervalMs);
    }
    ~SimLink() { m_line->setWriteHook({}); }
    SimLink(const SimLink &) = delete;
    SimLink &operator=(const SimLink &) = delete;

    void run(const std::function<void(RadioSim &)> &action)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        action(m_sim);
        passOn(lock);
    }

private:
    static QElapsedTimer startedClock(const SharedNetwork *shared)
    {
        if (shared)
            return shared->clock;
        QElapsedTimer clock;
        clock.start();
        return clock;
    }

    // Called under the link's lock.
    void deliverFromNetwork(qint64 now)
    {
        if (!m_shared)
            return;
        QList<SimNetwork::Delivery> arrived;
        {
            std::lock_guard<std::mutex> lock(m_shared->mutex);
            arrived = m_shared->network.takeDue(m_identity, now);
        }
        for (const SimNetwork::Delivery &delivery : arrived)
            m_sim.receiveFromNetwork(delivery.from, delivery.octets, delivery.service, now);
    }

    // Hands the core's output and CTS to the line, outside the core's lock.
    void passOn(std::unique_lock<std::mutex> &lock)
    {
        const QByteArray output = m_sim.takeOutput();
        const bool cts = m_sim.ctsUp(m_clock.elapsed());
        lock.unlock();
        m_line->setCts(cts);
        if (!output.isEmpty())
            m_line->pushInput(output);
    }

    std::shared_ptr<serial::TestLine> m_line;
    std::shared_ptr<SharedNetwork> m_shared;
    Identity m_identity;
    std::mutex m_mutex;
    QElapsedTimer m_clock;
    RadioSim m_sim;
    QTimer m_timer;
};

// The links of the SIM devices that are open, by device name. A device
// removes its link under the mutex before destroying it, so holding the
// mutex keeps a link alive.
struct ActiveLinks
{
    std::mutex mutex;
    QHash<QString, SimLink *> byName;
};

ActiveLinks &activeLinks()
{
    static ActiveLinks links;
    return links;
}

class SimDevice : public serial::SerialDevice
{
public:
    SimDevice(const QString &name, const RadioSimOptions &options,
              std::shared_ptr<SharedNetwork> shared)
        : m_name(name), m_options(options), m_shared(std::move(shared)),
          m_line(std::make_shared<serial::TestLine>()), m_device(m_line)
    {}

    ~SimDevice() override
    {
        if (!m_link)
            return;
        ActiveLinks &links = activeLinks();
        std::lock_guard<std::mutex> lock(links.mutex);
        if (links.byName.value(m_name) == m_link.get())
            links.byName.remove(m_name);
    }

    int open(const QString &path) override
    {
        ActiveLinks &links = activeLinks();
        std::lock_guard<std::mutex> lock(links.mutex);
        if (links.byName.contains(m_name))
            return EBUSY;
        if (const int error = m_device.open(path))
            return error;
        m_link = std::make_unique<SimLink>(m_line, m_options, m_shared);
        links.byName.insert(m_name, m_link.get());
        return 0;
    }
    int setupComm(uint32_t inQueue, uint32_t outQueue) override
    {
        return m_device.setupComm(inQueue, outQueue);
    }
    int setCommState(const serial::Dcb &dcb) override { return m_device.setCommState(dcb); }
    int setCommTimeouts(const serial::CommTimeouts &timeouts) override
    {
        return m_device.setCommTimeouts(timeouts);
    }
    int clearCommError(uint32_t &errors, serial::ComStat &stat) override
    {
        return m_device.clearCommError(errors, stat);
    }
    int getCommModemStatus(uint32_t &status) override
    {
        return m_device.getCommModemStatus(status);
    }
    int escapeCommFunction(uint32_t function) override
    {
        return m_device.escapeCommFunction(function);
    }
    int purgeComm(uint32_t flags) override { return m_device.purgeComm(flags); }
    int read(char *buffer, uint32_t size, uint32_t &done) override
    {
        return m_device.read(buffer, size, done);
    }
    int write(const char *buffer, uint32_t size, uint32_t &done) override
    {
        return m_device.write(buffer, size, done);
    }
    int setCommMask(uint32_t mask) override { return m_device.setCommMask(mask); }
    uint32_t waitCommEvent(const serial::Event &stop, uint32_t &events) override
    {
        return m_device.waitCommEvent(stop, events);
    }
    serial::PollTarget readiness(serial::Direction direction) const override
    {
        return m_device.readiness(direction);
    }

private:
    QString m_name;
    RadioSimOptions m_options;
    std::shared_ptr<SharedNetwork> m_shared;
    std::shared_ptr<serial::TestLine> m_line;
    // Declared before the device so that it outlives the device's last write.
    std::unique_ptr<SimLink> m_link;
    serial::TestDevice m_device;
};

void registerOne(const QString &name, const RadioSimOptions &options, SimDialectSource dialect,
                 std::shared_ptr<SharedNetwork> shared)
{
    serial::registerDevice(
        name, [name, options, dialect, shared]() -> std::unique_ptr<serial::SerialDevice> {
            RadioSimOptions fresh = options;
            if (dialect)
                fresh.dialect = dialect();
            return std::make_unique<SimDevice>(name, fresh, shared);
        });
}

} // namespace

void registerSimDevice(const QString &name, const RadioSimOptions &options,
                       SimDialectSource dialect)
{
    registerOne(name, options, std::move(dialect), nullptr);
}

void registerSimDevicePair(const SimPair &pair, SimDialectSource dialect)
{
    if (pair.first.issi == pair.second.issi)
        throw std::invalid_argument("the two radios of a SIM pair need their own ISSIs");
    auto shared = std::make_shared<SharedNetwork>(pair.network);
    shared->network.setLogger(pair.networkLog);
    shared->network.addRadio(QByteArray::number(pair.first.issi));
    shared->network.addRadio(QByteArray::number(pair.second.issi));
    registerOne(pair.firstName, pair.first, dialect, shared);
    registerOne(pair.secondName, pair.second, dialect, shared);
}

bool withActiveSim(const std::function<void(RadioSim &sim)> &action, const QString &name)
{
    ActiveLinks &links = activeLinks();
    std::lock_guard<std::mutex> lock(links.mutex);
    SimLink *const link = links.byName.value(name);
    if (!link)
        return false;
    link->run(action);
    return true;
}

} // namespace radiosim
