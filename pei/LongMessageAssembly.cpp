#include "pei/LongMessageAssembly.h"

#include <algorithm>
#include <utility>

LongMessageAssembly::LongMessageAssembly(const Limits &limits) : m_limits(limits) {}

std::optional<ReceivedText::Content>
LongMessageAssembly::add(const QByteArray &caller, const ReceivedText::Content &part, qint64 nowMs)
{
    dropExpired(nowMs);
    if (!part.part)
        return part;
    const ReceivedText::Part &where = *part.part;
    auto set = std::find_if(m_sets.begin(), m_sets.end(), [&](const Set &open) {
        return open.caller == caller && open.reference == where.reference &&
               open.wideReference == where.wideReference;
    });
    if (set != m_sets.end() && int(set->parts.size()) != where.count) {
        drop(set);
        set = m_sets.end();
    }
    if (set == m_sets.end()) {
        if (int(m_sets.size()) >= m_limits.maxOpenSets && !m_sets.empty())
            drop(std::min_element(m_sets.begin(), m_sets.end(), [](const Set &a, const Set &b) {
                return a.lastPartMs < b.lastPartMs;
            }));
        Set fresh;
        fresh.caller = caller;
        fresh.reference = where.reference;
        fresh.wideReference = where.wideReference;
        fresh.parts.resize(std::size_t(where.count));
        m_sets.push_back(std::move(fresh));
        set = m_sets.end() - 1;
    }
    std::optional<ReceivedText::Content> &slot = set->parts[std::size_t(where.number - 1)];
    if (slot)
        return std::nullopt;
    if (set->octets + part.octets.size() > m_limits.maxSetOctets) {
        drop(set);
        return std::nullopt;
    }
    slot = part;
    set->octets += part.octets.size();
    set->lastPartMs = nowMs;
    if (++set->received < int(set->parts.size()))
        return std::nullopt;

    ReceivedText::Content whole = *set->parts.front();
    whole.part.reset();
    whole.partCount = int(set->parts.size());
    whole.octets.clear();
    for (const std::optional<ReceivedText::Content> &each : set->parts)
        whole.octets += each->octets;
    m_sets.erase(set);
    return whole;
}

void LongMessageAssembly::dropExpired(qint64 nowMs)
{
    for (auto set = m_sets.begin(); set != m_sets.end();)
        set = nowMs - set->lastPartMs >= m_limits.maxWaitMs ? drop(set) : set + 1;
}

QList<LongMessageAssembly::Dropped> LongMessageAssembly::takeDropped()
{
    return std::exchange(m_dropped, {});
}

QByteArray LongMessageAssembly::droppedLine(const Dropped &dropped)
{
    return ": Long message from " + dropped.caller +
           " incomplete: " + QByteArray::number(dropped.partsReceived) + " of " +
           QByteArray::number(dropped.partCount) + " parts received.";
}

std::vector<LongMessageAssembly::Set>::iterator
LongMessageAssembly::drop(std::vector<Set>::iterator set)
{
    m_dropped.append({set->caller, set->received, int(set->parts.size())});
    return m_sets.erase(set);
}
