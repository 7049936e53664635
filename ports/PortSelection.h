#pragma once

#include "serial/Comms.h"

#include <QString>

// What the text of the port selector selects on the port component.
struct PortChoice
{
    enum class Kind { Invalid, ComPort, Device };
    Kind kind = Kind::Invalid;
    TPortType port = COM1;
    QString devicePath;
    // Invalid: why the text names no port, as an errno value (ENOENT: no
    // such file, ENOTTY: not a character device).
    int error = 0;
};

// "COM1".."COM4" (exact) select that port; a registered device name (such
// as the simulated radio) or the absolute path of an existing character
// device selects that device; any other text selects nothing, so that
// Connect fails instead of reopening an earlier device.
PortChoice choosePort(const QString &text);

// Applies a valid choice to the port component; an invalid one changes nothing.
void applyPortChoice(TComPort &port, const PortChoice &choice);
