#pragma once

#include "radiosim/SdsWire.h"

#include <QByteArray>
#include <optional>

namespace radiosim {

// The radio's answers to the questions a terminal asks about it, in either
// dialect: signal quality (AT+CSQ?), battery (AT+CBC?), operating mode
// (AT+CTOM?), the selected talk group (AT+CTGS?) and its own identity
// (AT+CNUMF?), each followed by OK. Nothing for any other command; the
// command is given in upper case.
std::optional<QByteArray> radioInfoAnswer(const QByteArray &command, const Identity &ownIdentity);

} // namespace radiosim
