#include "pei/SdsCodec.h"
#include "text/IntegerConversionError.h"

#include "tests/support/PrintByteArray.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>

using namespace SdsCodec;

namespace {

const QByteArray End("\x1A");

QByteArray withType(const QByteArray &typeText)
{
    return "\r\n+CMT: 1234,0,48\r\n82" + typeText + "014869\r\n";
}

// --- Hex in both directions ------------------------------------------------

TEST(HexTest, NumbersHaveAtLeastTwoUpperCaseDigits)
{
    EXPECT_EQ(hexWithAtLeastTwoDigits(0), "00");
    EXPECT_EQ(hexWithAtLeastTwoDigits(5), "05");
    EXPECT_EQ(hexWithAtLeastTwoDigits(0x0C), "0C");
    EXPECT_EQ(hexWithAtLeastTwoDigits(200), "C8");
    EXPECT_EQ(hexWithAtLeastTwoDigits(255), "FF");
    EXPECT_EQ(hexWithAtLeastTwoDigits(256), "100");
    EXPECT_EQ(hexWithAtLeastTwoDigits(-1), "FFFFFFFF");
}

TEST(HexTest, EncodesEveryOctetAsTwoDigits)
{
    EXPECT_EQ(encodeHex("A"), "41");
    EXPECT_EQ(encodeHex("\t"), "09");
    EXPECT_EQ(encodeHex("Hi"), "4869");
    EXPECT_EQ(encodeHex(QByteArray("\xFF\x00\x7F", 3)), "FF007F");
    EXPECT_TRUE(encodeHex("").isEmpty());
}

TEST(HexTest, DecodesPairsSkippingNonHexAtPairStart)
{
    EXPECT_EQ(decodeHex("4142"), "AB");
    EXPECT_EQ(decodeHex("41 42"), "AB");
    EXPECT_EQ(decodeHex("4G"), "\x40");
    EXPECT_EQ(decodeHex("414"), "A\x40");
    EXPECT_EQ(decodeHex("4a6B"), "Jk");
    EXPECT_EQ(decodeHex("xy41\r\n"), "A");
    EXPECT_EQ(decodeHex("0G"), QByteArray(1, '\0'));
    EXPECT_TRUE(decodeHex("").isEmpty());
    EXPECT_TRUE(decodeHex("\r\n xyz").isEmpty());
}

TEST(HexTest, OneOctetIsExactlyTwoHexDigitsOfEitherCase)
{
    EXPECT_EQ(hexOctet("00"), std::optional<quint8>(0));
    EXPECT_EQ(hexOctet("7f"), std::optional<quint8>(0x7F));
    EXPECT_EQ(hexOctet("Fe"), std::optional<quint8>(0xFE));
    for (const char *other : {"", "0", "000", "0G", "G0", " 1", "1 ", "-1", "\r\n"})
        EXPECT_FALSE(hexOctet(other)) << other;
}

TEST(HexTest, EveryOctetSurvivesTheRoundTrip)
{
    QByteArray all;
    for (int octet = 0; octet < 256; ++octet)
        all.append(char(octet));
    const QByteArray hex = encodeHex(all);
    EXPECT_EQ(hex.size(), 512);
    EXPECT_EQ(hex, hex.toUpper());
    EXPECT_EQ(decodeHex(hex), all);
    EXPECT_EQ(decodeHex(hex.toLower()), all);
}

// --- Commands sent ---------------------------------------------------------

TEST(RegistrationTest, CarriesTheProtocolIdentifierAlone)
{
    EXPECT_EQ(buildRegistrationCommand("130"), "AT+CMGS=0,1,0,8\r82" + End);
    EXPECT_EQ(buildRegistrationCommand("0"), "AT+CMGS=0,1,0,8\r00" + End);
    EXPECT_EQ(buildRegistrationCommand(" 5"), "AT+CMGS=0,1,0,8\r05" + End);
    EXPECT_THROW(buildRegistrationCommand("13O"), IntegerConversionError);
}

TEST(ComposeTest, ReproducesTheReferenceMessages)
{
    EXPECT_EQ(composeTextMessage("130", ReceivedReportFlag, 0, "1234", "Hi"),
              "AT+CMGS=1234,1,0,48\r820400014869" + End);
    EXPECT_EQ(composeTextMessage("200", 0, 5, "1234", "Hi"),
              "AT+CMGS=1234,1,0,40\rC800054869" + End);
}

TEST(ComposeTest, EmptyTextCarriesTheHeaderAlone)
{
    EXPECT_EQ(composeTextMessage("7", 0, 0, "1", ""), "AT+CMGS=1,1,0,24\r070000" + End);
    EXPECT_EQ(composeTextMessage("130", 0, 0, "1", ""), "AT+CMGS=1,1,0,32\r82000001" + End);
}

TEST(ComposeTest, OnlyTheExactText130AddsTheCodingOctet)
{
    EXPECT_EQ(composeTextMessage("0130", 0, 0, "9", "A"), "AT+CMGS=9,1,0,32\r82000041" + End);
    EXPECT_EQ(composeTextMessage(" 130", 0, 0, "9", "A"), "AT+CMGS=9,1,0,32\r82000041" + End);
    EXPECT_EQ(composeTextMessage("$82", 0, 0, "9", "A"), "AT+CMGS=9,1,0,32\r82000041" + End);
    EXPECT_EQ(composeTextMessage("130", 0, 0, "9", "A"), "AT+CMGS=9,1,0,40\r8200000141" + End);
}

TEST(ComposeTest, FlagsAndReferenceAreTwoDigitsEach)
{
    EXPECT_EQ(composeTextMessage("1", ReceivedReportFlag | ConsumedReportFlag, 0x0F, "5", ""),
              "AT+CMGS=5,1,0,24\r010C0F" + End);
    EXPECT_EQ(composeTextMessage("1", ConsumedReportFlag, 255, "5", ""),
              "AT+CMGS=5,1,0,24\r0108FF" + End);
    quint8 reference = 255;
    ++reference;
    EXPECT_EQ(composeTextMessage("1", 0, reference, "5", ""), "AT+CMGS=5,1,0,24\r010000" + End);
}

TEST(ComposeTest, EveryCharacterIsOneOctet)
{
    EXPECT_EQ(composeTextMessage("1", 0, 0, "5", "a\tb"), "AT+CMGS=5,1,0,48\r010000610962" + End);
    EXPECT_EQ(composeTextMessage("1", 0, 0, "5", "\xE9"), "AT+CMGS=5,1,0,32\r010000E9" + End);
    EXPECT_EQ(composeTextMessage("1", 0, 0, "5", QByteArray(1, '\0')),
              "AT+CMGS=5,1,0,32\r01000000" + End);
}

TEST(ComposeTest, TransferUserDataTakesTheCodingOctetWhenAsked)
{
    const UserData plain = transferUserData(200, 0, 5, false, "Hi");
    EXPECT_EQ(plain.hex, "C800054869");
    EXPECT_EQ(plain.bits, 40);
    const UserData coded = transferUserData(0x89, ReceivedReportFlag, 7, true, "Hi");
    EXPECT_EQ(coded.hex, "890407014869");
    EXPECT_EQ(coded.bits, 48);
}

TEST(ComposeTest, LengthCountsTheOctetsTheHeaderHexDecodesTo)
{
    // Only a caller that bypasses the field's bounds gets here: 256 is three
    // digits, which decode to two octets.
    EXPECT_EQ(composeTextMessage("256", 0, 0, "5", "A"), "AT+CMGS=5,1,0,40\r100000041" + End);
}

TEST(ComposeTest, NonIntegerProtocolIdentifierThrowsWithItsText)
{
    try {
        composeTextMessage("1x", 0, 0, "5", "Hi");
        FAIL() << "no exception";
    } catch (const IntegerConversionError &e) {
        EXPECT_STREQ(e.what(), "'1x' is not a valid integer value");
    }
    EXPECT_THROW(composeTextMessage("", 0, 0, "5", "Hi"), IntegerConversionError);
}

TEST(LineTest, LinesFollowTheTimestamp)
{
    EXPECT_EQ(sendingLine("1234", "Hi"), ": Trying to send to 1234: Hi");
    EXPECT_EQ(receivedLine("1234", "\x01Hi"), ": Message received from 1234: \x01Hi");
    EXPECT_EQ(receivedLine("1234", ""), ": Message received from 1234: ");
}

TEST(ReportCommandTest, CopiesTheReceivedFieldsAndCountsTheirOctets)
{
    EXPECT_EQ(buildReportCommand("1234", "82", "01", DeliveryReport::Received),
              "AT+CMGS=1234,1,0,32\r82100001" + End);
    EXPECT_EQ(buildReportCommand("1234", "82", "01", DeliveryReport::Consumed),
              "AT+CMGS=1234,1,0,32\r82100201" + End);
    EXPECT_EQ(buildReportCommand("77", "c8", "fe", DeliveryReport::Received),
              "AT+CMGS=77,1,0,32\rc81000fe" + End);
    EXPECT_EQ(buildReportCommand("77", "8", "", DeliveryReport::Consumed),
              "AT+CMGS=77,1,0,24\r81002" + End);
}

// --- Received chunks -------------------------------------------------------

TEST(ReceivedChunkTest, ReadsTheReferenceIndication)
{
    const ReceivedChunk received = parseReceivedChunk("\r\n+CMT: 1234,0,48\r\n820601014869\r\n");
    EXPECT_TRUE(received.isIndication);
    EXPECT_EQ(received.callingIssi, "1234");
    EXPECT_EQ(received.protocolIdText, "82");
    EXPECT_EQ(received.typeText, "06");
    EXPECT_EQ(received.referenceText, "01");
    EXPECT_EQ(received.reportKind, ReportKind::Received);
    EXPECT_EQ(received.messageOctets, "\x01Hi");
    EXPECT_EQ(reportCommands(received), QList<QByteArray>{"AT+CMGS=1234,1,0,32\r82100001" + End});
}

TEST(ReceivedChunkTest, IgnoresChunksNotBeginningWithTheIndication)
{
    const QByteArray chunks[] = {"",
                                 "\r\n+CM",
                                 "\r\n+CMGS: 0\r\n\r\nOK\r\n",
                                 "\r\nOK\r\n\r\n+CMT: 1234,0,48\r\n820601014869\r\n",
                                 "+CMT: 1234,0,48\r\n820601014869\r\n",
                                 "\r\n+cmt: 1234,0,48\r\n820601014869\r\n"};
    for (const QByteArray &chunk : chunks) {
        const ReceivedChunk received = parseReceivedChunk(chunk);
        EXPECT_FALSE(received.isIndication) << ::testing::PrintToString(chunk);
        EXPECT_TRUE(received.callingIssi.isEmpty());
        EXPECT_TRUE(received.messageOctets.isEmpty());
        EXPECT_TRUE(reportCommands(received).isEmpty());
    }
}

TEST(ReportKindTest, DeliveryReportRequestBitsAloneDecide)
{
    for (int octet = 0; octet < 256; ++octet) {
        const ReportKind kind = reportKindOf(quint8(octet));
        if (octet >= 0x10) {
            EXPECT_EQ(kind, ReportKind::None) << octet;
            continue;
        }
        // The short form report and storage bits never matter.
        const ReportKind expected[] = {ReportKind::None, ReportKind::Received, ReportKind::Consumed,
                                       ReportKind::Both};
        EXPECT_EQ(kind, expected[octet >> 2]) << octet;
    }
}

TEST(ReceivedChunkTest, TypeTextsThatDrawNoReport)
{
    for (const char *type : {"00", "01", "02", "03", "10", "1C", "2E", "F6"}) {
        const ReceivedChunk received = parseReceivedChunk(withType(type));
        EXPECT_EQ(received.typeText, type);
        EXPECT_EQ(received.reportKind, ReportKind::None) << type;
        EXPECT_TRUE(reportCommands(received).isEmpty()) << type;
    }
}

TEST(ReceivedChunkTest, TypeTextsThatDrawReports)
{
    const QByteArray received = "AT+CMGS=1234,1,0,32\r82100001" + End;
    const QByteArray consumed = "AT+CMGS=1234,1,0,32\r82100201" + End;
    const struct
    {
        const char *type;
        QList<QByteArray> reports;
    } cases[] = {
        {"04", {received}},           {"05", {received}},           {"06", {received}},
        {"07", {received}},           {"08", {consumed}},           {"0A", {consumed}},
        {"0a", {consumed}},           {"0B", {consumed}},           {"0C", {received, consumed}},
        {"0e", {received, consumed}}, {"0F", {received, consumed}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(reportCommands(parseReceivedChunk(withType(c.type))), c.reports) << c.type;
}

TEST(ReceivedChunkTest, TypeNotBeginningWithZeroLeavesReferenceAndBodyEmpty)
{
    const ReceivedChunk received = parseReceivedChunk(withType("10"));
    EXPECT_TRUE(received.isIndication);
    EXPECT_EQ(received.protocolIdText, "82");
    EXPECT_TRUE(received.referenceText.isEmpty());
    EXPECT_TRUE(received.messageOctets.isEmpty());
}

TEST(ReceivedChunkTest, LengthIsTruncatedToWholeOctets)
{
    // 15 bits: one octet, so only the first pair after the reference.
    EXPECT_EQ(parseReceivedChunk("\r\n+CMT: 1,0,15\r\n820001414243\r\n").messageOctets, "A");
    EXPECT_EQ(parseReceivedChunk("\r\n+CMT: 1,0,50\r\n82000141424344454647\r\n").messageOctets,
              "ABCDEF");
    EXPECT_EQ(parseReceivedChunk("\r\n+CMT: 1,0,$30\r\n820601014869\r\n").messageOctets, "\x01Hi");
}

TEST(ReceivedChunkTest, CountBelowOneGivesAnEmptyMessage)
{
    for (const char *length : {"0", "7", "-8", "-2147483648"}) {
        const ReceivedChunk received =
            parseReceivedChunk(QByteArray("\r\n+CMT: 1,0,") + length + "\r\n820601014869\r\n");
        EXPECT_TRUE(received.messageOctets.isEmpty()) << length;
        EXPECT_EQ(received.reportKind, ReportKind::Received) << length;
        EXPECT_EQ(received.referenceText, "01") << length;
    }
}

TEST(ReceivedChunkTest, HugeLengthStopsAtTheEndOfTheChunk)
{
    const ReceivedChunk received =
        parseReceivedChunk("\r\n+CMT: 1,0,2147483647\r\n820601014869\r\nmore\r\n");
    EXPECT_EQ(received.messageOctets, "\x01Hi");
    const ReceivedChunk unended = parseReceivedChunk("\r\n+CMT: 1,0,2147483647\r\n8206010148");
    EXPECT_EQ(unended.messageOctets, "\x01H");
}

TEST(ReceivedChunkTest, OddLengthBodyEndsWithAHighNibble)
{
    // '@' is 0x40: an odd digit followed by a non-hex character. The "\r"
    // after the odd digit stands inside a pair, so no cut there.
    EXPECT_EQ(parseReceivedChunk("\r\n+CMT: 1,0,40\r\n8200010141424\r\n").messageOctets,
              QByteArray("\x01") + "AB@");
    // A "\r" inside a pair is the low nibble 0 and reading goes on.
    EXPECT_EQ(parseReceivedChunk("\r\n+CMT: 1,0,64\r\n820001414\r42\r\n").messageOctets, "A@B");
    // A later "\r" at a pair start ends the message.
    EXPECT_EQ(parseReceivedChunk("\r\n+CMT: 1,0,80\r\n820001414\r\r\n4243\r\n").messageOctets,
              "A@");
}

TEST(ReceivedChunkTest, NonHexCharactersInTheBody)
{
    // A non-hex character right after a hex digit counts as 0; one at a pair
    // start is skipped.
    EXPECT_EQ(parseReceivedChunk("\r\n+CMT: 1,0,48\r\n8200010G4x41\r\n").messageOctets,
              QByteArray("\0@A", 3));
    EXPECT_EQ(parseReceivedChunk("\r\n+CMT: 1,0,56\r\n820001x4142\r\n").messageOctets, "AB");
}

TEST(ReceivedChunkTest, LengthMayEndAtAComma)
{
    const ReceivedChunk received = parseReceivedChunk("\r\n+CMT: 1234,0,48,\n820601014869\r\n");
    EXPECT_EQ(received.protocolIdText, "82");
    EXPECT_EQ(received.messageOctets, "\x01Hi");
}

TEST(ReceivedChunkTest, ChunkCutShortGivesShorterFields)
{
    const ReceivedChunk noReference = parseReceivedChunk("\r\n+CMT: 1234,0,48\r\n8206");
    EXPECT_EQ(noReference.protocolIdText, "82");
    EXPECT_EQ(noReference.typeText, "06");
    EXPECT_TRUE(noReference.referenceText.isEmpty());
    EXPECT_TRUE(noReference.messageOctets.isEmpty());
    EXPECT_EQ(reportCommands(noReference), QList<QByteArray>{"AT+CMGS=1234,1,0,24\r821000" + End});

    const ReceivedChunk halfType = parseReceivedChunk("\r\n+CMT: 1234,0,48\r\n820");
    EXPECT_EQ(halfType.typeText, "0");
    EXPECT_EQ(halfType.reportKind, ReportKind::None);

    const ReceivedChunk halfReference = parseReceivedChunk("\r\n+CMT: 1234,0,48\r\n82060");
    EXPECT_EQ(halfReference.referenceText, "0");

    const ReceivedChunk afterLength = parseReceivedChunk("\r\n+CMT: 1234,0,48\r\n");
    EXPECT_TRUE(afterLength.isIndication);
    EXPECT_EQ(afterLength.callingIssi, "1234");
    EXPECT_TRUE(afterLength.protocolIdText.isEmpty());
    EXPECT_TRUE(afterLength.typeText.isEmpty());
}

TEST(ReceivedChunkTest, LengthThatIsNoIntegerStopsTheReadingWithoutThrowing)
{
    for (const char *chunk :
         {"\r\n+CMT: 1234,0,4x\r\n820601014869\r\n", "\r\n+CMT: 1234,0,abc\r\n820601014869\r\n",
          "\r\n+CMT: 1234,0,99999999999\r\n820601014869\r\n", "\r\n+CMT", "\r\n+CMT: 1234",
          "\r\n+CMT: 1234,0,", "\r\n+CMT: 1,0,\r\n"}) {
        const ReceivedChunk received = parseReceivedChunk(chunk);
        EXPECT_TRUE(received.isIndication) << ::testing::PrintToString(QByteArray(chunk));
        EXPECT_FALSE(received.lengthBits) << ::testing::PrintToString(QByteArray(chunk));
        EXPECT_TRUE(received.protocolIdText.isEmpty());
        EXPECT_EQ(received.reportKind, ReportKind::None);
        EXPECT_TRUE(reportCommands(received).isEmpty());
    }
    EXPECT_EQ(parseReceivedChunk("\r\n+CMT: 1,0,$30\r\n820601014869\r\n").lengthBits,
              std::optional<qint32>(48));
}

TEST(ReceivedChunkTest, OnlyTheFirstIndicationIsRead)
{
    const ReceivedChunk received = parseReceivedChunk(
        "\r\n+CMT: 11,0,48\r\n820601014869\r\n\r\n+CMT: 22,0,48\r\n820A02014A6B\r\n");
    EXPECT_EQ(received.callingIssi, "11");
    EXPECT_EQ(received.referenceText, "01");
    EXPECT_EQ(received.messageOctets, "\x01Hi");
}

} // namespace
