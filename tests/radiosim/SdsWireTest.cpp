#include "radiosim/SdsWire.h"
#include "tests/radiosim/ByteArrayPrinter.h"

#include <gtest/gtest.h>

using namespace radiosim;

TEST(SdsWireHeader, ReadsDestinationAndLength)
{
    const auto header = parseCmgsHeader("AT+CMGS=1234,1,0,48");
    ASSERT_TRUE(header);
    EXPECT_EQ(header->destination, QByteArray("1234"));
    EXPECT_EQ(header->lengthBits, 48u);
    const auto lower = parseCmgsHeader("at+Cmgs=0,1,0,8");
    ASSERT_TRUE(lower);
    EXPECT_EQ(lower->destination, QByteArray("0"));
    const auto widest = parseCmgsHeader("AT+CMGS=9999999999,1,0,4294967296");
    ASSERT_TRUE(widest);
    EXPECT_EQ(widest->destination, QByteArray("9999999999"));
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
    EXPECT_EQ(cmtIndication("1234", QByteArray("\x82\x06\x01\x01Hi", 6)),
              "\r\n+CMT: 1234,0,48\r\n820601014869\r\n");
    EXPECT_EQ(cmtIndication("5", reportOctets(0xC8, statusConsumed, 0xAB)),
              "\r\n+CMT: 5,0,32\r\nC81002AB\r\n");
}

TEST(SdsWireIdentity, SsiFormsAndFullIdentitiesKeepTheirDigits)
{
    EXPECT_TRUE(isIdentity("1"));
    EXPECT_TRUE(isIdentity("16777215"));
    EXPECT_FALSE(isIdentity("16777216")) << "past the SSI range, too short for a full identity";
    EXPECT_TRUE(isIdentity("262100012345678"));
    EXPECT_TRUE(isIdentity("09011638300023404"));
    for (const char *bad : {"", "123456789012345678", "12a4", " 12", "+1234"})
        EXPECT_FALSE(isIdentity(bad)) << bad;
    EXPECT_EQ(identityType("12345678"), 0);
    EXPECT_EQ(identityType("09011638300023404"), 1);
    EXPECT_EQ(ssiOf("00001234"), 1234u);
    EXPECT_FALSE(ssiOf("262100012345678"));
    const auto header = parseTwoFieldCmgsHeader("AT+CMGS=09011638300023404,32");
    ASSERT_TRUE(header);
    EXPECT_EQ(header->destination, QByteArray("09011638300023404")) << "the leading zero stays";
}

TEST(SdsWireIndication, CtsdsrNamesIdentityTypesInEachFieldOrder)
{
    const QByteArray octets("\x82\x06\x80\x01"
                            "form",
                            8);
    const QByteArray hex = "\r\n82068001666F726D\r\n";
    EXPECT_EQ(ctsdsrIndication(12, "5678", "1234", octets),
              "\r\n+CTSDSR: 12,5678,0,1234,0,64" + hex);
    EXPECT_EQ(ctsdsrIndication(12, "09011638300023404", "1234", octets, CtsdsrForm::Seven),
              "\r\n+CTSDSR: 12,09011638300023404,1,1234,0,64,0" + hex);
    EXPECT_EQ(ctsdsrIndication(12, "5678", "262100012345678", octets, CtsdsrForm::SevenSwapped),
              "\r\n+CTSDSR: 12,5678,0,262100012345678,1,0,64" + hex);
}

TEST(SdsWireReports, FullReportsMayAskForAnAckAndShortReportsCarryTheirType)
{
    EXPECT_EQ(reportOctets(0x82, statusReceived, 0x05, true), QByteArray("\x82\x18\x00\x05", 4));
    EXPECT_EQ(shortReportOctets(shortReportNotSupported, 0x05), QByteArray("\x7C\x05", 2));
    EXPECT_EQ(shortReportOctets(shortReportMemoryFull, 0x05), QByteArray("\x7D\x05", 2));
    EXPECT_EQ(shortReportOctets(shortReportReceived, 0x05), QByteArray("\x7E\x05", 2));
    EXPECT_EQ(shortReportOctets(shortReportConsumed, 0xFF), QByteArray("\x7F\xFF", 2));
}
