#pragma once

#include <QStringList>

class PeiDialect;

// The PEI dialect the user says the radio speaks, as the window's profile
// selector offers it.
enum class RadioProfile { Cmt, Etsi };

// The selector's entries, in the order of RadioProfile.
QStringList radioProfileNames();
// The profile at a selector index; the default profile for any index that
// names none (such as one read from a damaged settings file).
RadioProfile radioProfileAt(int index);
// The one dialect object of a profile; it lives as long as the program.
const PeiDialect &dialectOf(RadioProfile profile);
