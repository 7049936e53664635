#pragma once

namespace serial {

// The modem lines and the driver's interrupt counters at one moment.
struct LineSample
{
    bool hasModemLines = false;
    bool cts = false;
    bool dsr = false;
    bool rlsd = false;
    bool ring = false;

    bool hasCounters = false;
    int ctsChanges = 0;
    int dsrChanges = 0;
    int rlsdChanges = 0;
    int rings = 0;
    int breaks = 0;
    int frameErrors = 0;
    int overruns = 0;
    int parityErrors = 0;
    int bufferOverruns = 0;

    bool hasAnything() const { return hasModemLines || hasCounters; }
};

// The modem input lines of an open device, for the event thread.
class ModemLines
{
public:
    virtual ~ModemLines() = default;

    // The lines and counters now; what the device cannot tell is left out
    // (and not asked again). Called by the event thread only.
    virtual LineSample sample() = 0;
    // Blocks until a modem input line changes: 0 then, else an errno value
    // (EINTR when a signal interrupted it; another value when the device
    // cannot do this wait or is gone). Called on a thread of its own, at
    // the same time as sample().
    virtual int waitForChange() = 0;
};

} // namespace serial
