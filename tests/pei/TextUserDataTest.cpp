#include "pei/TextUserData.h"

#include "pei/SdsCodec.h"
#include "tests/support/PrintByteArray.h"

#include <gtest/gtest.h>

namespace {

using TextUserData::Layout;

std::optional<ReceivedText::Content> read(int protocolId, const QByteArray &hex)
{
    return TextUserData::read(protocolId, SdsCodec::decodeHex(hex));
}

TEST(TextLayoutTest, EachTextProtocolHasItsLayout)
{
    EXPECT_EQ(TextUserData::layoutOf(0x02), Layout::SimpleText);
    EXPECT_EQ(TextUserData::layoutOf(0x09), Layout::SimpleText);
    EXPECT_EQ(TextUserData::layoutOf(0x82), Layout::Text);
    EXPECT_EQ(TextUserData::layoutOf(0x89), Layout::Text);
    EXPECT_EQ(TextUserData::layoutOf(0x8A), Layout::TextWithUserDataHeader);
    EXPECT_EQ(TextUserData::layoutOf(0x8C), Layout::TextWithUserDataHeader);
    for (const int other : {0x00, 0x01, 0x03, 0x0A, 0x80, 0x83, 0x8B, 0xC8, 0xFF, 130 + 256, -1})
        EXPECT_EQ(TextUserData::layoutOf(other), Layout::Other) << other;
}

TEST(TextUserDataTest, TextHeaderGivesTheCodingSchemeAndTheText)
{
    const auto latin1 = read(0x82, "01666F726D");
    ASSERT_TRUE(latin1);
    EXPECT_EQ(latin1->codingScheme, std::optional<int>(1));
    EXPECT_FALSE(latin1->timestamp);
    EXPECT_EQ(latin1->octets, QByteArray("form"));
    EXPECT_FALSE(latin1->part);

    const auto ucs2 = read(0x89, "1A0048263A");
    ASSERT_TRUE(ucs2);
    EXPECT_EQ(ucs2->codingScheme, std::optional<int>(26));
    EXPECT_EQ(ucs2->octets, QByteArray("\x00H\x26\x3A", 4));
}

TEST(TextUserDataTest, TimestampFollowsTheTextHeaderWhenItsBitIsSet)
{
    const auto stamped = read(0x82, "81045A8F4869");
    ASSERT_TRUE(stamped);
    EXPECT_EQ(stamped->codingScheme, std::optional<int>(1));
    EXPECT_EQ(stamped->timestamp, std::optional<quint32>(0x045A8F));
    EXPECT_EQ(stamped->octets, QByteArray("Hi"));
    EXPECT_EQ(ReceivedText::shown(*stamped), QByteArray("(sent 11 Apr 10:15) Hi"));
    // A time stamp cut short is no message to trust.
    for (const char *cut : {"81", "8104", "81045A"})
        EXPECT_FALSE(read(0x82, cut)) << cut;
    EXPECT_TRUE(read(0x82, "81045A8F"));
}

TEST(TextUserDataTest, SimpleTextHasAFillBitAndNoTimestamp)
{
    // The top bit of simple text's coding octet is a fill bit, not a time
    // stamp flag: the octets after it are text.
    const auto simple = read(0x02, "81045A8F");
    ASSERT_TRUE(simple);
    EXPECT_EQ(simple->codingScheme, std::optional<int>(1));
    EXPECT_FALSE(simple->timestamp);
    EXPECT_EQ(simple->octets, SdsCodec::decodeHex("045A8F"));
    const auto immediate = read(0x09, "0170696420746573");
    ASSERT_TRUE(immediate);
    EXPECT_EQ(immediate->octets, QByteArray("pid tes"));
}

TEST(TextUserDataTest, OtherProtocolsAndEmptyTextHaveNoCodingScheme)
{
    for (const int protocolId : {0x01, 0x83, 0xC8}) {
        const auto other = read(protocolId, "014869");
        ASSERT_TRUE(other) << protocolId;
        EXPECT_FALSE(other->codingScheme) << protocolId;
        EXPECT_EQ(other->octets, QByteArray("\x01Hi")) << protocolId;
    }
    for (const int protocolId : {0x02, 0x82, 0x8A}) {
        const auto empty = read(protocolId, "");
        ASSERT_TRUE(empty) << protocolId;
        EXPECT_TRUE(empty->octets.isEmpty());
        EXPECT_FALSE(empty->codingScheme);
    }
}

TEST(TextUserDataTest, ConcatenationWithAnEightBitReference)
{
    // Part 1 of 2 as other implementations send it: time stamp, coding
    // scheme 13, then "05 00 03 <reference> <parts> <part>".
    const auto part = read(0x8A, "8D045A8F050003C90201"
                                 "4869");
    ASSERT_TRUE(part);
    EXPECT_EQ(part->codingScheme, std::optional<int>(13));
    EXPECT_EQ(part->timestamp, std::optional<quint32>(0x045A8F));
    EXPECT_EQ(part->octets, QByteArray("Hi"));
    ASSERT_TRUE(part->part);
    EXPECT_EQ(part->part->reference, 0xC9);
    EXPECT_FALSE(part->part->wideReference);
    EXPECT_EQ(part->part->count, 2);
    EXPECT_EQ(part->part->number, 1);
}

TEST(TextUserDataTest, ConcatenationWithASixteenBitReference)
{
    const auto part = read(0x8C, "01"
                                 "060804ABCD0303"
                                 "21");
    ASSERT_TRUE(part);
    ASSERT_TRUE(part->part);
    EXPECT_EQ(part->part->reference, 0xABCD);
    EXPECT_TRUE(part->part->wideReference);
    EXPECT_EQ(part->part->count, 3);
    EXPECT_EQ(part->part->number, 3);
    EXPECT_EQ(part->octets, QByteArray("!"));
}

TEST(TextUserDataTest, OtherElementsAreSkippedAndTheFirstConcatenationCounts)
{
    // A 2-octet element 24, then concatenation, then a second one ignored.
    const auto part = read(0x8A, "01"
                                 "0E"
                                 "24020102"
                                 "0003070302"
                                 "0003080101"
                                 "41");
    ASSERT_TRUE(part);
    ASSERT_TRUE(part->part);
    EXPECT_EQ(part->part->reference, 0x07);
    EXPECT_EQ(part->part->number, 2);
    EXPECT_EQ(part->octets, QByteArray("A"));
    // A header without concatenation, or of one part: a whole message.
    for (const char *whole : {"01"
                              "0424020102"
                              "41",
                              "01"
                              "00"
                              "41",
                              "01"
                              "050003070101"
                              "41"}) {
        const auto message = read(0x8A, whole);
        ASSERT_TRUE(message) << whole;
        EXPECT_FALSE(message->part) << whole;
        EXPECT_EQ(message->octets, QByteArray("A")) << whole;
    }
}

TEST(TextUserDataTest, HostileUserDataHeadersAreRefused)
{
    for (const char *hostile : {
             "01",         // no header length
             "0105000307", // header longer than the data
             "0101"
             "00"
             "41", // element cut before its length
             "0103"
             "0005C9", // element longer than the header
             "0104"
             "00020702", // concatenation of two octets
             "0106"
             "000407020100", // and of four
             "0105"
             "0803070201", // 16-bit reference in three octets
             "0105"
             "0003070000", // no parts
             "0105"
             "0003070200", // part 0
             "0105"
             "0003070203", // part beyond the count
             "0106"
             "080400010304", // the same with a 16-bit reference
             "0106"
             "000307020100FF", // a second element cut short
         })
        EXPECT_FALSE(read(0x8A, hostile)) << hostile;
}

} // namespace
