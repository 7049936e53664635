#include "radio/LineSettings.h"

#include "formstate/ProfileFile.h"
#include "serial/Comms.h"

#include <cstring>

namespace {

const char *const parityLetters = "NOEMS";
const QString baudKey = QStringLiteral("BaudRate");
const QString dataBitsKey = QStringLiteral("DataBits");
const QString parityKey = QStringLiteral("Parity");
const QString stopBitsKey = QStringLiteral("StopBits");
const QString flowKey = QStringLiteral("FlowControl");
const QByteArray noFlow = QByteArrayLiteral("none");
const QByteArray rtsCtsFlow = QByteArrayLiteral("rtscts");

int stopBitCount(TStopBits stopBits)
{
    return stopBits == sbTwoStopBits ? 2 : 1;
}

} // namespace

const char *const PortSettingsSection = "ComPort";

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

LineSettings loadLineSettings(const formstate::ProfileFile &file)
{
    const QString section = QString::fromLatin1(PortSettingsSection);
    LineSettings settings;
    const int baud = file.readInteger(section, baudKey, 0);
    for (TBaudRate rate : offeredBaudRates())
        if (baudRateValue(rate) == static_cast<uint32_t>(baud))
            settings.baudRate = rate;
    const int dataBits = file.readInteger(section, dataBitsKey, 8);
    if (dataBits >= 5 && dataBits <= 8)
        settings.dataBits = TDataBits(dataBits - 5);
    const QByteArray parity = file.readString(section, parityKey, "N");
    const char *letter = parity.size() == 1 ? std::strchr(parityLetters, parity.at(0)) : nullptr;
    if (letter && *letter)
        settings.parity = TParityBits(letter - parityLetters);
    for (TStopBits stopBits : offeredStopBits())
        if (file.readInteger(section, stopBitsKey, 1) == stopBitCount(stopBits))
            settings.stopBits = stopBits;
    settings.rtsCts = file.readString(section, flowKey, noFlow) == rtsCtsFlow;
    return settings;
}

void saveLineSettings(formstate::ProfileFile &file, const LineSettings &settings)
{
    const QString section = QString::fromLatin1(PortSettingsSection);
    file.writeInteger(section, baudKey, static_cast<int>(baudRateValue(settings.baudRate)));
    file.writeInteger(section, dataBitsKey, settings.dataBits + 5);
    file.writeString(section, parityKey, QByteArray(1, parityLetters[settings.parity]));
    file.writeInteger(section, stopBitsKey, stopBitCount(settings.stopBits));
    file.writeString(section, flowKey, settings.rtsCts ? rtsCtsFlow : noFlow);
}
