#include "serial/EventWaiter.h"

#include "serial/SerialDevice.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace serial {
namespace {

using namespace std::chrono_literals;

constexpr uint32_t AllEvents = 0x05FF;

// A pseudo-terminal pair: the device side is what the port opens, the
// master side plays the line's far end.
class PseudoTerminal
{
public:
    PseudoTerminal()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            return;
        m_device = ::open(::ptsname(m_master), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios raw{};
        if (m_device >= 0 && ::tcgetattr(m_device, &raw) == 0) {
            ::cfmakeraw(&raw);
            ::tcsetattr(m_device, TCSANOW, &raw);
        }
    }
    ~PseudoTerminal()
    {
        closeMaster();
        if (m_device >= 0)
            ::close(m_device);
    }
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    bool isOpen() const { return m_master >= 0 && m_device >= 0; }
    int device() const { return m_device; }

    void sendFromFarEnd(const std::string &bytes)
    {
        ASSERT_EQ(::write(m_master, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }
    void closeMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }
    int waitingOnDevice() const
    {
        int count = -1;
        ::ioctl(m_device, FIONREAD, &count);
        return count;
    }
    std::string readAllOnDevice()
    {
        std::string bytes;
        char buffer[256];
        ssize_t got = 0;
        while ((got = ::read(m_device, buffer, sizeof buffer)) > 0)
            bytes.append(buffer, size_t(got));
        return bytes;
    }

private:
    int m_master = -1;
    int m_device = -1;
};

// One wait in its own thread, as the event thread does it. Its result is
// the events it reported, or nothing when it ended by the stop event.
class BackgroundWait
{
public:
    BackgroundWait(EventWaiter &waiter, Event &stop)
        : m_stop(stop), m_result(std::async(std::launch::async, [&waiter, &stop] {
              uint32_t events = 0;
              const uint32_t result = waiter.wait(stop, events);
              if (result == WAIT_OBJECT_0 + 1)
                  return std::optional<uint32_t>(events);
              return result == WAIT_OBJECT_0 ? std::nullopt : std::optional<uint32_t>(Failed);
          }))
    {}
    ~BackgroundWait()
    {
        if (m_result.valid()) {
            m_stop.set();
            m_result.wait();
        }
        m_stop.reset();
    }

    bool isWaitingAfter(std::chrono::milliseconds time)
    {
        return m_result.wait_for(time) == std::future_status::timeout;
    }
    // A wait that did not end in time reports TimedOut (the destructor then
    // stops it), one that failed reports Failed.
    static constexpr uint32_t TimedOut = 0xDEAD0000;
    static constexpr uint32_t Failed = 0xFA110000;
    std::optional<uint32_t> result()
    {
        if (m_result.wait_for(10s) != std::future_status::ready)
            return TimedOut;
        return m_result.get();
    }

private:
    Event &m_stop;
    std::future<std::optional<uint32_t>> m_result;
};

class EventWaiterTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_pty.isOpen()); }

    // Waits in another thread for a second; returns that thread's CPU time
    // and the events it saw.
    std::pair<std::chrono::microseconds, uint32_t> waitForOneSecond()
    {
        auto measured = std::async(std::launch::async, [this] {
            const auto before = threadCpuTime();
            uint32_t events = 0;
            uint32_t woke = 0;
            while (m_waiter.wait(m_stop, woke) == WAIT_OBJECT_0 + 1)
                events |= woke;
            return std::make_pair(threadCpuTime() - before, events);
        });
        std::this_thread::sleep_for(1s);
        m_stop.set();
        return measured.get();
    }
    static std::chrono::microseconds threadCpuTime()
    {
        rusage usage{};
        ::getrusage(RUSAGE_THREAD, &usage);
        return std::chrono::seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               std::chrono::microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
    }

    PseudoTerminal m_pty;
    EventWaiter m_waiter{m_pty.device()};
    Event m_stop;
};

