#pragma once

#include <cstdint>
#include <initializer_list>

// The serial port's enumerations; each ordinal is what the port record
// takes (see baudRateValue and the line state builder). The rate has a fixed
// underlying type so that any stored ordinal, even one out of range, is a
// defined value that baudRateValue can refuse.
enum TBaudRate : int {
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br230400,
    br460800,
    br921600
};
enum TPortType { COM1, COM2, COM3, COM4, COM5, COM6, COM7, COM8 };
enum TStopBits { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TDataBits { dbFive, dbSix, dbSeven, dbEight };
enum TParityBits { prNone, prOdd, prEven, prMark, prSpace };
enum TDtrFlowControl { dtrDisable, dtrEnable, dtrHandshake };
enum TRtsFlowControl { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum TEvent {
    evRxChar,
    evTxEmpty,
    evRxFlag,
    evRing,
    evBreak,
    evCTS,
    evDSR,
    evError,
    evRLSD,
    evRx80Full
};
enum TSyncMethod { smSynchronize, smWindow, smNone };

// A set of TEvent in 16 bits, bit n for ordinal n.
class TEvents
{
public:
    constexpr TEvents() = default;
    constexpr TEvents(std::initializer_list<TEvent> events)
    {
        for (TEvent event : events)
            m_bits |= bit(event);
    }
    static constexpr TEvents fromBits(uint16_t bits)
    {
        TEvents events;
        events.m_bits = bits & kAll;
        return events;
    }
    static constexpr TEvents all() { return fromBits(kAll); }

    constexpr uint16_t bits() const { return m_bits; }
    constexpr bool isEmpty() const { return m_bits == 0; }
    constexpr bool contains(TEvent event) const { return (m_bits & bit(event)) != 0; }
    constexpr void insert(TEvent event) { m_bits |= bit(event); }
    constexpr void remove(TEvent event) { m_bits &= uint16_t(~bit(event)); }

    friend constexpr bool operator==(TEvents a, TEvents b) { return a.m_bits == b.m_bits; }
    friend constexpr bool operator!=(TEvents a, TEvents b) { return a.m_bits != b.m_bits; }

private:
    static constexpr uint16_t kAll = 0x03FF;
    static constexpr uint16_t bit(TEvent event) { return uint16_t(1u << event); }

    uint16_t m_bits = 0;
};

// The line's rate in bits per second.
uint32_t baudRateValue(TBaudRate rate);
// The EV_ event mask that waits for `events`.
uint32_t eventMask(TEvents events);
