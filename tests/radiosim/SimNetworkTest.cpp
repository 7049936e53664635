// The simulated network between two radios: its impairments with fixed
// seeds, what it logs, and two radios talking across it.
#include "radiosim/SimNetwork.h"
#include "radiosim/RadioSim.h"
#include "tests/radiosim/ByteArrayPrinter.h"

#include <QRegularExpression>
#include <QStringList>
#include <gtest/gtest.h>

using radiosim::NetworkOptions;
using radiosim::RadioSim;
using radiosim::SimNetwork;

namespace {

// A text message with the tag "#<n>" after its SDS-TL header and text header.
QByteArray taggedMessage(int number)
{
    return QByteArray("\x82\x04", 2) + char(number % 256) + '\x01' + "#" +
           QByteArray::number(number) + " text";
}

struct Carried
{
    QStringList log;
    QList<QByteArray> arrived;
};

// Sends `count` messages 10 ms apart and collects what arrives by the end.
Carried carry(const NetworkOptions &options, int count)
{
    Carried run;
    SimNetwork network(options);
    network.setLogger([&run](const QString &line) { run.log << line; });
    network.addRadio("1234");
    network.addRadio("1235");
    for (int i = 0; i < count; ++i) {
        network.send("1234", "1235", taggedMessage(i), radiosim::serviceSdsTl, i * 10);
        for (const SimNetwork::Delivery &delivery : network.takeDue("1235", i * 10))
            run.arrived.append(delivery.octets);
    }
    for (const SimNetwork::Delivery &delivery : network.takeDue("1235", count * 10 + 100000))
        run.arrived.append(delivery.octets);
    return run;
}

int fates(const QStringList &log, const QString &fate)
{
    return int(log.filter(QRegularExpression(": " + fate)).size());
}

} // namespace

TEST(SimNetwork, WithoutImpairmentsEverySdsArrivesOnceInOrderAfterTheDelay)
{
    NetworkOptions options;
    options.delayMs = 50;
    options.jitterMs = 20;
    SimNetwork network(options);
    QStringList log;
    network.setLogger([&log](const QString &line) { log << line; });
    network.send("1234", "1235", taggedMessage(1), 12, 100);
    EXPECT_TRUE(network.takeDue("1235", 129).isEmpty()) << "not before delay less jitter";
    EXPECT_TRUE(network.takeDue("1234", 1000).isEmpty()) << "not to the sender";
    const QList<SimNetwork::Delivery> arrived = network.takeDue("1235", 170);
    ASSERT_EQ(arrived.size(), 1);
    EXPECT_EQ(arrived.at(0).octets, taggedMessage(1));
    EXPECT_EQ(arrived.at(0).from, QByteArray("1234"));
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(QRegularExpression("^net 100 ms: 1234 > 1235 8204010123312074657874: delivered in "
                                   "(3[0-9]|[4-6][0-9]|70) ms$")
                    .match(log.at(0))
                    .hasMatch())
        << log.at(0).toStdString();

    const Carried run = carry(options, 200);
    ASSERT_EQ(run.arrived.size(), 200);
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(run.arrived.at(i), taggedMessage(i)) << "jitter keeps the order";
    EXPECT_EQ(fates(run.log, "delivered in"), 200);
}

TEST(SimNetwork, ImpairmentsMatchTheirLogAndTheSeedReplaysThem)
{
    NetworkOptions options;
    options.delayMs = 40;
    options.jitterMs = 10;
    options.loss = 0.05;
    options.duplicate = 0.02;
    options.reorder = 0.05;
    options.corrupt = 0.01;
    options.seed = 20240611;
    const int sent = 2000;
    const Carried run = carry(options, sent);
    ASSERT_EQ(run.log.size(), sent) << "one line per SDS";
    const int lost = fates(run.log, "lost$");
    const int duplicated = fates(run.log, "duplicated in");
    const int reordered = fates(run.log, "reordered:");
    const int corrupted = fates(run.log, "corrupted to");
    const int delivered = fates(run.log, "delivered in [0-9]+ ms$");
    EXPECT_EQ(lost + duplicated + reordered + corrupted + delivered, sent);
    // Within four standard deviations of the probabilities.
    EXPECT_NEAR(lost, 100, 40);
    EXPECT_NEAR(duplicated, 40, 25);
    EXPECT_NEAR(reordered, 100, 40);
    EXPECT_NEAR(corrupted, 20, 18);
    EXPECT_EQ(run.arrived.size(), sent - lost + duplicated);

    // What arrived, message by message, is what the log said.
    QMap<QByteArray, int> copies;
    for (const QByteArray &octets : run.arrived)
        ++copies[octets];
    int outOfOrder = 0;
    int highest = -1;
    for (const QByteArray &octets : run.arrived) {
        const int number = QByteArray(octets.mid(5)).split(' ').first().toInt();
        if (number < highest)
            ++outOfOrder;
        highest = std::max(highest, number);
    }
    EXPECT_EQ(outOfOrder, reordered) << "each held-back SDS is overtaken by the next";
    int corruptedSeen = 0;
    for (int i = 0; i < sent; ++i) {
        const QString line = run.log.at(i);
        const int expected = line.endsWith("lost") ? 0 : line.contains("duplicated") ? 2 : 1;
        if (line.contains("corrupted")) {
            ++corruptedSeen;
            EXPECT_EQ(copies.value(taggedMessage(i)), 0) << line.toStdString();
            QByteArray changed = taggedMessage(i);
            changed.back() = char(changed.back() ^ 0x01);
            EXPECT_EQ(copies.value(changed), 1) << "only the last octet changes";
        } else {
            EXPECT_EQ(copies.value(taggedMessage(i)), expected) << line.toStdString();
        }
    }
    EXPECT_EQ(corruptedSeen, corrupted);

    EXPECT_EQ(carry(options, sent).log, run.log) << "the same seed, the same run";
    options.seed = 7;
    EXPECT_NE(carry(options, sent).log, run.log);
}