TEST_F(EventWaiterTest, ReceivedBytesWakeTheWait)
{
    m_waiter.setMask(AllEvents);
    BackgroundWait wait(m_waiter, m_stop);
    EXPECT_TRUE(wait.isWaitingAfter(200ms));
    m_pty.sendFromFarEnd("AT\r");
    EXPECT_EQ(wait.result(), EV_RXCHAR);
}

TEST_F(EventWaiterTest, UnreadBytesWakeOnlyOnceUntilMoreArrive)
{
    m_waiter.setMask(EV_RXCHAR);
    m_pty.sendFromFarEnd("OK");
    EXPECT_EQ(BackgroundWait(m_waiter, m_stop).result(), EV_RXCHAR);

    BackgroundWait second(m_waiter, m_stop);
    EXPECT_TRUE(second.isWaitingAfter(300ms));
    m_pty.sendFromFarEnd("\r\n");
    EXPECT_EQ(second.result(), EV_RXCHAR);
}

TEST_F(EventWaiterTest, BytesAfterEverythingWasReadWakeAgain)
{
    m_waiter.setMask(EV_RXCHAR);
    m_pty.sendFromFarEnd("first");
    EXPECT_EQ(BackgroundWait(m_waiter, m_stop).result(), EV_RXCHAR);
    EXPECT_EQ(m_pty.readAllOnDevice(), "first");

    BackgroundWait second(m_waiter, m_stop);
    EXPECT_TRUE(second.isWaitingAfter(300ms));
    m_pty.sendFromFarEnd("second");
    EXPECT_EQ(second.result(), EV_RXCHAR);
}

TEST_F(EventWaiterTest, QueueRefilledToTheSameCountAfterAReadWakesAgain)
{
    m_waiter.setMask(EV_RXCHAR);
    m_pty.sendFromFarEnd("abc");
    EXPECT_EQ(BackgroundWait(m_waiter, m_stop).result(), EV_RXCHAR);
    EXPECT_EQ(m_pty.readAllOnDevice(), "abc");
    m_waiter.noteRead();
    m_pty.sendFromFarEnd("xyz");
    // The pty hands the bytes on in the background; the wait starts once
    // all three are there, the count it saw before the read.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (m_pty.waitingOnDevice() < 3 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    ASSERT_EQ(m_pty.waitingOnDevice(), 3);
    EXPECT_EQ(BackgroundWait(m_waiter, m_stop).result(), EV_RXCHAR)
        << "the same count as before the read, but new bytes";
}

TEST_F(EventWaiterTest, InputQueuePassingEightyPercentIsReported)
{
    m_waiter.setMask(EV_RXCHAR | EV_RX80FULL);
    m_waiter.setInputQueueSize(100);
    m_pty.sendFromFarEnd(std::string(80, 'a'));
    uint32_t seen = BackgroundWait(m_waiter, m_stop).result().value_or(0);
    while (m_pty.waitingOnDevice() < 80)
        seen |= BackgroundWait(m_waiter, m_stop).result().value_or(0);
    EXPECT_EQ(seen, EV_RXCHAR) << "80 of 100 is not past 80%";

    m_pty.sendFromFarEnd("b");
    EXPECT_EQ(BackgroundWait(m_waiter, m_stop).result(), EV_RXCHAR | EV_RX80FULL);
}

TEST_F(EventWaiterTest, WriteReportsTransmitEmptyOnPseudoTerminal)
{
    m_waiter.setMask(AllEvents);
    BackgroundWait wait(m_waiter, m_stop);
    EXPECT_TRUE(wait.isWaitingAfter(200ms));
    ASSERT_EQ(::write(m_pty.device(), "AT\r", 3), 3);
    m_waiter.noteWrite();
    EXPECT_EQ(wait.result(), EV_TXEMPTY);
}

TEST_F(EventWaiterTest, EventsOutsideTheMaskDoNotWake)
{
    m_waiter.setMask(EV_CTS | EV_DSR);
    BackgroundWait wait(m_waiter, m_stop);
    m_pty.sendFromFarEnd("ignored");
    ASSERT_EQ(::write(m_pty.device(), "x", 1), 1);
    m_waiter.noteWrite();
    EXPECT_TRUE(wait.isWaitingAfter(300ms));
}

