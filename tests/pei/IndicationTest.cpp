#include "pei/Indication.h"

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
    const Indication::Reading report = Indication::read(indication("42", "821F0a05"));
    EXPECT_EQ(Indication::reportLine(report), QByteArray(": Report received with error code: 0A"));
    // This profile reads no acknowledgement request and no short report.
    EXPECT_FALSE(report.acknowledgementRequested);
    EXPECT_FALSE(report.shortReport);
}

TEST(IndicationReportTest, ShortReportsAreNamedAndTheirFailuresNeverReadAsSuccess)
{
    using Indication::ShortReport;
    const struct
    {
        ShortReport type;
        const char *status;
        const char *line;
    } cases[] = {
        {ShortReport::NotSupported, "short report: protocol or encoding not supported",
         ": Short report received: protocol or encoding not supported"},
        {ShortReport::MemoryFull, "short report: destination memory full",
         ": Short report received: destination memory full"},
        {ShortReport::Received, "00", ": Short report received: message received"},
        {ShortReport::Consumed, "02", ": Short report received: message consumed"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(Indication::shortReportStatus(c.type), QByteArray(c.status)) << c.line;
        Indication::Reading reading;
        reading.kind = Kind::Report;
        reading.shortReport = c.type;
        reading.deliveryStatus = Indication::shortReportStatus(c.type);
        EXPECT_EQ(Indication::reportLine(reading), QByteArray(c.line));
    }
}

TEST(IndicationReportTest, MessageLineNamesThePartsOfALongMessage)
{
    ReceivedText::Content text;
    text.octets = "Hi\r";
    EXPECT_EQ(Indication::messageLine("5678", text),
              QByteArray(": Message received from 5678: Hi\\x0D"));
    text.partCount = 3;
    EXPECT_EQ(Indication::messageLine("5678", text),
              QByteArray(": Message received from 5678 (3 parts): Hi\\x0D"));
}

// --- The calling ISSI ------------------------------------------------------

TEST(IndicationIssiTest, IndicationFromACallerThatIsNoSsiIsMalformed)
{
    // This profile's identities are SSIs: a full identity is refused too.
    for (const char *issi :
         {"", "16777216", "123456789", "262100012345678", "12a4", "5678\rAT+EVIL\r"}) {
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
    // The delivery report request bits alone decide, in either case of hex.
    const struct
    {
        const char *type;
        SdsCodec::ReportKind kind;
    } cases[] = {{"00", SdsCodec::ReportKind::None},     {"03", SdsCodec::ReportKind::None},
                 {"04", SdsCodec::ReportKind::Received}, {"06", SdsCodec::ReportKind::Received},
                 {"0A", SdsCodec::ReportKind::Consumed}, {"0a", SdsCodec::ReportKind::Consumed},
                 {"0E", SdsCodec::ReportKind::Both},     {"0c", SdsCodec::ReportKind::Both}};
    for (const auto &c : cases) {
        const Indication::Reading reading =
            Indication::read(indication("1234567", QByteArray("82") + c.type + "2A4869"));
        EXPECT_EQ(reading.kind, Kind::Message) << c.type;
        EXPECT_EQ(reading.message.reportKind, c.kind) << c.type;
        EXPECT_EQ(reading.message.callingIssi, QByteArray("1234567")) << c.type;
        EXPECT_EQ(reading.message.messageOctets, QByteArray("Hi")) << c.type;
        EXPECT_EQ(reading.text.octets, QByteArray("Hi")) << c.type;
        EXPECT_FALSE(reading.text.codingScheme) << c.type;
    }
}

TEST(IndicationMessageTest, ReportRequestWithTheShortFormBitClearIsAnswered)
{
    // What other implementations send, and Corvane itself: "04" asks for the
    // received report, with or without the storage bit.
    for (const char *type : {"04", "05"}) {
        const Indication::Reading reading =
            Indication::read(indication("5678", QByteArray("82") + type + "510173686F7274"));
        ASSERT_EQ(reading.kind, Kind::Message) << type;
        EXPECT_EQ(SdsCodec::reportCommands(reading.message),
                  QList<QByteArray>{"AT+CMGS=5678,1,0,32\r82100051\x1A"})
            << type;
    }
}

TEST(IndicationMessageTest, TextIsShownAsThisProfileHasAlwaysReadIt)
{
    // The coding octet of protocol identifier 130 stays part of the text,
    // shown visibly like every control character and the backslash.
    const Indication::Reading reading = Indication::read(indication("1234", "820601014869"
                                                                            "0D0A"
                                                                            "5C"
                                                                            "7F"));
    ASSERT_EQ(reading.kind, Kind::Message);
    EXPECT_EQ(reading.text.octets, QByteArray("\x01Hi\r\n\\\x7F"));
    EXPECT_EQ(Indication::messageLine(reading.message.callingIssi, reading.text),
              QByteArray(": Message received from 1234: \\x01Hi\\x0D\\x0A\\\\\\x7F"));
}

TEST(IndicationMessageTest, ReportsToACallerOfEightDigitsCarryOnlyCheckedFields)
{
    const Indication::Reading reading = Indication::read(indication("16777215", "C80E7F41"));
    ASSERT_EQ(reading.kind, Kind::Message);
    EXPECT_EQ(SdsCodec::reportCommands(reading.message),
              (QList<QByteArray>{"AT+CMGS=16777215,1,0,32\rC810007F\x1A",
                                 "AT+CMGS=16777215,1,0,32\rC810027F\x1A"}));
}

TEST(IndicationMessageTest, FieldsThatDoNotConvertAreMalformed)
{
    // A protocol identifier, type or reference that is not two hex digits:
    // whether reports are asked for or not, nothing is shown or answered.
    for (const char *userData : {"8206", "82060", "82060G", "8206\r\n", "G10601", "8 0601", "8200",
                                 "82000G", "G10001", "820G01", "82", ""}) {
        EXPECT_EQ(Indication::read(indication("1234", "48", userData)).kind, Kind::Malformed)
            << userData;
    }
    EXPECT_EQ(Indication::read(indication("1234", "48", "820000")).kind, Kind::Message);
    // A type of neither a transfer nor a report has no reference to check.
    EXPECT_EQ(Indication::read(indication("1234", "48", "8220")).kind, Kind::Message);
}

TEST(IndicationMessageTest, CutShortMessageAskingForAReportIsMalformed)
{
    const QByteArray whole = indication("1234", "820A014869");
    EXPECT_EQ(Indication::read(whole).kind, Kind::Message);
    EXPECT_EQ(Indication::read(whole.left(whole.indexOf("820A01") + 5)).kind, Kind::Malformed);
}

TEST(IndicationMessageTest, LengthThatDoesNotConvertIsMalformedNeverAnError)
{
    // Radio input never opens an error box: the length of a message or a
    // report that is no integer, or beyond one, makes the whole indication
    // malformed, and nothing is answered.
    for (const char *length : {"", "x", "abc", "32 ", "99999999999", "4x"}) {
        for (const char *userData : {"82060101", "82100001"}) {
            const Indication::Reading reading =
                Indication::read(indication("1234", length, userData));
            EXPECT_EQ(reading.kind, Kind::Malformed) << length << " " << userData;
            EXPECT_EQ(reading.message.reportKind, SdsCodec::ReportKind::None) << length;
        }
    }
    // Cut short before its length, as after a quiet line.
    EXPECT_EQ(Indication::read("\r\n+CMT: 1234").kind, Kind::Malformed);
    EXPECT_EQ(Indication::read("\r\n+CMT").kind, Kind::Malformed);
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
