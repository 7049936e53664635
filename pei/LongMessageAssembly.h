#pragma once

#include "pei/ReceivedText.h"

#include <QByteArray>
#include <QList>
#include <optional>
#include <vector>

// Puts the parts of long messages back together: parts from one caller with
// one concatenation reference form a set, shown once when its last part
// arrives, whatever the order. Peers are untrusted, so what it holds is
// bounded: a number of open sets, the octets of one set, and the time a set
// may wait for its next part. Times come from the caller's monotonic clock.
class LongMessageAssembly
{
public:
    struct Limits
    {
        // Open sets at most; a new set beyond them drops the oldest.
        int maxOpenSets = 32;
        // Text octets of one set at most (255 parts of a full message fit);
        // a part beyond them drops its set.
        qsizetype maxSetOctets = 65536;
        // A set that has had no new part for this long is dropped.
        qint64 maxWaitMs = 120000;
    };

    // A set dropped before it was whole.
    struct Dropped
    {
        QByteArray caller;
        int partsReceived = 0;
        int partCount = 0;
    };

    LongMessageAssembly() = default;
    explicit LongMessageAssembly(const Limits &limits);

    // Adds one part (a text whose `part` is set) from a caller, at nowMs.
    // Sets that waited too long are dropped first. A part already held is
    // ignored; a part whose count differs from its open set's drops that set
    // and starts a new one. Returns the whole message when this part
    // completes its set: the parts' text in order, the coding scheme and
    // time stamp of part 1, partCount the number of parts, no `part`.
    std::optional<ReceivedText::Content> add(const QByteArray &caller,
                                             const ReceivedText::Content &part, qint64 nowMs);
    // Drops the sets that have had no new part for maxWaitMs by nowMs.
    void dropExpired(qint64 nowMs);
    // The sets dropped since the last call, in the order they were dropped.
    QList<Dropped> takeDropped();
    int openSets() const { return int(m_sets.size()); }

    // Message-window line for a dropped set, without the timestamp:
    // ": Long message from 5678 incomplete: 2 of 3 parts received."
    static QByteArray droppedLine(const Dropped &dropped);

private:
    struct Set
    {
        QByteArray caller;
        quint16 reference = 0;
        bool wideReference = false;
        qint64 lastPartMs = 0;
        qsizetype octets = 0;
        int received = 0;
        // One slot per part, by part number - 1.
        std::vector<std::optional<ReceivedText::Content>> parts;
    };

    // Records the set as dropped and removes it; the set after it.
    std::vector<Set>::iterator drop(std::vector<Set>::iterator set);

    Limits m_limits;
    std::vector<Set> m_sets;
    QList<Dropped> m_dropped;
};
