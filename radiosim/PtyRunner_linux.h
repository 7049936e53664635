#pragma once

#include "radiosim/RunnerOptions.h"

#include <cstdio>

namespace radiosim {

// Plays the radio on a new pseudo-terminal until SIGINT, SIGTERM or the
// time limit of the options. Writes "Device: <slave path>" as the first
// line of out, then (unless quiet) one log line per event, each flushed at
// once. Each client that opens the device gets a fresh RadioSim; while
// nobody has it open the radio is off. With a pair, two pseudo-terminals:
// "Device: <slave path> (ISSI <n>)" for each (the path is the first word
// after "Device: "), then "Seed: <n>"; each radio's log lines begin with
// "<ISSI>: ", the network's with "net " (see SimNetwork). Returns the
// process exit status.
// Throws SystemError when the terminal cannot be set up or served.
int runRadioOnPseudoTerminal(const RunnerOptions &options, std::FILE *out);

} // namespace radiosim