TEST_F(EventWaiterTest, StopEndsTheWaitAndWinsOverWaitingEvents)
{
    m_waiter.setMask(AllEvents);
    {
        BackgroundWait wait(m_waiter, m_stop);
        EXPECT_TRUE(wait.isWaitingAfter(200ms));
        m_stop.set();
        EXPECT_EQ(wait.result(), std::nullopt);
    }
    m_pty.sendFromFarEnd("late");
    m_stop.set();
    uint32_t events = 0;
    EXPECT_EQ(m_waiter.wait(m_stop, events), WAIT_OBJECT_0);
}

// Bytes that nobody reads keep the device readable, and a hung-up device
// stays ready for good: neither may turn the wait into a spin.
TEST_F(EventWaiterTest, WaitingCostsNoCpuWhileBytesWaitUnread)
{
    m_waiter.setMask(AllEvents);
    m_pty.sendFromFarEnd("unread");
    EXPECT_EQ(BackgroundWait(m_waiter, m_stop).result(), EV_RXCHAR);

    const auto [cpu, events] = waitForOneSecond();
    EXPECT_LT(cpu, 100ms) << cpu.count() << " us of CPU";
    EXPECT_EQ(events, 0u);
}

TEST_F(EventWaiterTest, WaitingCostsNoCpuOnHungUpDevice)
{
    m_waiter.setMask(AllEvents);
    m_pty.closeMaster();

    const auto [cpu, events] = waitForOneSecond();
    EXPECT_LT(cpu, 100ms) << cpu.count() << " us of CPU";
    EXPECT_EQ(events, 0u);
}

// Modem lines played by the test: CTS only, with or without a wait for
// changes. The wait blocks in poll(2) until the test changes the line.
class FakeModemLines : public ModemLines
{
public:
    enum class Kind { NoLines, LinesWithoutWait, LinesWithWait };
    explicit FakeModemLines(Kind kind) : m_kind(kind) {}

    LineSample sample() override
    {
        LineSample now;
        now.hasModemLines = m_kind != Kind::NoLines;
        now.cts = m_cts;
        return now;
    }
    int waitForChange() override
    {
        ++m_waits;
        m_waitEntered.set();
        if (m_kind != Kind::LinesWithWait)
            return ENOTTY;
        pollfd change{m_changed.fd(), POLLIN, 0};
        if (::poll(&change, 1, -1) < 0)
            return errno;
        m_changed.reset();
        return 0;
    }

    void setCts(bool on)
    {
        m_cts = on;
        m_changed.set();
    }
    int waits() const { return m_waits; }
    bool waitEnteredWithin(uint32_t ms) const { return m_waitEntered.wait(ms) == WAIT_OBJECT_0; }

private:
    const Kind m_kind;
    std::atomic<bool> m_cts{false};
    std::atomic<int> m_waits{0};
    Event m_changed;
    Event m_waitEntered;
};

class ModemLineWaitTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_pty.isOpen()); }

    // A waiter on the pty's input with the given lines.
    EventWaiter &waiterWith(FakeModemLines::Kind kind)
    {
        auto lines = std::make_unique<FakeModemLines>(kind);
        m_lines = lines.get();
        m_waiter = std::make_unique<EventWaiter>(m_pty.device(), std::move(lines));
        return *m_waiter;
    }

    PseudoTerminal m_pty;
    Event m_stop;
    FakeModemLines *m_lines = nullptr;
    std::unique_ptr<EventWaiter> m_waiter;
};

TEST_F(ModemLineWaitTest, ChangeReportedByTheDriversWaitWakesTheWait)
{
    EventWaiter &waiter = waiterWith(FakeModemLines::Kind::LinesWithWait);
    waiter.setMask(AllEvents);
    BackgroundWait wait(waiter, m_stop);
    ASSERT_TRUE(m_lines->waitEnteredWithin(10000)) << "a helper waits for line changes";
    m_lines->setCts(true);
    EXPECT_EQ(wait.result(), EV_CTS);
}

