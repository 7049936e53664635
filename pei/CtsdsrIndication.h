#pragma once

#include "pei/Indication.h"

#include <QByteArray>

// Reading of "+CTSDSR:" indications, the Short Data indications of radios
// that follow the PEI standard:
//   "+CTSDSR: <AI service>,[<calling identity>,<type>,]<called identity>,
//    <type>,[<end-to-end encryption>,]<length in bits>" then a data line of hex.
// The AI service is the first field and the length the last; with six or
// more fields the second is the calling identity. Every field is checked
// before anything read from it may reach an outgoing command.
namespace CtsdsrIndication {

// AI services: SDS type 4 with the transport layer, and status messages.
constexpr int SdsTlService = 12;
constexpr int StatusService = 13;

// 1 to 15 decimal digits (a full ITSI: country, network, ISSI); up to 8
// digits it is an ISSI and at most 16777215.
bool isValidCallingIdentity(const QByteArray &text);

// Reads one response: Kind::None unless it is a "+CTSDSR:" indication (after
// any leading "\r\n" pairs). The octets read are what the data line holds,
// in whole pairs, but no more than the stated length rounded up to octets.
Indication::Reading read(const QByteArray &response);

} // namespace CtsdsrIndication
