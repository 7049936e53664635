#pragma once

#include "tests/endtoend/RadioUnderTest.h"

#include <QElapsedTimer>
#include <mutex>

// The simulated radio inside the test program, registered as the serial
// device "SIM": the window reaches it through TComPort and the platform
// layer like any port, and its CTS line follows the radio.
class SimRadio : public RadioUnderTest
{
public:
    explicit SimRadio(const RadioSetup &setup);
    ~SimRadio() override;
    SimRadio(const SimRadio &) = delete;
    SimRadio &operator=(const SimRadio &) = delete;

    QString portName() const override;
    bool portOpened() override;
    QList<PeerVerdict> peerVerdicts() override;
    QStringList logLines() override;
    std::optional<radiosim::RadioSim::Counters> closeAndCount(EndToEndWindow &window) override;

    // What the radio has counted so far; nullopt while the port is closed.
    std::optional<radiosim::RadioSim::Counters> counters() const;
    // Acts on the radio at once; false while the port is closed.
    bool act(const std::function<void(radiosim::RadioSim &)> &action) const;

private:
    RadioSetup m_setup;
    QElapsedTimer m_clock;
    // The radio logs on whichever thread writes to the port.
    mutable std::mutex m_mutex;
    QList<PeerVerdict> m_verdicts;
    QStringList m_log;
};
