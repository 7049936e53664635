#include "radiosim/SimNetwork.h"

#include "radiosim/SdsText.h"

#include <algorithm>

namespace radiosim {

namespace {

// How long a reordered SDS waits for the next one at the most, after the
// time it would have arrived.
constexpr qint64 reorderHoldLimitMs = 10000;

// The octets of the SDS-TL header (or the text coding octet of simple
// text), which corruption never touches; all of a report or an
// acknowledgement.
qsizetype headerLength(const QByteArray &octets)
{
    const auto protocolId = quint8(octets.at(0));
    if (protocolId < firstSdsTlProtocolId)
        return isSimpleText(protocolId) ? 2 : 1;
    if (octets.size() < 3 || (quint8(octets.at(1)) & messageTypeMask) != sdsTransfer)
        return octets.size();
    return (quint8(octets.at(1)) & storageRequested) ? 4 : 3;
}

QString hexOf(const QByteArray &octets)
{
    return QString::fromLatin1(octets.toHex().toUpper());
}

} // namespace

SimNetwork::SimNetwork(const NetworkOptions &options) : m_options(options), m_random(options.seed)
{}

double SimNetwork::draw()
{
    return double(m_random() >> 11) * 0x1.0p-53;
}

// Every arrival draws its jitter, so the draws of one SDS do not depend on
// its fate and a seed replays the same run.
qint64 SimNetwork::arrival(const Identity &from, const Identity &to, qint64 nowMs)
{
    const quint64 random = m_random();
    const qint64 jitter =
        m_options.jitterMs > 0
            ? qint64(random % quint64(2 * m_options.jitterMs + 1)) - m_options.jitterMs
            : 0;
    qint64 &last = m_lastArrivalMs[{from, to}];
    const qint64 due = std::max({nowMs, nowMs + m_options.delayMs + jitter, last});
    last = due;
    return due;
}

void SimNetwork::send(const Identity &from, const Identity &to, const QByteArray &octets,
                      int service, qint64 nowMs)
{
    ++m_sent;
    const double fate = draw();
    const qint64 firstDue = arrival(from, to, nowMs);
    const qint64 secondDue = arrival(from, to, nowMs);
    const Delivery delivery{from, to, octets, service};
    const QString prefix =
        QStringLiteral("net %1 ms: %2 > %3 %4: ")
            .arg(nowMs)
            .arg(QString::fromLatin1(from), QString::fromLatin1(to), hexOf(octets));
    double threshold = m_options.loss;
    if (fate < threshold) {
        log(prefix + QStringLiteral("lost"));
        return;
    }
    threshold += m_options.duplicate;
    if (fate < threshold) {
        schedule(delivery, firstDue);
        schedule(delivery, secondDue);
        log(prefix + QStringLiteral("duplicated in %1 ms and %2 ms")
                         .arg(firstDue - nowMs)
                         .arg(secondDue - nowMs));
        return;
    }
    threshold += m_options.reorder;
    if (fate < threshold) {
        const qint64 latest = firstDue + reorderHoldLimitMs;
        schedule(delivery, latest, true);
        log(prefix + QStringLiteral("reordered: held back until the next one is delivered, "
                                    "at the latest in %1 ms")
                         .arg(latest - nowMs));
        return;
    }
    threshold += m_options.corrupt;
    if (fate < threshold && octets.size() > headerLength(octets)) {
        Delivery corrupted = delivery;
        corrupted.octets.back() = char(corrupted.octets.back() ^ 0x01);
        schedule(corrupted, firstDue);
        log(prefix + QStringLiteral("corrupted to %1, delivered in %2 ms")
                         .arg(hexOf(corrupted.octets))
                         .arg(firstDue - nowMs));
        return;
    }
    schedule(delivery, firstDue);
    log(prefix + QStringLiteral("delivered in %1 ms").arg(firstDue - nowMs));
}

void SimNetwork::schedule(const Delivery &delivery, qint64 dueMs, bool heldBack)
{
    const auto later =
        std::upper_bound(m_inFlight.begin(), m_inFlight.end(), dueMs,
                         [](qint64 due, const InFlight &item) { return due < item.dueMs; });
    m_inFlight.insert(later, {delivery, dueMs, heldBack, m_sent});
}

QList<SimNetwork::Delivery> SimNetwork::takeDue(const Identity &to, qint64 nowMs)
{
    QList<Delivery> arrived;
    for (;;) {
        const auto due = std::find_if(m_inFlight.begin(), m_inFlight.end(), [&](const InFlight &f) {
            return f.delivery.to == to && f.dueMs <= nowMs;
        });
        if (due == m_inFlight.end())
            return arrived;
        const InFlight item = *due;
        m_inFlight.erase(due);
        arrived.append(item.delivery);
        if (item.heldBack)
            continue;
        // The SDSs held back in this direction before it come right after it.
        for (auto held = m_inFlight.begin(); held != m_inFlight.end();) {
            if (held->heldBack && held->sequence < item.sequence &&
                held->delivery.from == item.delivery.from && held->delivery.to == to) {
                arrived.append(held->delivery);
                held = m_inFlight.erase(held);
            } else {
                ++held;
            }
        }
    }
}

std::optional<qint64> SimNetwork::nextDueMs() const
{
    if (m_inFlight.empty())
        return std::nullopt;
    return m_inFlight.front().dueMs;
}

void SimNetwork::logUndelivered(const Delivery &delivery, qint64 nowMs) const
{
    log(QStringLiteral("net %1 ms: %2 > %3 %4: not delivered, no radio")
            .arg(nowMs)
            .arg(QString::fromLatin1(delivery.from), QString::fromLatin1(delivery.to),
                 hexOf(delivery.octets)));
}

void SimNetwork::log(const QString &line) const
{
    if (m_logger)
        m_logger(line);
}

} // namespace radiosim
