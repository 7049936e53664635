#include "radiosim/PeerTraffic.h"
#include "radiosim/SdsWire.h"
#include "tests/radiosim/ByteArrayPrinter.h"

#include <gtest/gtest.h>

using radiosim::PeerTraffic;
using radiosim::reportOctets;

namespace {

PeerTraffic::Settings settings(quint8 protocolId, quint8 request)
{
    PeerTraffic::Settings result;
    result.identity = "42";
    result.protocolId = protocolId;
    result.reportRequest = request;
    return result;
}

QByteArray only(const QList<QByteArray> &parts)
{
    return parts.size() == 1 ? parts.first() : QByteArray("not one part");
}

} // namespace

TEST(PeerTraffic, MessagesCarryTheSettingsAndCountingReferences)
{
    PeerTraffic peer(settings(130, 0x0A));
    EXPECT_EQ(only(peer.nextMessage()), QByteArray("\x82\x0A\x00\x01Peer message 1", 18));
    EXPECT_EQ(only(peer.nextMessage()), QByteArray("\x82\x0A\x01\x01Peer message 2", 18));
    PeerTraffic other(settings(0xC8, 0x04));
    EXPECT_EQ(only(other.nextMessage()), QByteArray("\xC8\x04\x00Peer message 1", 17))
        << "no text header outside the text protocols";
}

TEST(PeerTraffic, ImmediateTextCarriesTheTextHeaderAndSimpleTextOnlyACodingOctet)
{
    PeerTraffic immediate(settings(0x89, 0x04));
    EXPECT_EQ(only(immediate.nextMessage()), QByteArray("\x89\x04\x00\x01Peer message 1", 18));
    PeerTraffic simple(settings(0x02, 0x0C));
    EXPECT_EQ(only(simple.nextMessage()), QByteArray("\x02\x01Peer message 1", 16));
    EXPECT_FALSE(simple.checkReport("42", reportOctets(2, 0x00, 0x00)).good)
        << "simple text asks for no report";
    PeerTraffic plain(settings(7, 0x06));
    EXPECT_EQ(only(plain.nextMessage()), QByteArray("\x07Peer message 1", 15));
}

TEST(PeerTraffic, StorageBitAddsTheStoreAndForwardControl)
{
    PeerTraffic peer(settings(130, 0x05));
    EXPECT_EQ(only(peer.nextMessage()), QByteArray("\x82\x05\x00\x07\x01Peer message 1", 19));
    EXPECT_TRUE(peer.checkReport("42", reportOctets(130, 0x00, 0x00)).good);
}

TEST(PeerTraffic, Ucs2TextAndTimestampInTheTextHeader)
{
    PeerTraffic::Settings wide = settings(130, 0x00);
    wide.coding.ucs2 = true;
    wide.coding.timestamp = radiosim::timestampValue(4, 11, 10, 15);
    PeerTraffic peer(wide);
    const QByteArray octets = only(peer.nextMessage());
    EXPECT_TRUE(octets.startsWith(QByteArray("\x82\x00\x00\x9A\x04\x5A\x8F\x00P\x00"
                                             "e",
                                             10)))
        << octets.toHex().constData();
    EXPECT_EQ(octets.size(), 7 + 2 * 14);
}

TEST(PeerTraffic, LongMessagesComeInPartsWithTheConcatenationHeader)
{
    PeerTraffic::Settings longOnes = settings(130, 0x04);
    longOnes.parts = 2;
    PeerTraffic peer(longOnes);
    peer.nextMessage(); // references 0 and 1
    const QList<QByteArray> parts = peer.nextMessage();
    ASSERT_EQ(parts.size(), 2);
    EXPECT_TRUE(parts.at(0).startsWith(QByteArray("\x8A\x04\x02\x01\x05\x00\x03\x02\x02\x01", 10)))
        << parts.at(0).toHex().constData();
    EXPECT_TRUE(parts.at(1).startsWith(QByteArray("\x8A\x04\x03\x01\x05\x00\x03\x02\x02\x02", 10)))
        << parts.at(1).toHex().constData();
    EXPECT_TRUE(parts.at(1).endsWith("Peer message 2, part 2 of 2"));
    EXPECT_TRUE(peer.checkReport("42", reportOctets(0x8A, 0x00, 0x03)).good)
        << "each part is reported on its own";
    EXPECT_FALSE(peer.checkReport("42", reportOctets(0x82, 0x00, 0x02)).good)
        << "with the part's protocol identifier";
}