TEST_F(ModemLineWaitTest, WithoutTheDriversWaitChangesAreSampled)
{
    EventWaiter &waiter = waiterWith(FakeModemLines::Kind::LinesWithoutWait);
    waiter.setMask(AllEvents);
    BackgroundWait wait(waiter, m_stop);
    ASSERT_TRUE(m_lines->waitEnteredWithin(10000));
    m_lines->setCts(true);
    EXPECT_EQ(wait.result(), EV_CTS);
    EXPECT_EQ(m_lines->waits(), 1) << "a wait the driver refused is not tried again";
}

TEST_F(ModemLineWaitTest, DeviceWithoutModemLinesHasNoHelper)
{
    EventWaiter &waiter = waiterWith(FakeModemLines::Kind::NoLines);
    waiter.setMask(AllEvents);
    m_pty.sendFromFarEnd("AT");
    EXPECT_EQ(BackgroundWait(waiter, m_stop).result(), EV_RXCHAR);
    EXPECT_EQ(m_lines->waits(), 0);
}

// Closing the port destroys the waiter while its helper is blocked.
TEST_F(ModemLineWaitTest, DestroyingTheWaiterStopsTheBlockedHelper)
{
    EventWaiter &waiter = waiterWith(FakeModemLines::Kind::LinesWithWait);
    waiter.setMask(AllEvents);
    {
        BackgroundWait wait(waiter, m_stop);
        ASSERT_TRUE(m_lines->waitEnteredWithin(10000));
    }
    auto stopped = std::async(std::launch::async, [this] { m_waiter.reset(); });
    EXPECT_EQ(stopped.wait_for(10s), std::future_status::ready);
}

TEST(LineEventsTest, ModemLineChangesGiveTheirEvents)
{
    LineSample before;
    before.hasModemLines = true;
    LineSample after = before;
    EXPECT_EQ(lineEventsBetween(before, after), 0u);

    after.cts = true;
    EXPECT_EQ(lineEventsBetween(before, after), EV_CTS);
    EXPECT_EQ(lineEventsBetween(after, before), EV_CTS);
    after = before;
    after.dsr = true;
    after.rlsd = true;
    EXPECT_EQ(lineEventsBetween(before, after), EV_DSR | EV_RLSD);
}

TEST(LineEventsTest, RingIsReportedWhenTheRingLineComesOn)
{
    LineSample quiet;
    quiet.hasModemLines = true;
    LineSample ringing = quiet;
    ringing.ring = true;
    EXPECT_EQ(lineEventsBetween(quiet, ringing), EV_RING);
    EXPECT_EQ(lineEventsBetween(ringing, quiet), 0u);
}

TEST(LineEventsTest, CountersCatchChangesBetweenSamples)
{
    LineSample before;
    before.hasModemLines = true;
    before.hasCounters = true;
    before.ctsChanges = 4;
    LineSample after = before;
    after.ctsChanges = 6; // toggled twice: the line looks unchanged
    after.rings = 1;
    EXPECT_EQ(lineEventsBetween(before, after), EV_CTS | EV_RING);
}

TEST(LineEventsTest, BreakAndLineErrorsComeFromCounters)
{
    LineSample before;
    before.hasCounters = true;
    LineSample after = before;
    after.breaks = 1;
    EXPECT_EQ(lineEventsBetween(before, after), EV_BREAK);

    for (int LineSample::*counter : {&LineSample::frameErrors, &LineSample::overruns,
                                     &LineSample::parityErrors, &LineSample::bufferOverruns}) {
        after = before;
        after.*counter = 3;
        EXPECT_EQ(lineEventsBetween(before, after), EV_ERR);
    }
}

TEST(LineEventsTest, NothingIsReportedWithoutComparableSamples)
{
    LineSample unsupported;
    LineSample full;
    full.hasModemLines = true;
    full.hasCounters = true;
    full.cts = true;
    full.breaks = 2;
    EXPECT_EQ(lineEventsBetween(unsupported, full), 0u);
    EXPECT_EQ(lineEventsBetween(full, unsupported), 0u);
}

} // namespace
} // namespace serial
