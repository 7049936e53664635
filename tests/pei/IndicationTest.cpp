#include "pei/Indication.h"
#include "text/IntegerConversionError.h"

#include "tests/pei/PrintIndicationKind.h"
#include "tests/support/PrintByteArray.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>

using Indication::Kind;

namespace {

QByteArray indication(const QByteArray &issi, const QByteArray &lengthText,
                      const QByteArray &userDataHex)
{
    return "\r\n+CMT: " + issi + ",0," + lengthText + "\r\n" + userDataHex + "\r\n";
}

QByteArray indication(const QByteArray &issi, const QByteArray &userDataHex)
{
    return indication(issi, QByteArray::number(userDataHex.size() / 2 * 8), userDataHex);
}

// --- Reports ---------------------------------------------------------------

TEST(IndicationReportTest, StatusIsReadForCallersOfEveryIssiLength)
{
    const struct
    {
        const char *issi;
        const char *userData;
        const char *status;
    } cases[] = {
        {"7", "82100001", "00"},        {"1234", "82100201", "02"},
        {"1234567", "82100A7F", "0A"},  {"16777215", "C8100003", "00"},
        {"12345678", "821002FF", "02"}, {"42", "821F0a05", "0A"},
        {"42", "8210ff05", "FF"},       {"99999", "82108E05", "8E"},
    };
    for (const auto &c : cases) {
        const Indication::Reading reading = Indication::read(indication(c.issi, c.userData));
        EXPECT_EQ(reading.kind, Kind::Report) << c.issi << " " << c.userData;
        EXPECT_EQ(reading.deliveryStatus, QByteArray(c.status)) << c.issi << " " << c.userData;
    }
}

TEST(IndicationReportTest, AnyTypeWithHighNibbleOneIsAReport)
{
    for (const char *type : {"10", "11", "1A", "1f"}) {
        const QByteArray response = indication("1234", QByteArray("82") + type + "0201");
        EXPECT_EQ(Indication::read(response).kind, Kind::Report) << type;
    }
    // 0x20 and up are not reports; nor is a type that is not hex.
    EXPECT_NE(Indication::read(indication("1234", "82200201")).kind, Kind::Report);
    EXPECT_NE(Indication::read(indication("1234", "821G0201")).kind, Kind::Report);
}

TEST(IndicationReportTest, ReportWithoutWholeStatusOctetIsMalformed)
{
    const QByteArray whole = indication("1234567", "82100001");
    const qsizetype statusAt = whole.indexOf("8210") + 4;
    ASSERT_EQ(Indication::read(whole.left(statusAt + 2)).kind, Kind::Report);
    for (const qsizetype cut : {statusAt, statusAt + 1})
        EXPECT_EQ(Indication::read(whole.left(cut)).kind, Kind::Malformed) << "cut at " << cut;
    EXPECT_EQ(Indication::read(indication("1234567", "8210")).kind, Kind::Malformed);
    EXPECT_EQ(Indication::read(indication("1234567", "82100G01")).kind, Kind::Malformed);
    EXPECT_EQ(Indication::read(indication("1234567", "8210 001")).kind, Kind::Malformed);
}

TEST(IndicationReportTest, ReferenceIsTheLastUserDataOctet)
{
    const struct
    {
        const char *issi;
        const char *userData;
        int reference;
    } cases[] = {
        {"7", "82100001", 0x01},
        {"12345678", "821002FF", 0xFF},
        {"42", "8210000a", 0x0A},
        {"1234", "C8100200", 0x00},
    };
    for (const auto &c : cases) {
        const Indication::Reading reading = Indication::read(indication(c.issi, c.userData));
        ASSERT_EQ(reading.kind, Kind::Report) << c.userData;
        ASSERT_TRUE(reading.reportReference) << c.userData;
        EXPECT_EQ(int(*reading.reportReference), c.reference) << c.userData;
    }
    // A report cut short, or with a reference that is not hex, is still a
    // report, about no message in particular.
    const QByteArray whole = indication("1234", "82100201");
    const qsizetype referenceAt = whole.indexOf("821002") + 6;
    for (const qsizetype cut : {referenceAt, referenceAt + 1}) {
        const Indication::Reading reading = Indication::read(whole.left(cut));
        EXPECT_EQ(reading.kind, Kind::Report) << "cut at " << cut;
        EXPECT_FALSE(reading.reportReference) << "cut at " << cut;
    }
    EXPECT_FALSE(Indication::read(indication("1234", "821002G1")).reportReference);
    // Messages carry no report reference.
    EXPECT_FALSE(Indication::read(indication("1234", "82040741")).reportReference);
}

TEST(IndicationReportTest, LineTexts)
{
    EXPECT_EQ(Indication::reportLine("02"), QByteArray(": Report received with error code: 02"));
    EXPECT_EQ(Indication::malformedLine(), QByteArray(": Malformed message from radio ignored."));
}

// --- The calling ISSI ------------------------------------------------------

TEST(IndicationIssiTest, IssiIsOneToEightDigitsOfAtMost24Bits)
{
    for (const char *issi : {"1", "0", "1234", "1234567", "16777215", "00000001"})
        EXPECT_TRUE(Indication::isValidIssi(issi)) << issi;
    for (const char *issi : {"", "16777216", "99999999", "123456789", "000000001", "12a4", " 1234",
                             "1234 ", "+1234", "-1", "$FF", "5678\rAT+EVIL\r"})
        EXPECT_FALSE(Indication::isValidIssi(issi)) << issi;
}

TEST(IndicationIssiTest, IndicationFromAnInvalidCallerIsMalformed)
{
    for (const char *issi : {"", "16777216", "123456789", "12a4", "5678\rAT+EVIL\r"}) {
        EXPECT_EQ(Indication::read(indication(issi, "82100001")).kind, Kind::Malformed) << issi;
        EXPECT_EQ(Indication::read(indication(issi, "820E01014869")).kind, Kind::Malformed) << issi;
    }
    EXPECT_EQ(Indication::read("\r\n+CMT: 12a4").kind, Kind::Malformed) << "no comma at all";
}

TEST(IndicationIssiTest, InjectedCommandIsMalformed)
{
    const Indication::Reading reading =
        Indication::read("\r\n+CMT: 5678\rAT+EVIL\r,0,32\r\n820E0041\r\n");
    EXPECT_EQ(reading.kind, Kind::Malformed);
    EXPECT_EQ(reading.message.reportKind, SdsCodec::ReportKind::None)
        << "nothing that could be answered is handed on";
}

// --- Messages --------------------------------------------------------------

TEST(IndicationMessageTest, MessageCarriesEachReportKind)
{
    const struct
    {
        const char *type;
        SdsCodec::ReportKind kind;
    } cases[] = {{"00", SdsCodec::ReportKind::None},
                 {"04", SdsCodec::ReportKind::None},
                 {"06", SdsCodec::ReportKind::Received},
                 {"0A", SdsCodec::ReportKind::Consumed},
                 {"0E", SdsCodec::ReportKind::Both}};
    for (const auto &c : cases) {
        const Indication::Reading reading =
            Indication::read(indication("1234567", QByteArray("82") + c.type + "2A4869"));
        EXPECT_EQ(reading.kind, Kind::Message) << c.type;
        EXPECT_EQ(reading.message.reportKind, c.kind) << c.type;
        EXPECT_EQ(reading.message.callingIssi, QByteArray("1234567")) << c.type;
        EXPECT_EQ(reading.message.messageOctets, QByteArray("Hi")) << c.type;
    }
}

TEST(IndicationMessageTest, ReportsToACallerOfEightDigitsCarryOnlyCheckedFields)
{
    const Indication::Reading reading = Indication::read(indication("16777215", "C80E7F41"));
    ASSERT_EQ(reading.kind, Kind::Message);
    EXPECT_EQ(SdsCodec::reportCommands(reading.message),
              (QList<QByteArray>{"AT+CMGS=16777215,1,0,32\rC810007F\x1A",
                                 "AT+CMGS=16777215,1,0,32\rC810027F\x1A"}));
}

TEST(IndicationMessageTest, BadFieldsMatterOnlyWhenReportsAreAskedFor)
{
    // Asking for a report whose reference or protocol identifier is not two
    // hex digits: answering would copy those bytes into a command.
    for (const char *userData : {"8206", "82060", "82060G", "8206\r\n", "G10601", "8 0601"}) {
        EXPECT_EQ(Indication::read(indication("1234", "48", userData)).kind, Kind::Malformed)
            << userData;
    }
    // Asking for none, the same fields are only shown.
    for (const char *userData : {"8200", "820000", "82000G", "G10001"}) {
        EXPECT_EQ(Indication::read(indication("1234", "48", userData)).kind, Kind::Message)
            << userData;
    }
}

TEST(IndicationMessageTest, CutShortMessageAskingForAReportIsMalformed)
{
    const QByteArray whole = indication("1234", "820A014869");
    EXPECT_EQ(Indication::read(whole).kind, Kind::Message);
    EXPECT_EQ(Indication::read(whole.left(whole.indexOf("820A01") + 5)).kind, Kind::Malformed);
}

TEST(IndicationMessageTest, LengthThatIsNotAnIntegerThrowsForAValidCaller)
{
    for (const char *length : {"", "x", "32 "}) {
        EXPECT_THROW(Indication::read(indication("1234", length, "82060101")),
                     IntegerConversionError)
            << length;
        EXPECT_THROW(Indication::read(indication("1234", length, "82100001")),
                     IntegerConversionError)
            << length;
    }
    // Cut short before its length, as after a quiet line: the error box, as ever.
    EXPECT_THROW(Indication::read("\r\n+CMT: 1234"), IntegerConversionError);
    // An invalid caller is malformed before its length is read.
    EXPECT_EQ(Indication::read(indication("12a4", "x", "82060101")).kind, Kind::Malformed);
}

// --- Not indications -------------------------------------------------------

TEST(IndicationNoneTest, OtherResponsesAreNotIndications)
{
    for (const char *response :
         {"", "\r\nOK\r\n", "\r\n+CMGS: 0\r\n\r\nOK\r\n", "\r\n+CME ERROR: 35\r\n", "AT\r",
          "+CMT: 1234,0,32\r\n82100001\r\n", "\r\n+CM", "x\r\n+CMT: 1234,0,32\r\n82100001\r\n"}) {
        const Indication::Reading reading = Indication::read(response);
        EXPECT_EQ(reading.kind, Kind::None) << response;
        EXPECT_TRUE(reading.deliveryStatus.isEmpty()) << response;
    }
}

} // namespace
