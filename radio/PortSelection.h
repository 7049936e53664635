#pragma once

#include "serial/Comms.h"

#include <QString>

// What the text of the port selector selects on the port component.
struct PortChoice
{
    enum class Kind { Unchanged, ComPort, Device };
    Kind kind = Kind::Unchanged;
    TPortType port = COM1;
    QString devicePath;
};

// "COM1".."COM4" (exact) select that port; a registered device name (such
// as the simulated radio) or the absolute path of an existing character
// device selects that device; any other text leaves the selection alone.
PortChoice choosePort(const QString &text);

// Applies a choice to the port component.
void applyPortChoice(TComPort &port, const PortChoice &choice);
