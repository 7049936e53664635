#pragma once

#include "pei/Indication.h"

#include <QByteArray>

// Reading of "+CTSDSR:" indications, the Short Data indications of radios
// that follow the PEI standard:
//   "+CTSDSR: <AI service>,[<calling identity>,<calling type>,]
//    <called identity>,<called type>,<length in bits>[,<end-to-end
//    encryption>]" then a data line of hex;
// three fields are "<AI service>,<called identity>,<length>". With six or
// more fields the second is the calling identity. Radios that send the
// encryption flag before the length are read too: when the field where the
// length belongs is 0 or 1 and only the last field matches the data line,
// the last is the length, and the reading's note says so. Every field is
// checked before anything read from it may reach an outgoing command.
namespace CtsdsrIndication {

// AI services: SDS type 4 with the transport layer, and status messages.
constexpr int SdsTlService = 12;
constexpr int StatusService = 13;

// Reads one response: Kind::None unless it is a "+CTSDSR:" indication (after
// any leading "\r\n" pairs). The octets read are what the data line holds,
// in whole pairs, but no more than the stated length rounded up to octets.
Indication::Reading read(const QByteArray &response);

} // namespace CtsdsrIndication