TEST(SimNetwork, ReportsAreNeverCorruptedAndAHeldBackSdsComesAtItsLimit)
{
    NetworkOptions options;
    options.corrupt = 1;
    SimNetwork network(options);
    QStringList log;
    network.setLogger([&log](const QString &line) { log << line; });
    network.send("1235", "1234", QByteArray("\x82\x10\x00\x05", 4), 12, 0);
    ASSERT_EQ(network.takeDue("1234", 0).size(), 1);
    EXPECT_EQ(network.takeDue("1234", 0).size(), 0);
    EXPECT_TRUE(log.last().endsWith(": delivered in 0 ms")) << log.last().toStdString();

    NetworkOptions reorder;
    reorder.reorder = 1;
    reorder.delayMs = 100;
    SimNetwork held(reorder);
    held.send("1234", "1235", taggedMessage(1), 12, 0);
    EXPECT_EQ(held.nextDueMs(), 10100);
    EXPECT_TRUE(held.takeDue("1235", 10099).isEmpty());
    EXPECT_EQ(held.takeDue("1235", 10100).size(), 1);
}

TEST(SimNetwork, TwoRadiosTalkAcrossItAndTheFarTerminalReports)
{
    NetworkOptions options;
    options.delayMs = 30;
    SimNetwork network(options);
    QStringList netLog;
    network.setLogger([&netLog](const QString &line) { netLog << line; });
    RadioSim::Options first;
    first.issi = 1234;
    RadioSim::Options second;
    second.issi = 1235;
    RadioSim a(first), b(second);
    QStringList bLog;
    b.setLogger([&bLog](const QString &line) { bLog << line; });
    for (RadioSim *radio : {&a, &b}) {
        const radiosim::Identity own = QByteArray::number(radio == &a ? 1234 : 1235);
        network.addRadio(own);
        radio->setNetwork([&network, own](const radiosim::Identity &to, const QByteArray &octets,
                                          int service, qint64 atMs) {
            if (!network.serves(to))
                return false;
            network.send(own, to, octets, service, atMs);
            return true;
        });
    }
    const auto pump = [&](qint64 now) {
        for (RadioSim *radio : {&a, &b}) {
            const radiosim::Identity own = QByteArray::number(radio == &a ? 1234 : 1235);
            for (const SimNetwork::Delivery &d : network.takeDue(own, now))
                radio->receiveFromNetwork(d.from, d.octets, d.service, now);
        }
    };
    a.receive("AT+CMGS=1235,1,0,48\r820C07014869\x1A", 0);
    EXPECT_EQ(a.takeOutput(), "\r\n+CMGS: 0\r\n\r\nOK\r\n") << "no report from the radio itself";
    pump(29);
    EXPECT_TRUE(b.takeOutput().isEmpty());
    pump(30);
    EXPECT_EQ(b.takeOutput(), "\r\n+CMT: 1234,0,48\r\n820C07014869\r\n");
    EXPECT_TRUE(bLog.contains("delivered 30 ms: 1234 > 1235 820C07014869"));
    // The far terminal answers the request; the report travels back.
    b.receive("AT+CMGS=1234,1,0,32\r82100007\x1A", 40);
    b.takeOutput();
    pump(70);
    EXPECT_EQ(a.takeOutput(), "\r\n+CMT: 1235,0,32\r\n82100007\r\n");
    EXPECT_EQ(a.counters().sentToNetwork, 1);
    EXPECT_EQ(a.counters().reportsSent, 0);
    EXPECT_EQ(b.counters().badReports, 0) << "a report across the network is not the peer's";
    EXPECT_EQ(netLog.size(), 2);
    a.receive("AT+CMGS=4321,1,0,32\r82040801\x1A", 100);
    EXPECT_TRUE(a.takeOutput().contains("+CMT: 4321,0,32")) << "other identities as before";
}
