// The SIM device through the serial port component, as the window uses it.
#include "radiosim/SimDevice.h"
#include "serial/Comms.h"
#include "tests/radiosim/ByteArrayPrinter.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QTest>
#include <gtest/gtest.h>
#include <mutex>
#include <stdexcept>

using radiosim::RadioSim;
using radiosim::registerSimDevice;
using radiosim::withActiveSim;

namespace {

constexpr int generousMs = 5000;

// A port on the named SIM device, opened and driven like the window does:
// CTS checked before each write, input collected by polling.
class SimPort
{
public:
    explicit SimPort(const QString &name)
    {
        m_port.setDevicePath(name);
        m_port.Open();
        m_port.SetDTR(true);
        m_port.SetRTS(true);
    }

    void write(const QByteArray &bytes) { m_port.WriteStr(bytes, true); }

    // Polls (letting the window thread's timers run) until the input ends
    // with expectedEnd or the time runs out.
    QByteArray readUntil(const QByteArray &expectedEnd, int timeoutMs = generousMs)
    {
        QByteArray received;
        QElapsedTimer clock;
        clock.start();
        while (!received.endsWith(expectedEnd) && clock.elapsed() < timeoutMs) {
            if (const int count = m_port.InputCount(); count > 0) {
                QByteArray chunk;
                const int got = m_port.ReadStr(chunk, count, true);
                received += chunk.left(got);
            } else {
                QTest::qWait(10);
            }
        }
        return received;
    }

    TComPort &port() { return m_port; }

private:
    TComPort m_port;
};

RadioSim::Counters countersOf(const QString &name)
{
    RadioSim::Counters counters;
    withActiveSim([&counters](RadioSim &sim) { counters = sim.counters(); }, name);
    return counters;
}

} // namespace

TEST(SimDevice, AnswersTheProbeThroughTheSerialPort)
{
    registerSimDevice("SIM-probe");
    SimPort sim("SIM-probe");
    EXPECT_TRUE(sim.port().GetCTS());
    sim.write("AT\r");
    EXPECT_EQ(sim.readUntil("\r\nOK\r\n"), "\r\nOK\r\n");
}

TEST(SimDevice, PlaysTheWholeDialogue)
{
    RadioSim::Options options;
    options.peerIntervalMs = 300;
    options.peerIdentity = "4040";
    options.peerProtocolId = 0x82;
    options.peerReportRequest = 0x0A;
    options.quietGapMs = 100;
    registerSimDevice("SIM-dialogue", options);
    SimPort sim("SIM-dialogue");
    const QByteArray completion = "\r\n+CMGS: 0\r\n\r\nOK\r\n";
    sim.write(QByteArray("AT+CMGS=0,1,0,8\r82\x1A"));
    EXPECT_EQ(sim.readUntil(completion), completion);
    sim.write(QByteArray("AT+CMGS=4321,1,0,48\r820800014869\x1A"));
    const QByteArray report = "\r\n+CMT: 4321,0,32\r\n82100200\r\n";
    EXPECT_EQ(sim.readUntil(report), completion + report);

    const QByteArray peer = sim.readUntil("\r\n", generousMs);
    ASSERT_TRUE(peer.startsWith("\r\n+CMT: 4040,0,")) << peer.constData();
    const int headerEnd = int(peer.indexOf("\r\n", 2)) + 2;
    ASSERT_GT(headerEnd, 2);
    const QByteArray reference = peer.mid(headerEnd + 4, 2);
    sim.write("AT+CMGS=4040,1,0,32\r821002" + reference + "\x1A");
    EXPECT_TRUE(sim.readUntil(completion).endsWith(completion));

    const RadioSim::Counters counters = countersOf("SIM-dialogue");
    EXPECT_EQ(counters.registrations, 1);
    EXPECT_EQ(counters.reportsSent, 1);
    EXPECT_EQ(counters.goodReports, 1);
    EXPECT_EQ(counters.badReports, 0);
}

TEST(SimDevice, StrictRadioAbortsACommandInterruptedThroughThePort)
{
    RadioSim::Options options;
    options.strict = true;
    options.answerDelayMs = 100;
    options.junkBeforeAnswer = 7;
    registerSimDevice("SIM-strict", options);
    SimPort sim("SIM-strict");
    sim.write("AT\rAT\r");
    const QByteArray aborted = sim.readUntil("\r\nERROR\r\n");
    EXPECT_EQ(aborted.size(), 7 + 9) << aborted.constData();
    sim.write("AT\r");
    EXPECT_TRUE(sim.readUntil("\r\nOK\r\n").endsWith("\r\nOK\r\n"));
    EXPECT_EQ(countersOf("SIM-strict").commandsAborted, 1);
}

