#include "radiosim/SdsWire.h"
#include "tests/radiosim/ByteArrayPrinter.h"

#include <gtest/gtest.h>

using namespace radiosim;

TEST(SdsWireHeader, ReadsDestinationAndLength)
{
    const auto header = parseCmgsHeader("AT+CMGS=1234,1,0,48");
    ASSERT_TRUE(header);
    EXPECT_EQ(header->destination, 1234u);
    EXPECT_EQ(header->lengthBits, 48u);
    const auto lower = parseCmgsHeader("at+Cmgs=0,1,0,8");
    ASSERT_TRUE(lower);
    EXPECT_EQ(lower->destination, 0u);
    const auto widest = parseCmgsHeader("AT+CMGS=9999999999,1,0,4294967296");
    ASSERT_TRUE(widest);
    EXPECT_EQ(widest->destination, 9999999999u);
    EXPECT_EQ(widest->lengthBits, 4294967296u);
}

TEST(SdsWireHeader, RejectsAnythingElse)
{
    for (const char *line :
         {"AT+CMGS=", "AT+CMGS=1,1,0", "AT+CMGS=1,1,0,8,", "AT+CMGS=1,,0,8", "AT+CMGS=-1,1,0,8",
          "AT+CMGS=1,1,0,+8", "AT+CMGS=12345678901,1,0,8", "AT+CMGT=1,1,0,8", "XAT+CMGS=1,1,0,8"})
        EXPECT_FALSE(parseCmgsHeader(line)) << line;
}

TEST(SdsWireHex, DecodesEvenHexOfEitherCase)
{
    EXPECT_EQ(octetsFromHex("4142aBfF00"), QByteArray("AB\xAB\xFF\x00", 5));
    EXPECT_EQ(octetsFromHex(""), QByteArray());
}

TEST(SdsWireHex, RejectsOddLengthAndNonHex)
{
    for (const char *hex : {"414", "4G", "41 42", "G1", "0x41", "41\r"})
        EXPECT_FALSE(octetsFromHex(hex)) << hex;
}

TEST(SdsWireIndication, CarriesSenderLengthAndUpperCaseHex)
{
    EXPECT_EQ(cmtIndication(1234, QByteArray("\x82\x06\x01\x01Hi", 6)),
              "\r\n+CMT: 1234,0,48\r\n820601014869\r\n");
    EXPECT_EQ(cmtIndication(5, reportOctets(0xC8, statusConsumed, 0xAB)),
              "\r\n+CMT: 5,0,32\r\nC81002AB\r\n");
}
