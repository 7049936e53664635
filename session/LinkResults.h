#pragma once

#include "session/Moment.h"
#include "session/SeriesStatistics.h"
#include "session/SlowestPerRun.h"
#include "session/SpanFigures.h"
#include "session/TimeFigures.h"

#include <QByteArray>
#include <QtGlobal>
#include <array>
#include <map>
#include <optional>
#include <unordered_map>
#include <vector>

// The two radios of a link test: the one on the user's port, and the
// receiver. With messages both ways, the receiver sends too.
enum class LinkSide : quint8 { Sender = 0, Receiver = 1 };

LinkSide otherSide(LinkSide side);

// One message of a link test and what the far end made of it.
struct LinkMessage
{
    int sequence = 0;
    LinkSide from = LinkSide::Sender;
    // Its index in the series of the radio that sent it.
    int seriesIndex = 0;
    // The text as composed, its tag first.
    QByteArray text;
    std::optional<Moment> writtenAt;
    // The first copy the far end received.
    std::optional<Moment> arrivedAt;
    int arrivals = 0;
    // Copies whose text was not the one sent.
    int corruptedArrivals = 0;
    // Its first copy came after that of a message sent later the same way.
    bool outOfOrder = false;
    // Written, and never arrived within the time allowed.
    bool lost = false;
    // The reports its first copy asked the far end for, and how many of
    // them the far end's terminal wrote.
    int reportsRequested = 0;
    int reportsSent = 0;

    bool delivered() const { return arrivals > 0; }
    // Received once, as it was sent.
    bool deliveredIntactOnce() const { return arrivals == 1 && corruptedArrivals == 0; }
    std::optional<qint64> deliveryMs() const;
};

// What the far ends of a link test received. The sessions tell it each
// message composed and written, each message that arrived at either radio,
// and each report written there. An arrival belongs to a message only by
// its tag: one of this run's, of a message sent by the other radio. Any
// other text that begins like a tag is foreign, counted and never matched;
// a text without one is no business of the link test. Pure: no clock.
class LinkResults
{
public:
    enum class Verdict { Untagged, Foreign, Matched };

    struct Counts
    {
        int messages = 0;
        int written = 0;
        int delivered = 0;       // at least one copy arrived
        int deliveredIntact = 0; // at least one copy arrived as sent
        int lost = 0;
        int inTransit = 0; // written, not arrived, not lost yet
        int duplicated = 0;
        int outOfOrder = 0;
        int corrupted = 0;
        int foreign = 0;
        int reportsRequested = 0;
        int reportsSent = 0;
    };

    // Begins a new run: everything of the one before is forgotten.
    void start(quint16 runId);
    quint16 runId() const { return m_runId; }
    bool started() const { return m_started; }

    void messageScheduled(int sequence, LinkSide from, int seriesIndex, const QByteArray &text);
    void messageWritten(LinkSide from, int seriesIndex, Moment at);
    // A text message arrived at the radio of side `at`; number names it for
    // reportSent().
    Verdict messageArrived(LinkSide at, quint64 number, const QByteArray &text,
                           int reportsRequested, Moment when);
    void reportSent(LinkSide by, quint64 number);
    // Messages written before writtenBeforeMs that have not arrived are lost.
    void expireDeliveries(qint64 writtenBeforeMonotonicMs);
    // The end of the run: every written message that has not arrived is lost.
    void closeRun();

    const std::vector<LinkMessage> &messages() const { return m_messages; }
    Counts counts() const;
    // Messages delivered intact over messages of the run; nothing before the first.
    std::optional<double> deliveryRatio() const;
    // Nearest-rank figures of the delivery times; nothing before the first.
    std::optional<TimeFigures> deliveryFigures() const;
    // The slowest delivery of each run of messages by sequence number, as
    // the series plots its times (SlowestPerRun).
    QList<QPointF> deliveryPlotPoints() const { return m_deliveryPlot.points(); }
    // True when every written message has arrived or is lost.
    bool settled() const;

    // Changes with every event, so a view redraws only when something happened.
    quint64 version() const { return m_version; }

private:
    LinkMessage *find(LinkSide from, int seriesIndex);
    // The message has been written and has arrived: its delivery time counts.
    void deliveryKnown(const LinkMessage &message);

    bool m_started = false;
    quint16 m_runId = 0;
    std::vector<LinkMessage> m_messages;
    // The delivery time of every message that arrived, kept as each comes.
    SpanFigures m_deliveries;
    SlowestPerRun m_deliveryPlot{SeriesStatistics::MaxPlotPoints};
    std::unordered_map<int, std::size_t> m_bySequence;
    // Per side, by series index.
    std::array<std::unordered_map<int, std::size_t>, 2> m_bySeriesIndex;
    // Per side that received, the message each received number was.
    std::array<std::map<quint64, std::size_t>, 2> m_byArrival;
    // Per direction (by the sending side), the highest sequence arrived.
    std::array<int, 2> m_highestArrived{};
    int m_foreign = 0;
    quint64 m_version = 0;
};
