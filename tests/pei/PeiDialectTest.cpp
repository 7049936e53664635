// Both PEI dialects through the one interface the window and the framer
// use: the commands they build and how they read the radio's responses.
// The "+CTSDSR" vectors are as radios and open PEI tools produce them.
#include "pei/PeiDialect.h"
#include "pei/CtsdsrIndication.h"
#include "pei/RadioProfile.h"
#include "pei/ResponseFramer.h"
#include "tests/pei/PrintIndicationKind.h"
#include "tests/support/PrintByteArray.h"
#include "text/IntegerConversionError.h"

#include <gtest/gtest.h>

#include <ostream>

using Indication::Kind;
using SdsCodec::ReportKind;
using SendingKind = ResponseScan::SendingAnswer::Kind;

namespace {

const PeiDialect &cmt()
{
    return dialectOf(RadioProfile::Cmt);
}

const PeiDialect &etsi()
{
    return dialectOf(RadioProfile::Etsi);
}

QByteArray ctsdsr(const QByteArray &header, const QByteArray &dataHex)
{
    return "\r\n+CTSDSR: " + header + "\r\n" + dataHex + "\r\n";
}

const QByteArray fullHeader120 = "12,1234567,0,2345678,0,120";
// "testmessage" behind the text coding octet 01.
const QByteArray testMessageHex = "01746573746D657373616765";
const QByteArray testMessage = QByteArray("\x01testmessage");

// --- Profiles ---------------------------------------------------------------

TEST(RadioProfileTest, SelectorOffersBothProfilesAndFallsBackToTheDefault)
{
    EXPECT_EQ(radioProfileNames(), QStringList({QStringLiteral("PEI with +CMT"),
                                                QStringLiteral("ETSI EN 300 392-5 (+CTSDSR)")}));
    EXPECT_EQ(radioProfileAt(0), RadioProfile::Cmt);
    EXPECT_EQ(radioProfileAt(1), RadioProfile::Etsi);
    for (const int stray : {-1, 2, 99})
        EXPECT_EQ(radioProfileAt(stray), RadioProfile::Cmt) << stray;
    EXPECT_NE(&dialectOf(RadioProfile::Cmt), &dialectOf(RadioProfile::Etsi));
}

// --- Commands -----------------------------------------------------------------

TEST(DialectCommandsTest, CmtDialectKeepsTheCodecBytes)
{
    EXPECT_EQ(cmt().registrationCommand("130"), QByteArray("AT+CMGS=0,1,0,8\r82\x1A"));
    EXPECT_EQ(cmt().textMessageCommand("130", 0x04, 0, "1234", "Hi"),
              QByteArray("AT+CMGS=1234,1,0,48\r820400014869\x1A"));
    EXPECT_EQ(cmt().textMessageCommand("200", 0x00, 5, "1234", "Hi"),
              QByteArray("AT+CMGS=1234,1,0,40\rC800054869\x1A"));
    // Nothing is written that today's radios were never sent.
    EXPECT_TRUE(cmt().serviceSelectionCommand().isEmpty());
    EXPECT_TRUE(cmt().maxLengthQuery().isEmpty());
    EXPECT_THROW(cmt().registrationCommand("x"), IntegerConversionError);
}

TEST(DialectCommandsTest, EtsiRegistrationNamesProtocolIdentifierInDecimal)
{
    EXPECT_EQ(etsi().registrationCommand("130"), QByteArray("AT+CTSP=1,3,130\r"));
    EXPECT_EQ(etsi().registrationCommand("0"), QByteArray("AT+CTSP=1,3,0\r"));
    EXPECT_EQ(etsi().registrationCommand("255"), QByteArray("AT+CTSP=1,3,255\r"));
    // A value outside one octet never reaches the radio.
    for (const QByteArray &bad : QList<QByteArray>{"256", "-1", "", "13x"})
        EXPECT_THROW(etsi().registrationCommand(bad), IntegerConversionError) << bad.data();
}

TEST(DialectCommandsTest, EtsiSetupAndQueryCommands)
{
    EXPECT_EQ(etsi().serviceSelectionCommand(), QByteArray("AT+CTSDS=12,0,0,0,1\r"));
    EXPECT_EQ(etsi().serviceSelectionCommand(Identity::Type::Ssi),
              QByteArray("AT+CTSDS=12,0,0,0,1\r"));
    EXPECT_EQ(etsi().serviceSelectionCommand(Identity::Type::Full),
              QByteArray("AT+CTSDS=12,1,0,0,1\r"));
    EXPECT_TRUE(cmt().serviceSelectionCommand(Identity::Type::Full).isEmpty());
    EXPECT_EQ(etsi().maxLengthQuery(), QByteArray("AT+CMGS=?\r"));
}

TEST(DialectCommandsTest, EtsiTextMessageHasTwoArgumentsAndTheSameUserData)
{
    EXPECT_EQ(etsi().textMessageCommand("130", 0x04, 0, "1234", "Hi"),
              QByteArray("AT+CMGS=1234,48\r\n820400014869\x1A"));
    EXPECT_EQ(etsi().textMessageCommand("200", 0x00, 5, "1234", "Hi"),
              QByteArray("AT+CMGS=1234,40\r\nC800054869\x1A"));
    EXPECT_EQ(etsi().textMessageCommand("130", 0x0C, 255, "7", ""),
              QByteArray("AT+CMGS=7,32\r\n820CFF01\x1A"));
    EXPECT_THROW(etsi().textMessageCommand("x", 0, 0, "1", "a"), IntegerConversionError);
}

TEST(DialectCodingTest, EtsiTextProtocolsTakeTheTextCodingOctet)
{
    // Text and immediate text: the SDS-TL header, then the coding octet.
    EXPECT_EQ(etsi().textMessageCommand("137", 0x04, 3, "1234", "pid test"),
              QByteArray("AT+CMGS=1234,96\r\n890403017069642074657374\x1A"));
    EXPECT_EQ(etsi().textMessageCommand("$89", 0x00, 0, "1234", ""),
              QByteArray("AT+CMGS=1234,32\r\n89000001\x1A"));
    // The value counts, not how the field writes it.
    EXPECT_EQ(etsi().textMessageCommand("0130", 0x08, 1, "7", "A"),
              QByteArray("AT+CMGS=7,40\r\n8208010141\x1A"));
    // Simple text: the coding octet only; no reference, no report flags.
    EXPECT_EQ(etsi().textMessageCommand("2", 0x0C, 9, "1234", "pid test"),
              QByteArray("AT+CMGS=1234,80\r\n02017069642074657374\x1A"));
    EXPECT_EQ(etsi().textMessageCommand("9", 0x04, 9, "1234", "Hi"),
              QByteArray("AT+CMGS=1234,32\r\n09014869\x1A"));
    EXPECT_EQ(etsi().textMessageCommand("2", 0, 0, "1234", ""),
              QByteArray("AT+CMGS=1234,16\r\n0201\x1A"));
    // Any other protocol as before: header and text, no coding octet.
    EXPECT_EQ(etsi().textMessageCommand("200", 0x04, 5, "1234", "Hi"),
              QByteArray("AT+CMGS=1234,40\r\nC804054869\x1A"));
    EXPECT_EQ(etsi().textMessageCommand("138", 0x00, 5, "1234", "Hi"),
              QByteArray("AT+CMGS=1234,40\r\n8A00054869\x1A"));
}

TEST(DialectCodingTest, WhatEtsiWritesReadsBackAsTyped)
{
    // The data line of each command, delivered back by a radio.
    for (const char *protocolId : {"130", "137", "2", "9"}) {
        const QByteArray command = etsi().textMessageCommand(protocolId, 0x04, 0x21, "5678", "Hi");
        const qsizetype bitsAt = command.indexOf(',') + 1;
        const qsizetype lineEnd = command.indexOf("\r\n");
        const QByteArray bits = command.mid(bitsAt, lineEnd - bitsAt);
        const QByteArray data = command.mid(lineEnd + 2).chopped(1);
        const Indication::Reading reading =
            etsi().readIndication(ctsdsr("12,5678,0,1234,0," + bits, data));
        ASSERT_EQ(reading.kind, Kind::Message) << protocolId;
        EXPECT_EQ(ReceivedText::shown(reading.text), QByteArray("Hi")) << protocolId;
    }
}

TEST(DialectCodingTest, CmtKeepsItsCodingForEveryProtocolIdentifier)
{
    EXPECT_EQ(cmt().textMessageCommand("137", 0x04, 3, "1234", "Hi"),
              QByteArray("AT+CMGS=1234,1,0,40\r8904034869\x1A"));
    EXPECT_EQ(cmt().textMessageCommand("2", 0x04, 3, "1234", "Hi"),
              QByteArray("AT+CMGS=1234,1,0,40\r0204034869\x1A"));
    EXPECT_EQ(cmt().textMessageCommand("$82", 0, 0, "9", "A"),
              QByteArray("AT+CMGS=9,1,0,32\r82000041\x1A"));
    for (const char *protocolId : {"2", "9", "130", "137", "200"}) {
        EXPECT_TRUE(cmt().reportRequestRefusal(protocolId).isEmpty()) << protocolId;
        EXPECT_TRUE(cmt().sendingNote(protocolId).isEmpty()) << protocolId;
    }
}

TEST(DialectCodingTest, EtsiSimpleTextCannotAskForReports)
{
    EXPECT_EQ(etsi().reportRequestRefusal("2"),
              QByteArray("Protocol identifier 2 is simple text: it has no SDS-TL header, so it "
                         "cannot ask for reports."));
    EXPECT_EQ(etsi().reportRequestRefusal("9"),
              QByteArray("Protocol identifier 9 is simple text: it has no SDS-TL header, so it "
                         "cannot ask for reports."));
    EXPECT_FALSE(etsi().reportRequestRefusal("$09").isEmpty());
    for (const char *protocolId : {"130", "137", "138", "200", "0", "", "x"})
        EXPECT_TRUE(etsi().reportRequestRefusal(protocolId).isEmpty()) << protocolId;
}

TEST(DialectCodingTest, EtsiNotesTheProtocolsSentWithoutACodingOctet)
{
    for (const char *protocolId : {"2", "9", "130", "137", "$82"})
        EXPECT_TRUE(etsi().sendingNote(protocolId).isEmpty()) << protocolId;
    EXPECT_EQ(etsi().sendingNote("200"),
              QByteArray(": Sent without a text coding octet (protocol identifier 200)."));
    EXPECT_EQ(etsi().sendingNote("138"),
              QByteArray(": Sent without a text coding octet (protocol identifier 138)."));
    EXPECT_EQ(etsi().sendingNote("1"),
              QByteArray(": Sent without a text coding octet (protocol identifier 1)."));
}

TEST(DialectDestinationTest, EachProfileTakesItsIdentityForms)
{
    for (const char *ssi : {"1", "1234", "16777215"}) {
        EXPECT_TRUE(cmt().acceptsDestination(ssi)) << ssi;
        EXPECT_TRUE(etsi().acceptsDestination(ssi)) << ssi;
    }
    for (const char *full : {"262100009876543", "09011638300023404", "123456789"}) {
        EXPECT_FALSE(cmt().acceptsDestination(full)) << full;
        EXPECT_TRUE(etsi().acceptsDestination(full)) << full;
    }
    for (const char *bad :
         {"", "0", "00000000", "16777216", "090116383000234041", "12 34", "-1", "1234\r"}) {
        EXPECT_FALSE(cmt().acceptsDestination(bad)) << bad;
        EXPECT_FALSE(etsi().acceptsDestination(bad)) << bad;
    }
    EXPECT_EQ(cmt().destinationRefusal(), QByteArray("Not an ISSI: a number from 1 to 16777215."));
    EXPECT_EQ(etsi().destinationRefusal(),
              QByteArray("Not an ISSI (a number from 1 to 16777215) nor a full identity "
                         "(9 to 17 digits)."));
}

TEST(DialectDestinationTest, ServiceSelectionFollowsTheDestinationsForm)
{
    EXPECT_EQ(etsi().serviceSelectionCommand(*Identity::typeOf("262100009876543")),
              QByteArray("AT+CTSDS=12,1,0,0,1\r"));
    EXPECT_EQ(etsi().serviceSelectionCommand(*Identity::typeOf("1234")),
              QByteArray("AT+CTSDS=12,0,0,0,1\r"));
}

TEST(DialectCommandsTest, EtsiReportsGoToTheCallingIdentityAsReceived)
{
    const struct
    {
        const char *caller;
        const char *typeHex;
        QList<QByteArray> reports;
    } cases[] = {
        {"1234567", "06", {"AT+CMGS=1234567,32\r\n8210009C\x1A"}},
        {"1234567", "0A", {"AT+CMGS=1234567,32\r\n8210029C\x1A"}},
        {"262100012345678",
         "0E",
         {"AT+CMGS=262100012345678,32\r\n8210009C\x1A",
          "AT+CMGS=262100012345678,32\r\n8210029C\x1A"}},
        {"1234567", "04", {"AT+CMGS=1234567,32\r\n8210009C\x1A"}},
        {"1234567", "02", {}},
        {"1234567", "03", {}},
    };
    for (const auto &c : cases) {
        const QByteArray header = QByteArray("12,") + c.caller + ",0,2345678,0,120";
        const Indication::Reading reading = etsi().readIndication(
            ctsdsr(header, QByteArray("82") + c.typeHex + "9C" + testMessageHex));
        ASSERT_EQ(reading.kind, Kind::Message) << c.caller << ' ' << c.typeHex;
        EXPECT_EQ(reading.message.callingIssi, QByteArray(c.caller));
        EXPECT_EQ(etsi().reportCommands(reading), c.reports) << c.caller << ' ' << c.typeHex;
    }
}

TEST(DialectCommandsTest, CmtReportsThroughTheDialectAreTheCodecs)
{
    const Indication::Reading reading =
        cmt().readIndication("\r\n+CMT: 1234,0,48\r\n820E01014869\r\n");
    ASSERT_EQ(reading.kind, Kind::Message);
    EXPECT_EQ(cmt().reportCommands(reading),
              QList<QByteArray>(
                  {"AT+CMGS=1234,1,0,32\r82100001\x1A", "AT+CMGS=1234,1,0,32\r82100201\x1A"}));
}

// --- Answers ------------------------------------------------------------------

TEST(DialectAnswersTest, EtsiCompletionTakesAnyValuesAndRefusalsAsToday)
{
    for (const QByteArray &completion :
         QList<QByteArray>{"\r\n+CMGS: 0\r\n\r\nOK\r\n", "\r\n+CMGS: 0,4,12\r\n\r\nOK\r\n",
                           "\r\n+CMGS: 3,4\r\n\r\nOK\r\n", "\r\n+CMGS: 1,0,255\r\n\r\nOK\r\n"}) {
        const ResponseScan::SendingAnswer answer = etsi().readSendingAnswer(completion);
        EXPECT_EQ(answer.kind, SendingKind::Completed) << completion.data();
        EXPECT_EQ(answer.line, QByteArray(": Send command completed successfully."));
    }
    const ResponseScan::SendingAnswer refused = etsi().readSendingAnswer("\r\n+CME ERROR: 35\r\n");
    EXPECT_EQ(refused.kind, SendingKind::Refused);
    EXPECT_EQ(refused.line, QByteArray(": CME ERROR received from MS with error code: 35"));
    EXPECT_EQ(etsi().readSendingAnswer("\r\nERROR\r\n").kind, SendingKind::Refused);
    // Not completions: no OK after the values, the length range, a bare OK.
    for (const QByteArray &other :
         QList<QByteArray>{"\r\n+CMGS: 0,4,12\r\n", "\r\n+CMGS: (8-1184)\r\n\r\nOK\r\n",
                           "\r\nOK\r\n", "\r\n+CMGS: 0,4\rX\r\n\r\nOK\r\n"})
        EXPECT_EQ(etsi().readSendingAnswer(other).kind, SendingKind::None) << other.data();
}

TEST(DialectAnswersTest, CmtKeepsItsExactCompletion)
{
    EXPECT_EQ(cmt().readSendingAnswer("\r\n+CMGS: 0\r\n\r\nOK\r\n").kind, SendingKind::Completed);
    EXPECT_EQ(cmt().readSendingAnswer("\r\n+CMGS: 0,4,12\r\n\r\nOK\r\n").kind, SendingKind::None);
    EXPECT_TRUE(cmt().isRegistrationAnswer("\r\n+CMGS: 0\r\n\r\nOK\r\n"));
    EXPECT_FALSE(cmt().isRegistrationAnswer("\r\nOK\r\n"));
}

TEST(DialectAnswersTest, EtsiRegistrationIsAnsweredByOk)
{
    EXPECT_TRUE(etsi().isRegistrationAnswer("\r\nOK\r\n"));
    EXPECT_FALSE(etsi().isRegistrationAnswer("\r\n+CMGS: 0\r\n\r\nOK\r\n"));
    EXPECT_FALSE(etsi().isRegistrationAnswer("\r\nERROR\r\n"));
    EXPECT_FALSE(etsi().isRegistrationAnswer("AT+CTSP=1,3,130\r\r\nOK\r\n"));
}

TEST(DialectAnswersTest, EtsiMaximumLengthIsTheLastRange)
{
    EXPECT_EQ(etsi().maxLengthBits("\r\n+CMGS: (0-16777214,00000001-10231638316777214,1-255,"
                                   "0-999999999999999999999999),(8-1184)\r\n\r\nOK\r\n"),
              std::optional<int>(1184));
    EXPECT_EQ(etsi().maxLengthBits("\r\n+CMGS: (8-2047)\r\n\r\nOK\r\n"), std::optional<int>(2047));
    // Nothing usable: no range, a limit beyond Short Data, junk in the range.
    for (const QByteArray &other :
         QList<QByteArray>{"\r\nOK\r\n", "\r\n+CMGS: (8-4096)\r\n\r\nOK\r\n",
                           "\r\n+CMGS: (8-)\r\n\r\nOK\r\n", "\r\n+CMGS: (8-1x84)\r\n\r\nOK\r\n",
                           "\r\n+CMGS: (8-1184\r\n\r\nOK\r\n", "\r\n+CMGS: (8-4)\r\n\r\nOK\r\n",
                           "\r\n+CMGS: (8-99999999999999999999)\r\nOK\r\n", "\r\nERROR\r\n"})
        EXPECT_EQ(etsi().maxLengthBits(other), std::nullopt) << other.data();
    EXPECT_EQ(cmt().maxLengthBits("\r\n+CMGS: (8-1184)\r\n\r\nOK\r\n"), std::nullopt);
}

// --- Indications -----------------------------------------------------------------

TEST(EtsiIndicationTest, HeaderFormsFindCallerAndLengthWhereverTheyStand)
{
    const struct
    {
        const char *header;
        const char *dataHex;
        const char *caller;
        QByteArray octets;
    } cases[] = {
        // 104 bits: header, coding octet and nine characters.
        {"12,1234567,0,2345678,0,104", "82029C01746573746D65737361", "1234567",
         QByteArray("\x01testmessa")},
        // Called identity only: no caller to show or answer.
        {"12,1234567,16", "0248", "", "H"},
        {"12,1234567,0,16", "0248", "", "H"},
        // The length before the end-to-end encryption flag, and, as some
        // radios send them, the other way round.
        {"12,1234567,0,2345678,0,16,1", "0248", "1234567", "H"},
        {"12,1234567,0,2345678,0,1,16", "0248", "1234567", "H"},
        // Blanks around fields, as some radios write them.
        {"12, 1234567, 0, 2345678, 0, 16", "0248", "1234567", "H"},
    };
    for (const auto &c : cases) {
        const Indication::Reading reading = etsi().readIndication(ctsdsr(c.header, c.dataHex));
        ASSERT_EQ(reading.kind, Kind::Message) << c.header;
        EXPECT_EQ(reading.message.callingIssi, QByteArray(c.caller)) << c.header;
        EXPECT_EQ(reading.message.messageOctets, c.octets) << c.header;
        EXPECT_TRUE(etsi().reportCommands(reading).isEmpty()) << c.header;
    }
}

TEST(EtsiIndicationTest, SdsTlTextWithAndWithoutReportRequest)
{
    const Indication::Reading plain =
        etsi().readIndication(ctsdsr(fullHeader120, "82029C" + testMessageHex));
    ASSERT_EQ(plain.kind, Kind::Message);
    EXPECT_EQ(plain.message.callingIssi, QByteArray("1234567"));
    EXPECT_EQ(plain.message.messageOctets, testMessage);
    EXPECT_EQ(plain.message.reportKind, ReportKind::None);
    EXPECT_EQ(plain.message.referenceText, QByteArray("9C"));

    const Indication::Reading asking =
        etsi().readIndication(ctsdsr(fullHeader120, "82069C" + testMessageHex));
    ASSERT_EQ(asking.kind, Kind::Message);
    EXPECT_EQ(asking.message.reportKind, ReportKind::Received);
    EXPECT_EQ(asking.message.messageOctets, testMessage);
}

TEST(EtsiIndicationTest, ReportsAndShortReportsGiveTheirStatus)
{
    const struct
    {
        const char *header;
        const char *dataHex;
        const char *status;
    } cases[] = {
        {"12,1234567,0,2345678,0,32", "821000C9", "00"},
        // "ack required" set: still a report.
        {"12,1234567,0,2345678,0,32", "821800CA", "00"},
        {"12,1234567,0,2345678,0,32", "821002C9", "02"},
        {"12,1234567,0,2345678,0,32", "8210FFC9", "FF"},
    };
    for (const auto &c : cases) {
        const Indication::Reading reading = etsi().readIndication(ctsdsr(c.header, c.dataHex));
        ASSERT_EQ(reading.kind, Kind::Report) << c.dataHex;
        EXPECT_EQ(reading.deliveryStatus, QByteArray(c.status)) << c.dataHex;
        EXPECT_FALSE(reading.shortReport) << c.dataHex;
        EXPECT_EQ(Indication::reportLine(reading),
                  ": Report received with error code: " + QByteArray(c.status));
    }
}

TEST(EtsiIndicationTest, AcknowledgementIsShownNotAnswered)
{
    const Indication::Reading reading =
        etsi().readIndication(ctsdsr("12,1234567,0,2345678,0,32", "822001C9"));
    EXPECT_EQ(reading.kind, Kind::Acknowledgement);
    EXPECT_EQ(Indication::acknowledgementLine(), QByteArray(": Acknowledgement received."));
}

TEST(EtsiIndicationTest, StatusShowsCallerAndValue)
{
    const Indication::Reading reading =
        etsi().readIndication(ctsdsr("13,1234567,0,2345678,0,16", "8004"));
    ASSERT_EQ(reading.kind, Kind::Status);
    EXPECT_EQ(reading.message.callingIssi, QByteArray("1234567"));
    EXPECT_EQ(reading.statusHex, QByteArray("8004"));
    EXPECT_EQ(Indication::statusLine(reading.message.callingIssi, reading.statusHex),
              QByteArray(": Status received from 1234567: 8004"));
    // 0x78 to 0x7B come before the short reports: statuses like any other.
    for (const char *value : {"78ca", "7BCA", "7D"}) {
        const Indication::Reading other =
            etsi().readIndication(ctsdsr("13,1234567,0,2345678,0,16", value));
        ASSERT_EQ(other.kind, Kind::Status) << value;
        EXPECT_EQ(other.statusHex, QByteArray(value).toUpper());
    }
}

TEST(EtsiIndicationTest, SimpleTextHasNoTransportHeaderAndNoReport)
{
    const Indication::Reading reading =
        etsi().readIndication(ctsdsr("12,1234567,0,2345678,0,104", "02" + testMessageHex));
    ASSERT_EQ(reading.kind, Kind::Message);
    EXPECT_EQ(reading.message.messageOctets, testMessage);
    EXPECT_TRUE(etsi().reportCommands(reading).isEmpty());
}

TEST(EtsiIndicationTest, StatedLengthCapsTheDataButNeverReachesPastItsLine)
{
    // 84 bits stated, 22 hex digits sent: 84 bits round up to all 11 octets.
    const QByteArray hex22 = "82069C01746573746D6573";
    ASSERT_EQ(hex22.size(), 22);
    const Indication::Reading radio =
        etsi().readIndication(ctsdsr("12,2269001,0,9999,0,84", hex22));
    ASSERT_EQ(radio.kind, Kind::Message);
    EXPECT_EQ(radio.message.callingIssi, QByteArray("2269001"));
    EXPECT_EQ(radio.message.messageOctets, QByteArray("\x01testmes"));
    EXPECT_EQ(etsi().reportCommands(radio),
              QList<QByteArray>({"AT+CMGS=2269001,32\r\n8210009C\x1A"}));

    const struct
    {
        const char *length;
        QByteArray octets;
    } cases[] = {
        {"40", QByteArray("\x01t")},         // five octets
        {"41", QByteArray("\x01te")},        // rounded up to six
        {"2000", QByteArray("\x01testmes")}, // the line ends first
        {"0", QByteArray()},
    };
    for (const auto &c : cases) {
        const QByteArray header = QByteArray("12,2269001,0,9999,0,") + c.length;
        // What follows the data line is not part of the message.
        const Indication::Reading reading =
            etsi().readIndication(ctsdsr(header, hex22) + "\r\nOK\r\n");
        if (c.octets.isEmpty()) {
            EXPECT_EQ(reading.kind, Kind::Malformed) << c.length;
            continue;
        }
        ASSERT_EQ(reading.kind, Kind::Message) << c.length;
        EXPECT_EQ(reading.message.messageOctets, c.octets) << c.length;
    }
    // An odd digit at the end of the line is no octet.
    const Indication::Reading odd = etsi().readIndication(ctsdsr("12,1,0,2,0,40", "020148656"));
    ASSERT_EQ(odd.kind, Kind::Message);
    EXPECT_EQ(odd.message.messageOctets, QByteArray("\x01He"));
}

TEST(EtsiIndicationTest, CallingIdentityIsAnSsiOrAFullIdentity)
{
    for (const QByteArray &good : QList<QByteArray>{"1", "16777215", "123456789", "262100012345678",
                                                    "1234567890123456", "09011638300023404"}) {
        const Indication::Reading reading =
            etsi().readIndication(ctsdsr("12," + good + ",0,2345678,0,32", "82060101"));
        ASSERT_EQ(reading.kind, Kind::Message) << good.data();
        EXPECT_EQ(reading.message.callingIssi, good);
    }
    for (const QByteArray &bad : QList<QByteArray>{"", "16777216", "090116383000234041", "12a4",
                                                   "-1", "5678\rAT+EVIL", "1 2"}) {
        EXPECT_EQ(etsi().readIndication(ctsdsr("12," + bad + ",0,2345678,0,32", "82060101")).kind,
                  Kind::Malformed)
            << bad.data();
    }
}

TEST(EtsiIndicationTest, UntrustedHeadersAndDataAreMalformed)
{
    for (const QByteArray &bad : {
             ctsdsr("12,1234567", "0248"),                     // too few fields
             ctsdsr("12,1,0,2,0,1,0,16", "0248"),              // too many
             ctsdsr("12,1234567,0,2345678,0,x", "0248"),       // length not digits
             ctsdsr("12,1234567,0,2345678,0,1234567", "0248"), // absurd length
             ctsdsr("12,1234567,0,2345678,0,16", "02G8"),      // data not hex
             ctsdsr("12,1234567,0,2345678,0,16", ""),          // no data
             ctsdsr("9,1234567,0,2345678,0,16", "0248"),       // service not handled
             ctsdsr("12,1234567,0,2345678,0,16", "8230"),      // unknown TL type
             ctsdsr("12,1234567,0,2345678,0,16", "8200"),      // transfer cut short
             ctsdsr("12,1234567,0,2345678,0,16", "8210"),      // report cut short
             ctsdsr("12,1234567,0,2345678,0,8", "82"),         // TL header missing
             QByteArray("\r\n+CTSDSR: 12,5678\rAT+EVIL\r,0,32\r\n820E0041\r\n"),
             QByteArray("\r\n+CTSDSR: 12,1234567,0,2345678,0,32"), // cut short
         })
        EXPECT_EQ(etsi().readIndication(bad).kind, Kind::Malformed) << bad.data();
}

TEST(EtsiIndicationTest, OtherResponsesAreNoIndication)
{
    for (const QByteArray &other : QList<QByteArray>{"\r\nOK\r\n", "\r\n+CMGS: 0,4,1\r\n\r\nOK\r\n",
                                                     "\r\n+CMT: 1234,0,32\r\n82100001\r\n", "",
                                                     "+CTSDS", "\r\n+CTSDS: 12\r\n"})
        EXPECT_EQ(etsi().readIndication(other).kind, Kind::None) << other.data();
    // The "+CMT" dialect does not read the standard's indications.
    EXPECT_EQ(cmt().readIndication(ctsdsr(fullHeader120, "82069C" + testMessageHex)).kind,
              Kind::None);
}

// --- Framing --------------------------------------------------------------------

QList<QByteArray> framed(const PeiDialect &dialect, const QByteArray &stream)
{
    ResponseFramer framer(dialect);
    QList<QByteArray> responses;
    for (const FramedResponse &response : framer.feed(stream, 0))
        responses.append(response.bytes);
    return responses;
}

TEST(DialectFramingTest, EtsiIndicationIsHeaderAndDataLine)
{
    const QByteArray indication = ctsdsr(fullHeader120, "82069C" + testMessageHex);
    const QByteArray range = "\r\n+CMGS: (0-16777214),(8-1184)\r\n\r\nOK\r\n";
    const QByteArray completion = "\r\n+CMGS: 0,4,7\r\n\r\nOK\r\n";
    EXPECT_EQ(framed(etsi(), range + completion + indication + "\r\nOK\r\n"),
              QList<QByteArray>({range, completion, indication, "\r\nOK\r\n"}));
    // To the "+CMT" dialect the header is a line of its own.
    EXPECT_EQ(framed(cmt(), indication).size(), 2);
}

TEST(DialectFramingTest, FramerFollowsTheDialectItIsGiven)
{
    const QByteArray indication = ctsdsr(fullHeader120, "82069C" + testMessageHex);
    ResponseFramer framer(cmt());
    framer.setDialect(etsi());
    const QList<FramedResponse> responses = framer.feed(indication, 5);
    ASSERT_EQ(responses.size(), 1);
    EXPECT_EQ(responses.first().bytes, indication);
}

} // namespace
