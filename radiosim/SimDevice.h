#pragma once

#include "radiosim/RadioSim.h"
#include "radiosim/SimNetwork.h"

#include <QString>
#include <functional>

// The simulated radio as a serial device inside the program: the serial
// layer opens it by name like a port, so everything from TComPort down runs
// as with a real radio.
namespace radiosim {

// Tells the dialect the radio speaks, asked at every open.
using SimDialectSource = std::function<SimDialect()>;

// Registers the device name with the serial layer. Each open meets a
// freshly started radio with these options; the name is exclusive like a
// real port (a second open fails with EBUSY). The port must be opened on a
// thread with a Qt event loop (the window thread): a 10 ms timer there
// drives the radio's clock, its output and its CTS line. With a dialect
// source, each open asks it which dialect the fresh radio speaks, so the
// radio can follow the profile the terminal is set to.
void registerSimDevice(const QString &name = QStringLiteral("SIM"),
                       const RadioSimOptions &options = {}, SimDialectSource dialect = {});

// Two SIM devices whose radios share one simulated network: Short Data
// from one to the other's ISSI crosses it (and the far terminal answers
// report requests itself), on one clock for both radios.
struct SimPair
{
    QString firstName = QStringLiteral("SIM");
    RadioSimOptions first;
    QString secondName = QStringLiteral("SIM2");
    RadioSimOptions second = secondRadio();
    NetworkOptions network;
    // Receives the network's log lines (see SimNetwork), on the thread of
    // the radio that sent or the one that delivered.
    SimNetwork::Logger networkLog;

    static RadioSimOptions secondRadio()
    {
        RadioSimOptions options;
        options.issi = RadioSimOptions().issi + 1;
        return options;
    }
};

// Registers both devices as registerSimDevice does, each open meeting a
// fresh radio with its options. Throws std::invalid_argument when the two
// ISSIs are the same.
void registerSimDevicePair(const SimPair &pair, SimDialectSource dialect = {});

// Runs action on the radio behind the open device of that name, under the
// lock that serialises it with the port's writes, then passes its output
// and CTS line on at once. Returns false, without calling action, when the
// device is not open. For counters and faults:
//     withActiveSim([](RadioSim &sim) { sim.holdCtsDown(3000); });
bool withActiveSim(const std::function<void(RadioSim &sim)> &action,
                   const QString &name = QStringLiteral("SIM"));

} // namespace radiosim
