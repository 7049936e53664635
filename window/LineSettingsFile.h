#pragma once

#include "ports/LineSettings.h"

namespace formstate {
class ProfileFile;
}

// Kept in the settings file's section "ComPort" as BaudRate (bits per
// second), DataBits (5..8), Parity (a letter of parityLetter), StopBits (1 or
// 2) and FlowControl ("none" or "rtscts"). A value that is missing or not
// one of those reads as its default.
LineSettings loadLineSettings(const formstate::ProfileFile &file);
void saveLineSettings(formstate::ProfileFile &file, const LineSettings &settings);

// The section of the port's own settings.
extern const char *const PortSettingsSection;
