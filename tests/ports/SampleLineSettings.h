#pragma once

#include "ports/LineSettings.h"

// A line that differs from the defaults in every setting.
inline LineSettings fastEvenLine()
{
    LineSettings settings;
    settings.baudRate = br115200;
    settings.dataBits = dbSeven;
    settings.parity = prEven;
    settings.stopBits = sbTwoStopBits;
    settings.rtsCts = true;
    return settings;
}
