#pragma once

#include "radiosim/SdsWire.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <random>

namespace radiosim {

// How the simulated network between two radios treats the Short Data it
// carries. Each SDS meets one fate, drawn with these probabilities (their
// sum at most 1): lost, duplicated, reordered, corrupted, or else simply
// delivered. Every copy that arrives takes the delay plus a uniform jitter
// of at most jitterMs either way; apart from a reordered one, the SDSs of
// one direction arrive in the order they were sent.
struct NetworkOptions
{
    qint64 delayMs = 0;
    qint64 jitterMs = 0;
    double loss = 0;
    double duplicate = 0;
    double reorder = 0;
    double corrupt = 0;
    quint64 seed = 1;
};

// The network between the simulated radios: pure, with no clock of its own,
// like RadioSim. It logs one line per SDS it carries, at the time it was
// sent:
//   net <t> ms: <src> > <dst> <HEX>: <fate>
// <t> is the time on the radios' clock in milliseconds, <src> and <dst> the
// identities, <HEX> the user data as sent (upper-case hex), and <fate> one of
//   delivered in <d> ms
//   lost
//   duplicated in <d> ms and <d2> ms
//   reordered: held back until the next one is delivered, at the latest in <d> ms
//   corrupted to <HEX'>, delivered in <d> ms
// A delivery that finds no radio to take it is logged as
//   net <t> ms: <src> > <dst> <HEX>: not delivered, no radio
// A corrupted SDS has its last octet changed; an SDS with nothing after its
// SDS-TL header (a report, an acknowledgement) is never corrupted: the fate
// falls to delivered.
class SimNetwork
{
public:
    using Logger = std::function<void(const QString &line)>;

    struct Delivery
    {
        Identity from;
        Identity to;
        QByteArray octets;
        int service = serviceSdsTl;
    };

    explicit SimNetwork(const NetworkOptions &options);

    void setLogger(Logger logger) { m_logger = std::move(logger); }
    // The identities of the radios on the network; an SDS to any other
    // identity is not the network's.
    void addRadio(const Identity &identity) { m_radios.append(identity); }
    bool serves(const Identity &identity) const { return m_radios.contains(identity); }

    // Carries an SDS sent at nowMs (times never decrease).
    void send(const Identity &from, const Identity &to, const QByteArray &octets, int service,
              qint64 nowMs);
    // The SDSs for `to` that arrive by nowMs, in the order they arrive.
    QList<Delivery> takeDue(const Identity &to, qint64 nowMs);
    std::optional<qint64> nextDueMs() const;
    // Logs a delivery that found no radio.
    void logUndelivered(const Delivery &delivery, qint64 nowMs) const;

private:
    struct InFlight
    {
        Delivery delivery;
        qint64 dueMs = 0;
        bool heldBack = false; // released when a later one of its direction arrives
        quint64 sequence = 0;  // in the order sent
    };

    double draw();
    qint64 arrival(const Identity &from, const Identity &to, qint64 nowMs);
    void schedule(const Delivery &delivery, qint64 dueMs, bool heldBack = false);
    void log(const QString &line) const;

    NetworkOptions m_options;
    std::mt19937_64 m_random;
    Logger m_logger;
    QList<Identity> m_radios;
    std::deque<InFlight> m_inFlight;
    quint64 m_sent = 0;
    // The latest arrival so far in each direction, which the next keeps to.
    std::map<std::pair<Identity, Identity>, qint64> m_lastArrivalMs;
};

} // namespace radiosim
