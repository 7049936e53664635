#include "session/LinkResults.h"

#include "session/LinkTag.h"

#include <algorithm>
#include <utility>

namespace {

std::size_t sideIndex(LinkSide side)
{
    return std::size_t(side);
}

} // namespace

LinkSide otherSide(LinkSide side)
{
    return side == LinkSide::Sender ? LinkSide::Receiver : LinkSide::Sender;
}

std::optional<qint64> LinkMessage::deliveryMs() const
{
    if (!arrivedAt || !writtenAt)
        return std::nullopt;
    return arrivedAt->monotonicMs - writtenAt->monotonicMs;
}

void LinkResults::start(quint16 runId)
{
    m_started = true;
    m_runId = runId;
    m_messages.clear();
    m_bySequence.clear();
    for (auto &bySeriesIndex : m_bySeriesIndex)
        bySeriesIndex.clear();
    for (auto &byArrival : m_byArrival)
        byArrival.clear();
    m_highestArrived = {};
    m_foreign = 0;
    m_deliveries.clear();
    m_deliveryPlot.clear();
    ++m_version;
}

void LinkResults::messageScheduled(int sequence, LinkSide from, int seriesIndex,
                                   const QByteArray &text)
{
    if (!m_started || m_bySequence.count(sequence) > 0)
        return;
    LinkMessage message;
    message.sequence = sequence;
    message.from = from;
    message.seriesIndex = seriesIndex;
    message.text = text;
    m_bySequence[sequence] = m_messages.size();
    m_bySeriesIndex[sideIndex(from)][seriesIndex] = m_messages.size();
    m_messages.push_back(message);
    m_deliveryPlot.setMessages(sequence);
    ++m_version;
}

LinkMessage *LinkResults::find(LinkSide from, int seriesIndex)
{
    const auto &bySeriesIndex = m_bySeriesIndex[sideIndex(from)];
    const auto found = bySeriesIndex.find(seriesIndex);
    return found == bySeriesIndex.end() ? nullptr : &m_messages[found->second];
}

void LinkResults::deliveryKnown(const LinkMessage &message)
{
    const qint64 ms = *message.deliveryMs();
    m_deliveries.add(ms);
    m_deliveryPlot.add(message.sequence, ms);
}

void LinkResults::messageWritten(LinkSide from, int seriesIndex, Moment at)
{
    if (LinkMessage *message = find(from, seriesIndex)) {
        const bool firstWrite = !message->writtenAt;
        message->writtenAt = at;
        if (firstWrite && message->arrivedAt)
            deliveryKnown(*message);
        ++m_version;
    }
}

LinkResults::Verdict LinkResults::messageArrived(LinkSide at, quint64 number,
                                                 const QByteArray &text, int reportsRequested,
                                                 Moment when)
{
    const LinkTag::Reading tag = LinkTag::read(text);
    if (!m_started || tag.kind == LinkTag::Reading::Kind::Untagged)
        return Verdict::Untagged;
    ++m_version;
    const auto found = m_bySequence.find(tag.sequence);
    const bool ours = tag.kind == LinkTag::Reading::Kind::Tagged && tag.runId == m_runId &&
                      found != m_bySequence.end() && m_messages[found->second].from != at;
    if (!ours) {
        ++m_foreign;
        return Verdict::Foreign;
    }
    LinkMessage &message = m_messages[found->second];
    ++message.arrivals;
    if (text != message.text)
        ++message.corruptedArrivals;
    if (message.arrivals > 1)
        return Verdict::Matched;
    message.arrivedAt = when;
    if (message.writtenAt)
        deliveryKnown(message);
    message.lost = false;
    message.reportsRequested = reportsRequested;
    m_byArrival[sideIndex(at)][number] = found->second;
    int &highest = m_highestArrived[sideIndex(message.from)];
    message.outOfOrder = highest > message.sequence;
    highest = std::max(highest, message.sequence);
    return Verdict::Matched;
}

void LinkResults::reportSent(LinkSide by, quint64 number)
{
    const auto &byArrival = m_byArrival[sideIndex(by)];
    const auto found = byArrival.find(number);
    if (found == byArrival.end())
        return;
    ++m_messages[found->second].reportsSent;
    ++m_version;
}

void LinkResults::expireDeliveries(qint64 writtenBeforeMonotonicMs)
{
    for (LinkMessage &message : m_messages) {
        if (!message.delivered() && !message.lost && message.writtenAt &&
            message.writtenAt->monotonicMs < writtenBeforeMonotonicMs) {
            message.lost = true;
            ++m_version;
        }
    }
}

void LinkResults::closeRun()
{
    for (LinkMessage &message : m_messages) {
        if (!message.delivered() && message.writtenAt)
            message.lost = true;
    }
    ++m_version;
}

LinkResults::Counts LinkResults::counts() const
{
    Counts counts;
    counts.messages = int(m_messages.size());
    counts.foreign = m_foreign;
    for (const LinkMessage &message : m_messages) {
        counts.written += message.writtenAt ? 1 : 0;
        counts.delivered += message.delivered() ? 1 : 0;
        counts.deliveredIntact += message.arrivals > message.corruptedArrivals ? 1 : 0;
        counts.lost += message.lost ? 1 : 0;
        counts.inTransit += message.writtenAt && !message.delivered() && !message.lost ? 1 : 0;
        counts.duplicated += message.arrivals > 1 ? 1 : 0;
        counts.outOfOrder += message.outOfOrder ? 1 : 0;
        counts.corrupted += message.corruptedArrivals > 0 ? 1 : 0;
        counts.reportsRequested += message.reportsRequested;
        counts.reportsSent += message.reportsSent;
    }
    return counts;
}

std::optional<double> LinkResults::deliveryRatio() const
{
    if (m_messages.empty())
        return std::nullopt;
    return double(counts().deliveredIntact) / double(m_messages.size());
}

std::optional<TimeFigures> LinkResults::deliveryFigures() const
{
    return m_deliveries.figures();
}

bool LinkResults::settled() const
{
    return std::all_of(m_messages.begin(), m_messages.end(), [](const LinkMessage &message) {
        return !message.writtenAt || message.delivered() || message.lost;
    });
}