TEST(SimDevice, PairOfSimDevicesTalksAcrossTheSimulatedNetwork)
{
    radiosim::SimPair pair;
    pair.firstName = "SIM-pair";
    pair.secondName = "SIM-pair2";
    pair.network.delayMs = 50;
    std::mutex logMutex;
    QStringList netLog;
    pair.networkLog = [&](const QString &line) {
        std::lock_guard<std::mutex> lock(logMutex);
        netLog << line;
    };
    radiosim::registerSimDevicePair(pair);
    SimPort first("SIM-pair");
    SimPort second("SIM-pair2");
    const QByteArray completion = "\r\n+CMGS: 0\r\n\r\nOK\r\n";
    first.write(QByteArray("AT+CMGS=1235,1,0,48\r820400014869\x1A"));
    EXPECT_EQ(first.readUntil(completion), completion);
    EXPECT_EQ(second.readUntil("4869\r\n"), "\r\n+CMT: 1234,0,48\r\n820400014869\r\n");
    second.write(QByteArray("AT+CMGS=1234,1,0,32\r82100000\x1A"));
    EXPECT_EQ(second.readUntil(completion), completion);
    EXPECT_EQ(first.readUntil("82100000\r\n"), "\r\n+CMT: 1235,0,32\r\n82100000\r\n");
    EXPECT_EQ(countersOf("SIM-pair").sentToNetwork, 1);
    EXPECT_EQ(countersOf("SIM-pair").receivedFromNetwork, 1);
    EXPECT_EQ(countersOf("SIM-pair").reportsSent, 0);
    std::lock_guard<std::mutex> lock(logMutex);
    ASSERT_EQ(netLog.size(), 2);
    EXPECT_TRUE(netLog.at(0).endsWith(" ms: 1234 > 1235 820400014869: delivered in 50 ms"))
        << netLog.at(0).toStdString();

    radiosim::SimPair same;
    same.second.issi = same.first.issi;
    EXPECT_THROW(radiosim::registerSimDevicePair(same), std::invalid_argument);
}

TEST(SimDevice, CtsFollowsTheRadio)
{
    registerSimDevice("SIM-cts");
    SimPort sim("SIM-cts");
    ASSERT_TRUE(withActiveSim([](RadioSim &radio) { radio.holdCtsDown(300); }, "SIM-cts"));
    EXPECT_FALSE(sim.port().GetCTS()) << "applied at once";
    QElapsedTimer clock;
    clock.start();
    while (!sim.port().GetCTS() && clock.elapsed() < generousMs)
        QTest::qWait(10);
    EXPECT_TRUE(sim.port().GetCTS());
    EXPECT_GE(clock.elapsed(), 250);
}

TEST(SimDevice, FaultsReachThePort)
{
    registerSimDevice("SIM-faults");
    SimPort sim("SIM-faults");
    withActiveSim(
        [](RadioSim &radio) {
            radio.injectGarbage("#garbage#");
            radio.failNextMessage(7);
        },
        "SIM-faults");
    EXPECT_EQ(sim.readUntil("#garbage#"), "#garbage#");
    sim.write(QByteArray("AT+CMGS=4321,1,0,24\r820000\x1A"));
    EXPECT_EQ(sim.readUntil("\r\n+CME ERROR: 7\r\n"), "\r\n+CME ERROR: 7\r\n");
}

TEST(SimDevice, IsExclusiveAndFreshOnEachOpen)
{
    registerSimDevice("SIM-fresh");
    EXPECT_FALSE(withActiveSim([](RadioSim &) {}, "SIM-fresh")) << "not open";
    {
        SimPort first("SIM-fresh");
        first.write("ATE1\r");
        EXPECT_EQ(first.readUntil("OK\r\n"), "\r\nOK\r\n");
        first.write("AT\r");
        EXPECT_EQ(first.readUntil("OK\r\n"), "AT\r\r\nOK\r\n");
        TComPort second;
        second.setDevicePath("SIM-fresh");
        EXPECT_THROW(second.Open(), EComPort);
        EXPECT_EQ(countersOf("SIM-fresh").commandsSeen, 2);
    }
    EXPECT_FALSE(withActiveSim([](RadioSim &) {}, "SIM-fresh")) << "closed with its port";
    SimPort again("SIM-fresh");
    EXPECT_EQ(countersOf("SIM-fresh").commandsSeen, 0);
    again.write("AT\r");
    EXPECT_EQ(again.readUntil("\r\nOK\r\n"), "\r\nOK\r\n") << "echo is off again";
}