TEST(PeerTraffic, ReferencesWrapAfter255AndReplaceTheOldExpectation)
{
    PeerTraffic peer(settings(1 | 0x80, 0x06));
    for (int i = 0; i < 256; ++i)
        peer.nextMessage();
    EXPECT_TRUE(peer.checkReport("42", reportOctets(0x81, 0x00, 0xFF)).good);
    EXPECT_EQ(quint8(only(peer.nextMessage()).at(2)), 0x00);
    EXPECT_TRUE(peer.checkReport("42", reportOctets(0x81, 0x00, 0x00)).good);
    EXPECT_FALSE(peer.checkReport("42", reportOctets(0x81, 0x00, 0x00)).good);
}

TEST(PeerTraffic, ReportRequestIsReadFromTheDeliveryReportBitsAlone)
{
    for (const quint8 request : {0x04, 0x05, 0x06, 0x07}) {
        PeerTraffic peer(settings(130, request));
        peer.nextMessage();
        EXPECT_TRUE(peer.checkReport("42", reportOctets(130, 0x00, 0x00)).good) << int(request);
        EXPECT_FALSE(peer.checkReport("42", reportOctets(130, 0x02, 0x00)).good) << int(request);
    }
    PeerTraffic both(settings(130, 0x0C));
    both.nextMessage();
    EXPECT_TRUE(both.checkReport("42", reportOctets(130, 0x00, 0x00)).good);
    EXPECT_TRUE(both.checkReport("42", reportOctets(130, 0x02, 0x00)).good);
}

TEST(PeerTraffic, ConsumedRequestAwaitsOnlyTheConsumedReport)
{
    PeerTraffic peer(settings(0x81, 0x0A));
    peer.nextMessage();
    const radiosim::Verdict received = peer.checkReport("42", reportOctets(0x81, 0x00, 0x00));
    EXPECT_FALSE(received.good);
    EXPECT_FALSE(received.reason.isEmpty());
    EXPECT_TRUE(peer.checkReport("42", reportOctets(0x81, 0x02, 0x00)).good);
}

TEST(PeerTraffic, BadReportsSayWhy)
{
    PeerTraffic peer(settings(0x81, 0x0E));
    peer.nextMessage();
    EXPECT_TRUE(peer.checkReport("43", reportOctets(0x81, 0x00, 0x00)).reason.contains("43"));
    EXPECT_TRUE(peer.checkReport("042", reportOctets(0x81, 0x00, 0x00)).reason.contains("042"))
        << "an identity is its digits";
    EXPECT_TRUE(peer.checkReport("42", reportOctets(0x82, 0x00, 0x00)).reason.contains("82"));
    EXPECT_TRUE(peer.checkReport("42", reportOctets(0x81, 0x01, 0x00)).reason.contains("01"));
    EXPECT_TRUE(peer.checkReport("42", QByteArray("\x81\x10\x00", 3)).reason.contains("3"));
    EXPECT_TRUE(peer.checkReport("42", reportOctets(0x81, 0x00, 0x00)).good)
        << "bad reports leave the expectation alone";
    EXPECT_TRUE(peer.checkReport("42", reportOctets(0x81, 0x02, 0x00)).good);
}

TEST(SdsText, TimestampDigitsBothWays)
{
    EXPECT_EQ(radiosim::timestampFromDigits("04111015"), 0x045A8Fu);
    EXPECT_EQ(radiosim::timestampDigits(0x045A8F), QByteArray("04111015"));
    for (const char *bad : {"0411101", "13111015", "04001015", "04112415", "04111060", "04a11015"})
        EXPECT_FALSE(radiosim::timestampFromDigits(bad)) << bad;
}
