#include "serial/ComTypes.h"
#include "serial/SerialDevice.h"

#include <gtest/gtest.h>

namespace {

TEST(ComTypes, EnumerationOrdinals)
{
    EXPECT_EQ(br110, 0);
    EXPECT_EQ(br14400, 7);
    EXPECT_EQ(br56000, 10);
    EXPECT_EQ(br115200, 12);
    EXPECT_EQ(br921600, 15);
    EXPECT_EQ(COM1, 0);
    EXPECT_EQ(COM8, 7);
    EXPECT_EQ(sbTwoStopBits, 2);
    EXPECT_EQ(dbEight, 3);
    EXPECT_EQ(prSpace, 4);
    EXPECT_EQ(dtrHandshake, 2);
    EXPECT_EQ(rtsToggle, 3);
    EXPECT_EQ(evRxFlag, 2);
    EXPECT_EQ(evRx80Full, 9);
    EXPECT_EQ(smNone, 2);
}

TEST(ComTypes, BaudRateValues)
{
    const uint32_t expected[] = {110,   300,   600,   1200,  2400,   4800,   9600,   14400,
                                 19200, 38400, 56000, 57600, 115200, 230400, 460800, 921600};
    for (int rate = br110; rate <= br921600; ++rate)
        EXPECT_EQ(baudRateValue(TBaudRate(rate)), expected[rate]) << "ordinal " << rate;
    EXPECT_EQ(baudRateValue(TBaudRate(16)), 0u);
    EXPECT_EQ(baudRateValue(TBaudRate(-1)), 0u);
}

TEST(ComTypes, EventSetIsSixteenBitsWithBitPerOrdinal)
{
    EXPECT_EQ(sizeof(TEvents), 2u);
    EXPECT_EQ(TEvents::all().bits(), 0x3FF);
    EXPECT_TRUE(TEvents().isEmpty());
    TEvents events{evRxChar, evCTS};
    EXPECT_EQ(events.bits(), 0x21);
    EXPECT_TRUE(events.contains(evCTS));
    EXPECT_FALSE(events.contains(evDSR));
    events.insert(evRx80Full);
    events.remove(evRxChar);
    EXPECT_EQ(events.bits(), 0x220);
    EXPECT_EQ(TEvents::fromBits(0xFFFF), TEvents::all());
    EXPECT_NE(events, TEvents::all());
}

TEST(ComTypes, EventMaskMapsEachMemberToItsEventBit)
{
    const uint32_t expected[] = {serial::EV_RXCHAR,  serial::EV_TXEMPTY, serial::EV_RXFLAG,
                                 serial::EV_RING,    serial::EV_BREAK,   serial::EV_CTS,
                                 serial::EV_DSR,     serial::EV_ERR,     serial::EV_RLSD,
                                 serial::EV_RX80FULL};
    const uint32_t values[] = {0x0001, 0x0004, 0x0002, 0x0100, 0x0040,
                               0x0008, 0x0010, 0x0080, 0x0020, 0x0400};
    for (int event = evRxChar; event <= evRx80Full; ++event) {
        EXPECT_EQ(expected[event], values[event]);
        EXPECT_EQ(eventMask(TEvents{TEvent(event)}), values[event]) << "event " << event;
    }
    EXPECT_EQ(eventMask(TEvents::all()), 0x05FFu);
    EXPECT_EQ(eventMask(TEvents()), 0u);
    EXPECT_EQ(eventMask(TEvents{evRxChar, evRxFlag, evTxEmpty}), 0x0007u);
}

} // namespace
