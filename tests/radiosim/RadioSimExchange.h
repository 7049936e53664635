#pragma once

#include "radiosim/RadioSim.h"

#include <QByteArray>

// One step of a conversation with the simulated radio: input at a time,
// and what the radio says by then.
inline QByteArray exchange(radiosim::RadioSim &sim, const QByteArray &input, qint64 nowMs = 0)
{
    sim.receive(input, nowMs);
    return sim.takeOutput();
}

inline QByteArray advanceTo(radiosim::RadioSim &sim, qint64 nowMs)
{
    sim.advance(nowMs);
    return sim.takeOutput();
}
