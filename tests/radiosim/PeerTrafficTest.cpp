#include "radiosim/PeerTraffic.h"
#include "radiosim/SdsWire.h"
#include "tests/radiosim/ByteArrayPrinter.h"

#include <gtest/gtest.h>

using radiosim::PeerTraffic;
using radiosim::reportOctets;

TEST(PeerTraffic, MessagesCarryTheSettingsAndCountingReferences)
{
    PeerTraffic peer({42, 130, 0x0A});
    EXPECT_EQ(peer.nextMessage(), QByteArray("\x82\x0A\x00\x01Peer message 1", 18));
    EXPECT_EQ(peer.nextMessage(), QByteArray("\x82\x0A\x01\x01Peer message 2", 18));
    PeerTraffic plain({42, 7, 0x06});
    EXPECT_EQ(plain.nextMessage(), QByteArray("\x07\x06\x00Peer message 1", 17));
}

TEST(PeerTraffic, ReferencesWrapAfter255AndReplaceTheOldExpectation)
{
    PeerTraffic peer({42, 1, 0x06});
    for (int i = 0; i < 256; ++i)
        peer.nextMessage();
    EXPECT_TRUE(peer.checkReport(42, reportOctets(1, 0x00, 0xFF)).good);
    EXPECT_EQ(quint8(peer.nextMessage().at(2)), 0x00);
    EXPECT_TRUE(peer.checkReport(42, reportOctets(1, 0x00, 0x00)).good);
    EXPECT_FALSE(peer.checkReport(42, reportOctets(1, 0x00, 0x00)).good);
}

TEST(PeerTraffic, ConsumedRequestAwaitsOnlyTheConsumedReport)
{
    PeerTraffic peer({42, 1, 0x0A});
    peer.nextMessage();
    const PeerTraffic::Verdict received = peer.checkReport(42, reportOctets(1, 0x00, 0x00));
    EXPECT_FALSE(received.good);
    EXPECT_FALSE(received.reason.isEmpty());
    EXPECT_TRUE(peer.checkReport(42, reportOctets(1, 0x02, 0x00)).good);
}

TEST(PeerTraffic, BadReportsSayWhy)
{
    PeerTraffic peer({42, 1, 0x0E});
    peer.nextMessage();
    EXPECT_TRUE(peer.checkReport(43, reportOctets(1, 0x00, 0x00)).reason.contains("43"));
    EXPECT_TRUE(peer.checkReport(42, reportOctets(2, 0x00, 0x00)).reason.contains("02"));
    EXPECT_TRUE(peer.checkReport(42, reportOctets(1, 0x01, 0x00)).reason.contains("01"));
    EXPECT_TRUE(peer.checkReport(42, QByteArray("\x01\x10\x00", 3)).reason.contains("3"));
    EXPECT_TRUE(peer.checkReport(42, reportOctets(1, 0x00, 0x00)).good)
        << "bad reports leave the expectation alone";
    EXPECT_TRUE(peer.checkReport(42, reportOctets(1, 0x02, 0x00)).good);
}
