// The standard profile against what other implementations of the PEI and
// the SDS-TL send: every vector read, and every report or acknowledgement
// written back, byte for byte.
#include "pei/CtsdsrIndication.h"
#include "pei/LongMessageAssembly.h"
#include "pei/PeiDialect.h"
#include "pei/RadioProfile.h"
#include "tests/pei/PrintIndicationKind.h"
#include "tests/support/PrintByteArray.h"

#include <gtest/gtest.h>

namespace {

using Indication::Kind;
using Indication::ShortReport;
using SdsCodec::ReportKind;

const PeiDialect &etsi()
{
    return dialectOf(RadioProfile::Etsi);
}

Indication::Reading read(const QByteArray &header, const QByteArray &dataHex)
{
    return CtsdsrIndication::read("\r\n+CTSDSR: " + header + "\r\n" + dataHex + "\r\n");
}

QByteArray shownLine(const Indication::Reading &reading)
{
    return Indication::messageLine(reading.message.callingIssi, reading.text);
}

// --- Report requests ---------------------------------------------------------

TEST(CtsdsrReportRequestTest, ShortFormBitClearAsksForTheReceivedReport)
{
    const Indication::Reading reading =
        read("12,5678,0,1234,0,184", "8204510173686F72742D666F726D207265636569766564");
    ASSERT_EQ(reading.kind, Kind::Message);
    EXPECT_EQ(reading.message.reportKind, ReportKind::Received);
    EXPECT_EQ(shownLine(reading), QByteArray(": Message received from 5678: short-form received"));
    EXPECT_EQ(etsi().reportCommands(reading), QList<QByteArray>{"AT+CMGS=5678,32\r\n82100051\x1A"});
    EXPECT_TRUE(reading.note.isEmpty());
}

TEST(CtsdsrReportRequestTest, DeliveryReportBitsAloneDecide)
{
    const QByteArray received = "AT+CMGS=5678,32\r\n82100051\x1A";
    const QByteArray consumed = "AT+CMGS=5678,32\r\n82100251\x1A";
    const struct
    {
        const char *type;
        QList<QByteArray> reports;
    } cases[] = {
        {"00", {}},
        {"02", {}},
        {"04", {received}},
        {"06", {received}},
        {"08", {consumed}},
        {"0A", {consumed}},
        {"0c", {received, consumed}},
        {"0E", {received, consumed}},
    };
    for (const auto &c : cases) {
        const Indication::Reading reading =
            read("12,5678,0,1234,0,40", QByteArray("82") + c.type + "510148");
        ASSERT_EQ(reading.kind, Kind::Message) << c.type;
        EXPECT_EQ(etsi().reportCommands(reading), c.reports) << c.type;
        EXPECT_EQ(ReceivedText::shown(reading.text), QByteArray("H")) << c.type;
    }
}

TEST(CtsdsrReportRequestTest, StoreForwardControlIsSkippedBeforeTheText)
{
    // Storage bit set: validity period and forward address type in one
    // octet, then the address as its type says.
    const struct
    {
        const char *control;
    } cases[] = {
        {"0F"},             // no forward address
        {"0812"},           // short number address
        {"0900162E"},       // SSI
        {"0A00162E00ABCD"}, // SSI and extension
        {"0B05123450"},     // external number of five digits, padded
        {"0B00"},           // external number without digits
    };
    for (const auto &c : cases) {
        const QByteArray data = QByteArray("820551") + c.control + "014869";
        const Indication::Reading reading =
            read("12,5678,0,1234,0," + QByteArray::number(data.size() * 4), data);
        ASSERT_EQ(reading.kind, Kind::Message) << c.control;
        EXPECT_EQ(ReceivedText::shown(reading.text), QByteArray("Hi")) << c.control;
        EXPECT_EQ(etsi().reportCommands(reading),
                  QList<QByteArray>{"AT+CMGS=5678,32\r\n82100051\x1A"})
            << c.control;
    }
    // Cut short, or of a reserved address type: nothing is shown or answered.
    for (const char *data : {"820551", "82055109", "8205510900", "8205510C014869", "8205510B",
                             "8205510B0912", "8205510A00162E00AB"}) {
        EXPECT_EQ(read("12,5678,0,1234,0,200", data).kind, Kind::Malformed) << data;
    }
}

// --- Header forms ------------------------------------------------------------

TEST(CtsdsrHeaderTest, SevenFieldsHaveTheLengthSixthAndEncryptionLast)
{
    const Indication::Reading reading = read("12,5678,0,1234,0,64,0", "82068001666F726D");
    ASSERT_EQ(reading.kind, Kind::Message);
    EXPECT_EQ(reading.message.callingIssi, QByteArray("5678"));
    EXPECT_EQ(shownLine(reading), QByteArray(": Message received from 5678: form"));
    EXPECT_EQ(etsi().reportCommands(reading), QList<QByteArray>{"AT+CMGS=5678,32\r\n82100080\x1A"});
    EXPECT_TRUE(reading.note.isEmpty());
    // Encryption set changes nothing of the reading.
    EXPECT_EQ(read("12,5678,0,1234,0,64,1", "82068001666F726D").message.messageOctets,
              QByteArray("\x01"
                         "form"));
}

TEST(CtsdsrHeaderTest, LengthAndEncryptionTheOtherWayRoundAreReadAndNoted)
{
    for (const char *header : {"12,5678,0,1234,0,0,64", "12,5678,0,1234,0,1,64"}) {
        const Indication::Reading reading = read(header, "82068001666F726D");
        ASSERT_EQ(reading.kind, Kind::Message) << header;
        EXPECT_EQ(reading.message.messageOctets, QByteArray("\x01"
                                                            "form"))
            << header;
        EXPECT_EQ(reading.note,
                  QByteArray(": +CTSDSR length taken from field 7, as its data line holds; "
                             "field 6 read as end-to-end encryption."))
            << header;
        EXPECT_EQ(etsi().reportCommands(reading),
                  QList<QByteArray>{"AT+CMGS=5678,32\r\n82100080\x1A"});
    }
    // Five fields, without a calling identity: the same rule, one place on.
    const Indication::Reading shortForm = read("12,1234,0,0,64", "82068001666F726D");
    ASSERT_EQ(shortForm.kind, Kind::Message);
    EXPECT_EQ(shortForm.message.messageOctets, QByteArray("\x01"
                                                          "form"));
    EXPECT_EQ(shortForm.note, QByteArray(": +CTSDSR length taken from field 5, as its data line "
                                         "holds; field 4 read as end-to-end encryption."));
}

TEST(CtsdsrHeaderTest, TheSixthFieldStaysTheLengthUnlessOnlyTheSeventhFits)
{
    // A length of 8 bits with encryption 1: the sixth field fits, so it is
    // the length, even though it is 1 or 0 away from the flags.
    const Indication::Reading one = read("12,5678,0,1234,0,8,1", "02");
    ASSERT_EQ(one.kind, Kind::Message);
    EXPECT_TRUE(one.note.isEmpty());
    // A sixth field of 1 fits one octet of data: it is the length.
    const Indication::Reading bit = read("12,5678,0,1234,0,1,8", "02");
    ASSERT_EQ(bit.kind, Kind::Message);
    EXPECT_TRUE(bit.note.isEmpty());
    // A sixth field that is no flag stays the length, cutting the data.
    const Indication::Reading cut = read("12,5678,0,1234,0,40,64", "82068001666F726D");
    ASSERT_EQ(cut.kind, Kind::Message);
    EXPECT_EQ(cut.message.messageOctets, QByteArray("\x01"
                                                    "f"));
    EXPECT_TRUE(cut.note.isEmpty());
    // Neither fits: the sixth is read, as far as the line goes.
    const Indication::Reading neither = read("12,5678,0,1234,0,0,999", "82068001666F726D");
    EXPECT_EQ(neither.kind, Kind::Malformed);
    // A seventh field too long to be a length is never taken for one.
    EXPECT_EQ(read("12,5678,0,1234,0,0,0000064", "82068001666F726D").kind, Kind::Malformed);
}

// --- Identities --------------------------------------------------------------

TEST(CtsdsrIdentityTest, SeventeenDigitIdentitiesAreReadAndAnsweredAsReceived)
{
    const Indication::Reading reading =
        read("12,09011638300023404,1,09011638300023401,1,64", "82068001666F726D");
    ASSERT_EQ(reading.kind, Kind::Message);
    EXPECT_EQ(reading.message.callingIssi, QByteArray("09011638300023404"));
    EXPECT_EQ(shownLine(reading), QByteArray(": Message received from 09011638300023404: form"));
    EXPECT_EQ(etsi().reportCommands(reading),
              QList<QByteArray>{"AT+CMGS=09011638300023404,32\r\n82100080\x1A"});
    // The reports to it go out after the service for full identities.
    EXPECT_EQ(etsi().serviceSelectionCommand(*Identity::typeOf(reading.message.callingIssi)),
              QByteArray("AT+CTSDS=12,1,0,0,1\r"));
}

TEST(CtsdsrIdentityTest, EighteenDigitsOrAnSsiBeyond24BitsAreMalformed)
{
    for (const char *caller : {"090116383000234041", "16777216", "99999999"})
        EXPECT_EQ(read(QByteArray("12,") + caller + ",1,1234,0,64", "82068001666F726D").kind,
                  Kind::Malformed)
            << caller;
}

// --- Short reports -----------------------------------------------------------

TEST(CtsdsrShortReportTest, ShortReportsAreSevenCToSevenF)
{
    const struct
    {
        const char *data;
        ShortReport type;
        const char *status;
        const char *line;
    } cases[] = {
        {"7C02", ShortReport::NotSupported, "short report: protocol or encoding not supported",
         ": Short report received: protocol or encoding not supported"},
        {"7D02", ShortReport::MemoryFull, "short report: destination memory full",
         ": Short report received: destination memory full"},
        {"7E02", ShortReport::Received, "00", ": Short report received: message received"},
        {"7f02", ShortReport::Consumed, "02", ": Short report received: message consumed"},
    };
    for (const auto &c : cases) {
        const Indication::Reading reading = read("13,4321,0,1234,0,16", c.data);
        ASSERT_EQ(reading.kind, Kind::Report) << c.data;
        ASSERT_TRUE(reading.shortReport) << c.data;
        EXPECT_EQ(*reading.shortReport, c.type) << c.data;
        EXPECT_EQ(reading.deliveryStatus, QByteArray(c.status)) << c.data;
        EXPECT_EQ(reading.reportReference, std::optional<quint8>(0x02)) << c.data;
        EXPECT_EQ(reading.message.callingIssi, QByteArray("4321")) << c.data;
        EXPECT_EQ(Indication::reportLine(reading), QByteArray(c.line)) << c.data;
        // Never answered.
        EXPECT_TRUE(etsi().acknowledgementCommand(reading).isEmpty()) << c.data;
    }
}

TEST(CtsdsrShortReportTest, TheValuesBeforeThemAreStatuses)
{
    for (const char *data : {"7802", "7A02", "7B02"}) {
        const Indication::Reading reading = read("13,4321,0,1234,0,16", data);
        ASSERT_EQ(reading.kind, Kind::Status) << data;
        EXPECT_FALSE(reading.shortReport) << data;
        EXPECT_EQ(Indication::statusLine(reading.message.callingIssi, reading.statusHex),
                  ": Status received from 4321: " + QByteArray(data));
    }
}

// --- Acknowledgements --------------------------------------------------------

TEST(CtsdsrAcknowledgementTest, ReportAskingForAnAcknowledgementIsAnsweredWithIt)
{
    const struct
    {
        const char *caller;
        const char *data;
        const char *ack;
    } cases[] = {
        {"1234567", "821800CA", "AT+CMGS=1234567,32\r\n822001CA\x1A"},
        {"1234567", "821802CA", "AT+CMGS=1234567,32\r\n822003CA\x1A"},
        {"262100012345678", "C81900FE", "AT+CMGS=262100012345678,32\r\nC82001FE\x1A"},
        // A failure status is acknowledged as a received report.
        {"5678", "82184107", "AT+CMGS=5678,32\r\n82200107\x1A"},
    };
    for (const auto &c : cases) {
        const Indication::Reading reading =
            read(QByteArray("12,") + c.caller + ",0,2345678,0,32", c.data);
        ASSERT_EQ(reading.kind, Kind::Report) << c.data;
        EXPECT_TRUE(reading.acknowledgementRequested) << c.data;
        EXPECT_EQ(etsi().acknowledgementCommand(reading), QByteArray(c.ack)) << c.data;
    }
}

TEST(CtsdsrAcknowledgementTest, NoAcknowledgementWhereNoneIsAskedOrPossible)
{
    const Indication::Reading plain = read("12,1234567,0,2345678,0,32", "821000C9");
    ASSERT_EQ(plain.kind, Kind::Report);
    EXPECT_FALSE(plain.acknowledgementRequested);
    EXPECT_TRUE(etsi().acknowledgementCommand(plain).isEmpty());
    // No reference, or nobody to answer.
    const Indication::Reading noReference = read("12,1234567,0,2345678,0,24", "821800");
    ASSERT_EQ(noReference.kind, Kind::Report);
    EXPECT_TRUE(noReference.acknowledgementRequested);
    EXPECT_TRUE(etsi().acknowledgementCommand(noReference).isEmpty());
    const Indication::Reading noCaller = read("12,2345678,0,32", "821800CA");
    ASSERT_EQ(noCaller.kind, Kind::Report);
    EXPECT_TRUE(etsi().acknowledgementCommand(noCaller).isEmpty());
    // Messages are never acknowledged; the other profile acknowledges nothing.
    const Indication::Reading message = read("12,1234567,0,2345678,0,32", "820801C9");
    EXPECT_TRUE(etsi().acknowledgementCommand(message).isEmpty());
    EXPECT_TRUE(dialectOf(RadioProfile::Cmt)
                    .acknowledgementCommand(read("12,1234567,0,2345678,0,32", "821800CA"))
                    .isEmpty());
}

// --- Text as a person reads it ---------------------------------------------

TEST(CtsdsrTextTest, CodingOctetIsNotShownAndSchemesAreDecoded)
{
    const struct
    {
        const char *data;
        const char *shown;
    } cases[] = {
        // ISO 8859-1, with control characters made visible.
        {"82000101477275DF0D0A", "Gru\xDF\\x0D\\x0A"},
        // UCS-2: "Hé☺".
        {"8200011A004800E9263A", "H\xE9\\u263A"},
        // Another scheme: hex with its number.
        {"8200010D4869", "(text coding scheme 13) 4869"},
        // A time stamp in the text header.
        {"82000181045A8F4869", "(sent 11 Apr 10:15) Hi"},
        // Immediate text, simple text and simple immediate text.
        {"890001017069642074657374", "pid test"},
        {"02014869", "Hi"},
        {"09814869", "Hi"},
        // Protocols without a text header: every octet is text.
        {"C80001014869", "\\x01Hi"},
        {"014869", "Hi"},
    };
    for (const auto &c : cases) {
        const QByteArray data = c.data;
        const Indication::Reading reading =
            read("12,5678,0,1234,0," + QByteArray::number(data.size() * 4), data);
        ASSERT_EQ(reading.kind, Kind::Message) << c.data;
        EXPECT_EQ(ReceivedText::shown(reading.text), QByteArray(c.shown)) << c.data;
    }
}

TEST(CtsdsrTextTest, HostileTextHeadersAreMalformedAndNotAnswered)
{
    for (const char *data : {"8A04510105", "8A045101050003C90203", "82045181045A"}) {
        const Indication::Reading reading = read("12,5678,0,1234,0,200", data);
        EXPECT_EQ(reading.kind, Kind::Malformed) << data;
        EXPECT_TRUE(etsi().reportCommands(reading).isEmpty()) << data;
    }
}

// --- Long messages -----------------------------------------------------------

TEST(CtsdsrLongMessageTest, PartsAreAnsweredEachAndShownOnceTogether)
{
    // Two parts as other implementations send them: each with its own
    // message reference asking for the received report, the concatenation
    // reference that of the first.
    const QByteArray part1 = "8A04C9"
                             "01"
                             "050003C90201"
                             "48656C6C6F2C206C6F6E6720";
    const QByteArray part2 = "8A04CA"
                             "01"
                             "050003C90202"
                             "776F726C64";
    const Indication::Reading second =
        read("12,5678,0,1234,0," + QByteArray::number(part2.size() * 4), part2);
    const Indication::Reading first =
        read("12,5678,0,1234,0," + QByteArray::number(part1.size() * 4), part1);
    ASSERT_EQ(second.kind, Kind::Message);
    ASSERT_EQ(first.kind, Kind::Message);
    EXPECT_EQ(etsi().reportCommands(second), QList<QByteArray>{"AT+CMGS=5678,32\r\n8A1000CA\x1A"});
    EXPECT_EQ(etsi().reportCommands(first), QList<QByteArray>{"AT+CMGS=5678,32\r\n8A1000C9\x1A"});

    LongMessageAssembly assembly;
    EXPECT_FALSE(assembly.add(second.message.callingIssi, second.text, 0));
    const std::optional<ReceivedText::Content> whole =
        assembly.add(first.message.callingIssi, first.text, 5);
    ASSERT_TRUE(whole);
    EXPECT_EQ(Indication::messageLine(first.message.callingIssi, *whole),
              QByteArray(": Message received from 5678 (2 parts): Hello, long world"));
}

TEST(CtsdsrLongMessageTest, ThePartOfTheOtherImplementationIsRead)
{
    const QByteArray data = "8A00C98D045A8F050003C90201"
                            "4869";
    const Indication::Reading reading =
        read("12,5678,0,1234,0," + QByteArray::number(data.size() * 4), data);
    ASSERT_EQ(reading.kind, Kind::Message);
    EXPECT_EQ(reading.message.reportKind, ReportKind::None);
    ASSERT_TRUE(reading.text.part);
    EXPECT_EQ(reading.text.part->reference, 0xC9);
    EXPECT_EQ(reading.text.part->count, 2);
    EXPECT_EQ(reading.text.part->number, 1);
    EXPECT_EQ(reading.text.timestamp, std::optional<quint32>(0x045A8F));
    EXPECT_EQ(ReceivedText::shown(reading.text),
              QByteArray("(sent 11 Apr 10:15) (text coding scheme 13) 4869"));
}

} // namespace
