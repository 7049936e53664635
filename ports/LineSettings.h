#pragma once

#include "serial/ComTypes.h"

#include <QList>
#include <QString>
#include <optional>

class TComPort;

// The line the user chose for the radio's PEI: rate, character format and
// flow control. Applied to the port at Connect.
struct LineSettings
{
    TBaudRate baudRate = br9600;
    TDataBits dataBits = dbEight;
    TParityBits parity = prNone;
    TStopBits stopBits = sbOneStopBit;
    bool rtsCts = false;

    friend bool operator==(const LineSettings &a, const LineSettings &b)
    {
        return a.baudRate == b.baudRate && a.dataBits == b.dataBits && a.parity == b.parity &&
               a.stopBits == b.stopBits && a.rtsCts == b.rtsCts;
    }
    friend bool operator!=(const LineSettings &a, const LineSettings &b) { return !(a == b); }
};

// The rates offered, 1200 to 921600 bits per second.
QList<TBaudRate> offeredBaudRates();
// The stop bits offered: one and two.
QList<TStopBits> offeredStopBits();
// One letter per parity: N, O, E, M, S.
QChar parityLetter(TParityBits parity);

// "9600 8N1", followed by ", RTS/CTS" with hardware flow control.
QString lineSummary(const LineSettings &settings);

void applyLineSettings(TComPort &port, const LineSettings &settings);

// The parity of a letter of parityLetter; nullopt for any other character.
std::optional<TParityBits> parityForLetter(char letter);
// 1 or 2.
int stopBitCount(TStopBits stopBits);
