#include "radiosim/RadioInfo.h"

namespace radiosim {

namespace {

// A fair signal (25 of 31, bit error rate unknown), a battery at 80 %,
// trunked mode, a selected group.
const QByteArray signalQuality = "+CSQ: 25,99";
const QByteArray battery = "+CBC: 0,80";
const QByteArray operatingMode = "+CTOM: 0";
const QByteArray talkGroup = "+CTGS: 1,9001";

} // namespace

std::optional<QByteArray> radioInfoAnswer(const QByteArray &command, const Identity &ownIdentity)
{
    QByteArray information;
    if (command == "AT+CSQ?" || command == "AT+CSQ")
        information = signalQuality;
    else if (command == "AT+CBC?" || command == "AT+CBC")
        information = battery;
    else if (command == "AT+CTOM?")
        information = operatingMode;
    else if (command == "AT+CTGS?")
        information = talkGroup;
    else if (command == "AT+CNUMF?")
        information =
            "+CNUMF: " + QByteArray::number(identityType(ownIdentity)) + ',' + ownIdentity;
    else
        return std::nullopt;
    return "\r\n" + information + "\r\n\r\nOK\r\n";
}

} // namespace radiosim
