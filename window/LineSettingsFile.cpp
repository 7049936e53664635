#include "window/LineSettingsFile.h"

#include "formstate/ProfileFile.h"

namespace {

const QString baudKey = QStringLiteral("BaudRate");
const QString dataBitsKey = QStringLiteral("DataBits");
const QString parityKey = QStringLiteral("Parity");
const QString stopBitsKey = QStringLiteral("StopBits");
const QString flowKey = QStringLiteral("FlowControl");
const QByteArray noFlow = QByteArrayLiteral("none");
const QByteArray rtsCtsFlow = QByteArrayLiteral("rtscts");

} // namespace

const char *const PortSettingsSection = "ComPort";

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
    if (parity.size() == 1) {
        if (const std::optional<TParityBits> bits = parityForLetter(parity.at(0)))
            settings.parity = *bits;
    }
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
    file.writeString(section, parityKey, QByteArray(1, parityLetter(settings.parity).toLatin1()));
    file.writeInteger(section, stopBitsKey, stopBitCount(settings.stopBits));
    file.writeString(section, flowKey, settings.rtsCts ? rtsCtsFlow : noFlow);
}
