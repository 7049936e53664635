#pragma once

#include "serial/DeviceRegistry.h"
#include "serial/SerialDevice.h"

#include <QByteArray>
#include <QVector>
#include <array>
#include <functional>
#include <memory>
#include <mutex>

namespace serial {

// The shared state of one scriptable line: what the far end does (CTS,
// input, failures, hang-up) and what the port did (escape codes, output,
// calls per operation, the records applied). Thread-safe; every device
// opened on the line works on this state.
class TestLine
{
public:
    enum class Op {
        Open,
        SetupComm,
        SetCommState,
        SetCommTimeouts,
        ClearCommError,
        GetModemStatus,
        Escape,
        Purge,
        Read,
        Write
    };
    static constexpr int kOpCount = 10;

    TestLine(); // throws std::system_error when no eventfd can be created
    TestLine(const TestLine &) = delete;
    TestLine &operator=(const TestLine &) = delete;

    // The far end.
    void setCts(bool on);
    void pushInput(const QByteArray &bytes);
    void setWriteHook(std::function<void(const QByteArray &)> hook);
    void failNext(Op op, int err);   // the next call of `op` fails with `err`
    void setFailure(Op op, int err); // every call fails until set again with 0
    void hangUp();                   // the device vanished: every later call fails with EIO
    void setHoldWrites(bool hold);   // writes accept nothing until released
    // Whether written octets are kept for output() (they are at first). A
    // far end that takes them through its hook for hours turns it off, or
    // the record alone grows without bound.
    void setKeepOutput(bool keep);
    // Line events: any set of EV_ bits at once. Input raises EV_RXCHAR by
    // itself (with EV_RXFLAG when the event character is among the bytes,
    // EV_RX80FULL when the input passes 80% of the input queue size), an
    // accepted write EV_TXEMPTY. Only bits of the open device's event mask
    // are kept, until a wait takes them.
    void raiseEvents(uint32_t evMask);

    // What the port did.
    QVector<uint32_t> escapeCalls() const;
    QByteArray output() const;
    QByteArray takeOutput();
    int callCount(Op op) const;
    int totalCallCount() const;
    Dcb lastDcb() const;
    CommTimeouts lastTimeouts() const;
    uint32_t lastInQueue() const;
    uint32_t lastOutQueue() const;
    uint32_t lastPurge() const;
    bool dtr() const;
    bool rts() const;
    bool isOpen() const;
    int openCount() const;
    uint32_t commMask() const; // 0 while no mask is set on the open device
    int eventWaitCount() const;

private:
    friend class TestDevice;

    // Counts the call and returns the errno it must fail with, or 0.
    int enterLocked(Op op);
    void updateReadinessLocked();
    void raiseEventsLocked(uint32_t events);

    mutable std::mutex m_mutex;
    std::array<int, kOpCount> m_calls{};
    std::array<int, kOpCount> m_failNext{};
    std::array<int, kOpCount> m_failAlways{};
    bool m_cts = true;
    bool m_dtr = false;
    bool m_rts = false;
    bool m_hungUp = false;
    bool m_holdWrites = false;
    bool m_keepOutput = true;
    bool m_open = false;
    int m_openCount = 0;
    QByteArray m_input;
    QByteArray m_output;
    QVector<uint32_t> m_escapeCalls;
    std::function<void(const QByteArray &)> m_writeHook;
    Dcb m_dcb;
    CommTimeouts m_timeouts;
    uint32_t m_inQueue = 0;
    uint32_t m_outQueue = 0;
    uint32_t m_purge = 0;
    uint32_t m_commMask = 0;
    uint32_t m_raisedEvents = 0;
    int m_eventWaits = 0;
    Event m_readable;
    Event m_writable;
    Event m_lineEvent;
};

// A device on a TestLine. Register it under a name the port opens:
//     serial::registerDevice("TEST", serial::TestDevice::factory(line));
class TestDevice : public SerialDevice
{
public:
    explicit TestDevice(std::shared_ptr<TestLine> line);
    ~TestDevice() override;

    static DeviceFactory factory(std::shared_ptr<TestLine> line);

    int open(const QString &path) override;
    int setupComm(uint32_t inQueue, uint32_t outQueue) override;
    int setCommState(const Dcb &dcb) override;
    int setCommTimeouts(const CommTimeouts &timeouts) override;
    int clearCommError(uint32_t &errors, ComStat &stat) override;
    int getCommModemStatus(uint32_t &status) override;
    int escapeCommFunction(uint32_t function) override;
    int purgeComm(uint32_t flags) override;
    int read(char *buffer, uint32_t size, uint32_t &done) override;
    int write(const char *buffer, uint32_t size, uint32_t &done) override;
    PollTarget readiness(Direction direction) const override;
    int setCommMask(uint32_t mask) override;
    uint32_t waitCommEvent(const Event &stop, uint32_t &events) override;

private:
    std::shared_ptr<TestLine> m_line;
    bool m_opened = false;
};

} // namespace serial
