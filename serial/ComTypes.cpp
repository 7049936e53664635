#include "serial/ComTypes.h"

#include "serial/SerialDevice.h"

#include <iterator>

uint32_t baudRateValue(TBaudRate rate)
{
    static constexpr uint32_t kRates[] = {110,    300,    600,    1200,  2400,  4800,
                                          9600,   14400,  19200,  38400, 56000, 57600,
                                          115200, 230400, 460800, 921600};
    // 0 for a value outside the enumeration, which the port refuses.
    const auto ordinal = static_cast<unsigned>(rate);
    return ordinal < std::size(kRates) ? kRates[ordinal] : 0;
}

uint32_t eventMask(TEvents events)
{
    static constexpr uint32_t kMaskBits[] = {
        serial::EV_RXCHAR, serial::EV_TXEMPTY, serial::EV_RXFLAG, serial::EV_RING,
        serial::EV_BREAK,  serial::EV_CTS,     serial::EV_DSR,    serial::EV_ERR,
        serial::EV_RLSD,   serial::EV_RX80FULL};
    uint32_t mask = 0;
    for (int event = evRxChar; event <= evRx80Full; ++event)
        if (events.contains(TEvent(event)))
            mask |= kMaskBits[event];
    return mask;
}
