#pragma once

#include "tests/endtoend/EventLoopWait.h"
#include "tests/support/StallProbe.h"

#include <algorithm>
#include <gtest/gtest.h>

// Watches the window thread's lateness from its making (StallProbe) and
// judges it against a goal on top of what the machine's load alone costs:
// after the watched stretch, the window thread sits idle for as many
// events of the probe, and its worst lateness then is the machine's own.
// A window thread that blocks for the whole of a save or a listing misses
// by far; a busy machine moves both figures alike.
class StallWatch
{
public:
    StallWatch() : m_start(m_probe.handled()) {}

    // How many events the window thread has handled since the watch began.
    qint64 handled() const { return m_probe.handled() - m_start; }

    // Ends the watched stretch: its worst lateness at most `goalMs` beyond
    // the idle window's.
    testing::AssertionResult stayedWithin(double goalMs)
    {
        const double worstMs = m_probe.takeWorstMs();
        const qint64 events = std::max<qint64>(MinIdleEvents, handled());
        const qint64 idleFrom = m_probe.handled();
        if (!runEventLoopUntil([&] { return m_probe.handled() >= idleFrom + events; },
                               IdleTimeoutMs))
            return testing::AssertionFailure() << "the idle window thread missed its events";
        const double idleMs = m_probe.takeWorstMs();
        if (worstMs <= goalMs + idleMs)
            return testing::AssertionSuccess();
        return testing::AssertionFailure()
               << "the window thread stalled for " << worstMs << " ms, idle for " << idleMs
               << " ms; the goal is " << goalMs << " ms beyond idle";
    }

private:
    static constexpr qint64 MinIdleEvents = 100;
    static constexpr int IdleTimeoutMs = 120000;

    StallProbe m_probe;
    qint64 m_start;
};
