#include "ports/LineSettings.h"

#include "serial/Comms.h"

#include <cstring>

namespace {

const char *const parityLetters = "NOEMS";

} // namespace

QList<TBaudRate> offeredBaudRates()
{
    QList<TBaudRate> rates;
    for (int rate = br1200; rate <= br921600; ++rate)
        rates.append(TBaudRate(rate));
    return rates;
}

QList<TStopBits> offeredStopBits()
{
    return {sbOneStopBit, sbTwoStopBits};
}

QChar parityLetter(TParityBits parity)
{
    return QLatin1Char(parityLetters[parity]);
}

std::optional<TParityBits> parityForLetter(char letter)
{
    const char *found = letter != '\0' ? std::strchr(parityLetters, letter) : nullptr;
    if (!found)
        return std::nullopt;
    return TParityBits(found - parityLetters);
}

int stopBitCount(TStopBits stopBits)
{
    return stopBits == sbTwoStopBits ? 2 : 1;
}

QString lineSummary(const LineSettings &settings)
{
    QString summary = QStringLiteral("%1 %2%3%4")
                          .arg(baudRateValue(settings.baudRate))
                          .arg(settings.dataBits + 5)
                          .arg(parityLetter(settings.parity))
                          .arg(stopBitCount(settings.stopBits));
    if (settings.rtsCts)
        summary += QStringLiteral(", RTS/CTS");
    return summary;
}

void applyLineSettings(TComPort &port, const LineSettings &settings)
{
    port.setBaudRate(settings.baudRate);
    port.setDataBits(settings.dataBits);
    port.Parity()->setBits(settings.parity);
    port.setStopBits(settings.stopBits);
    port.FlowControl()->setOutCtsFlow(settings.rtsCts);
    port.FlowControl()->setControlRts(settings.rtsCts ? rtsHandshake : rtsDisable);
}
