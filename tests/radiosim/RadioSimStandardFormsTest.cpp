// The simulated radio speaking the standard both ways: service selection
// short forms and the status service, identity types, the radio's answers
// about itself, report requests by their bits, simple text, loopback
// reports, short reports, reports asking for an SDS-ACK, and the peer's
// header forms, full identities, codings and long messages.
#include "radiosim/RadioSim.h"
#include "radiosim/SdsText.h"
#include "tests/radiosim/ByteArrayPrinter.h"
#include "tests/radiosim/RadioSimExchange.h"

#include <QStringList>
#include <gtest/gtest.h>

using radiosim::CtsdsrForm;
using radiosim::RadioSim;
using radiosim::SimDialect;

namespace {

const QByteArray ok = "\r\nOK\r\n";

RadioSim::Options standardOptions()
{
    RadioSim::Options options;
    options.dialect = SimDialect::Etsi;
    return options;
}

QByteArray message(const QByteArray &destination, const QByteArray &hex)
{
    return "AT+CMGS=" + destination + "," + QByteArray::number(hex.size() * 4) + "\r\n" + hex +
           "\x1A";
}

QByteArray completion(int reference)
{
    return "\r\n+CMGS: 0,4," + QByteArray::number(reference) + "\r\n\r\nOK\r\n";
}

QByteArray ctsdsr(const QByteArray &header, const QByteArray &hex)
{
    return "\r\n+CTSDSR: " + header + "\r\n" + hex + "\r\n";
}

} // namespace

TEST(RadioSimStandardSelection, ShortFormsAndTheStatusServiceAreSelected)
{
    RadioSim sim(standardOptions());
    for (const char *selection : {"AT+CTSDS=12,0\r", "AT+CTSDS=12,0,0\r", "AT+CTSDS=12,1,0,0\r",
                                  "AT+CTSDS=13,0,0,0,0\r", "AT+CTSDS=13,0\r"})
        EXPECT_EQ(exchange(sim, selection), ok) << selection;
    // A status on the status service: two octets, no reference, looped back
    // on the same service.
    EXPECT_EQ(exchange(sim, message("1234", "8004")),
              "\r\n+CMGS: 0,4\r\n\r\nOK\r\n" + ctsdsr("13,1234,0,1234,0,16", "8004"));
    EXPECT_EQ(sim.counters().reportsSent, 0);
}

TEST(RadioSimStandardSelection, IdentityTypeDecidesTheDestinationsForm)
{
    const QByteArray refused = "\r\n+CME ERROR: 50\r\n";
    RadioSim sim(standardOptions());
    exchange(sim, "AT+CTSDS=12,1,0,0,1\r");
    EXPECT_EQ(exchange(sim, message("262100012345678", "82000501")), completion(5));
    EXPECT_EQ(exchange(sim, message("09011638300023404", "82000601")), completion(6));
    EXPECT_EQ(exchange(sim, message("4321", "82000701")), refused) << "an SSI needs type 0";
    exchange(sim, "AT+CTSDS=12,0,0,0,1\r");
    EXPECT_EQ(exchange(sim, message("4321", "82000701")), completion(7));
    EXPECT_EQ(exchange(sim, message("262100012345678", "82000801")), refused);
    EXPECT_EQ(sim.counters().messagesRefused, 2);

    RadioSim::Options lenient = standardOptions();
    lenient.lenientIdentityType = true;
    RadioSim any(lenient);
    exchange(any, "AT+CTSDS=12,0,0,0,1\r");
    EXPECT_EQ(exchange(any, message("262100012345678", "82000801")), completion(8));
}

TEST(RadioSimStandardInformation, TheRadioAnswersQuestionsAboutItselfInBothDialects)
{
    for (const SimDialect dialect : {SimDialect::Cmt, SimDialect::Etsi}) {
        RadioSim::Options options;
        options.dialect = dialect;
        options.issi = 2001;
        RadioSim sim(options);
        EXPECT_EQ(exchange(sim, "AT+CSQ?\r"), "\r\n+CSQ: 25,99\r\n" + ok);
        EXPECT_EQ(exchange(sim, "at+cbc?\r"), "\r\n+CBC: 0,80\r\n" + ok);
        EXPECT_EQ(exchange(sim, "AT+CTOM?\r"), "\r\n+CTOM: 0\r\n" + ok);
        EXPECT_EQ(exchange(sim, "AT+CTGS?\r"), "\r\n+CTGS: 1,9001\r\n" + ok);
        EXPECT_EQ(exchange(sim, "AT+CNUMF?\r"), "\r\n+CNUMF: 0,2001\r\n" + ok);
        EXPECT_EQ(sim.counters().errorsAnswered, 0);
    }
}

TEST(RadioSimStandardReports, DeliveryReportBitsAloneDecide)
{
    RadioSim sim(standardOptions());
    exchange(sim, "AT+CTSDS=12,0\r");
    EXPECT_EQ(exchange(sim, message("4321", "82040101")),
              completion(1) + ctsdsr("12,4321,0,1234,0,32", "82100001"));
    // The storage bit brings the store and forward control octet along.
    EXPECT_EQ(exchange(sim, message("4321", "8205020701")),
              completion(2) + ctsdsr("12,4321,0,1234,0,32", "82100002"));
    EXPECT_EQ(exchange(sim, message("4321", "82080301")),
              completion(3) + ctsdsr("12,4321,0,1234,0,32", "82100203"));
    EXPECT_EQ(exchange(sim, message("4321", "820D040701")),
              completion(4) + ctsdsr("12,4321,0,1234,0,32", "82100004") +
                  ctsdsr("12,4321,0,1234,0,32", "82100204"));
    EXPECT_EQ(exchange(sim, message("4321", "82030501")), completion(5))
        << "short form and storage bits ask for nothing";
    EXPECT_EQ(sim.counters().reportsSent, 5);
}

TEST(RadioSimStandardReports, SimpleTextCarriesOnlyItsCodingOctet)
{
    RadioSim sim(standardOptions());
    exchange(sim, "AT+CTSDS=12,0\r");
    // 0x1A, the UCS-2 scheme, is no SDS-TL message type.
    EXPECT_EQ(exchange(sim, message("1234", "021A00480069")),
              "\r\n+CMGS: 0,4\r\n\r\nOK\r\n" + ctsdsr("12,1234,0,1234,0,48", "021A00480069"));
    EXPECT_EQ(exchange(sim, message("4321", "09014869")), "\r\n+CMGS: 0,4\r\n\r\nOK\r\n");
    EXPECT_EQ(sim.counters().reportsSent + sim.counters().badReports, 0);
    EXPECT_EQ(sim.counters().messagesCompleted, 2);
}

TEST(RadioSimStandardReports, ReportToTheOwnIdentityAnswersTheLoopback)
{
    RadioSim sim(standardOptions());
    exchange(sim, "AT+CTSDS=12,0\r");
    exchange(sim, message("1234", "82042A014869"));
    exchange(sim, message("1234", "8210002A"));
    EXPECT_EQ(sim.counters().goodReports, 1);
    exchange(sim, message("1234", "8210002A"));
    exchange(sim, message("1234", "8210022A"));
    EXPECT_EQ(sim.counters().badReports, 2) << "once, and only what was asked for";
}

TEST(RadioSimStandardReports, ShortReportsComeOnTheStatusServiceOrAsCmt)
{
    RadioSim::Options options = standardOptions();
    options.shortReports = true;
    RadioSim sim(options);
    exchange(sim, "AT+CTSDS=12,0\r");
    EXPECT_EQ(exchange(sim, message("4321", "820C0701")),
              completion(7) + ctsdsr("13,4321,0,1234,0,16", "7E07") +
                  ctsdsr("13,4321,0,1234,0,16", "7F07"));

    options.shortReportType = radiosim::shortReportNotSupported;
    RadioSim failing(options);
    exchange(failing, "AT+CTSDS=12,0\r");
    EXPECT_EQ(exchange(failing, message("4321", "82040801")),
              completion(8) + ctsdsr("13,4321,0,1234,0,16", "7C08"));

    RadioSim::Options cmtOptions;
    cmtOptions.shortReports = true;
    cmtOptions.shortReportType = radiosim::shortReportMemoryFull;
    RadioSim cmt(cmtOptions);
    EXPECT_EQ(exchange(cmt, "AT+CMGS=4321,1,0,32\r82040901\x1A"),
              "\r\n+CMGS: 0\r\n\r\nOK\r\n\r\n+CMT: 4321,0,16\r\n7D09\r\n");
}

TEST(RadioSimStandardReports, ReportsAskingForAnAckAwaitTheTerminalsAck)
{
    RadioSim::Options options = standardOptions();
    options.reportsAskAck = true;
    RadioSim sim(options, 0);
    QStringList log;
    sim.setLogger([&log](const QString &line) { log << line; });
    exchange(sim, "AT+CTSDS=12,0\r");
    EXPECT_EQ(exchange(sim, message("4321", "82040701"), 0),
              completion(7) + ctsdsr("12,4321,0,1234,0,32", "82180007"));
    exchange(sim, message("4321", "82040801"), 10);
    exchange(sim, message("4321", "82200007"), 100);
    EXPECT_EQ(sim.counters().goodAcks, 1);
    exchange(sim, message("4321", "82200007"), 200);
    EXPECT_EQ(sim.counters().badAcks, 1) << "acknowledged once";
    EXPECT_EQ(sim.counters().reportsSent, 2) << "an ack draws no report";
    EXPECT_EQ(sim.nextDueMs(), 10 + RadioSim::ackWaitMs);
    sim.advance(10 + RadioSim::ackWaitMs);
    EXPECT_EQ(sim.counters().acksMissing, 1);
    EXPECT_EQ(log.filter("ack: ").size(), 3);
    EXPECT_TRUE(log.contains("ack: none within 30000 ms for the report 08 from 4321"));
    EXPECT_TRUE(log.contains("ack: good 82200007 to 4321"));
}

TEST(RadioSimStandardReports, BothReportsOnOneMessageAwaitAnAckEach)
{
    RadioSim::Options options = standardOptions();
    options.reportsAskAck = true;
    RadioSim sim(options, 0);
    exchange(sim, "AT+CTSDS=12,0\r");
    // Both reports asked for: received and consumed, each asking for an ack.
    exchange(sim, message("4321", "820C0701"), 0);
    exchange(sim, message("4321", "82200107"), 100);
    exchange(sim, message("4321", "82200307"), 200);
    EXPECT_EQ(sim.counters().goodAcks, 2);
    EXPECT_EQ(sim.counters().badAcks, 0);
    sim.advance(RadioSim::ackWaitMs + 1000);
    EXPECT_EQ(sim.counters().acksMissing, 0);
}

TEST(RadioSimStandardPeer, FullIdentityPeerInSevenFieldHeaders)
{
    RadioSim::Options options = standardOptions();
    options.peerIdentity = "09011638300023404";
    options.peerIntervalMs = 100;
    options.peerReportRequest = 0x04;
    options.ctsdsrForm = CtsdsrForm::Seven;
    RadioSim sim(options);
    sim.advance(100);
    const QByteArray peer = sim.takeOutput();
    EXPECT_EQ(peer, ctsdsr("12,09011638300023404,1,1234,0,144,0",
                           "82040001" + QByteArray("Peer message 1").toHex().toUpper()));
    exchange(sim, "AT+CTSDS=12,1,0,0,1\r", 110);
    exchange(sim, message("09011638300023404", "82100000"), 120);
    EXPECT_EQ(sim.counters().goodReports, 1);

    options.ctsdsrForm = CtsdsrForm::SevenSwapped;
    RadioSim swapped(options);
    swapped.advance(100);
    EXPECT_TRUE(
        swapped.takeOutput().startsWith("\r\n+CTSDSR: 12,09011638300023404,1,1234,0,0,144"));
}

TEST(RadioSimStandardPeer, LongMessagesInPartsUcs2AndTimestamps)
{
    RadioSim::Options options = standardOptions();
    options.peerIntervalMs = 100;
    options.peerReportRequest = 0x04;
    options.peerParts = 2;
    options.peerCoding.ucs2 = true;
    options.peerCoding.timestamp = radiosim::timestampValue(4, 11, 10, 15);
    RadioSim sim(options);
    QByteArray output;
    for (qint64 now = 100; now <= 150; now += 10) {
        sim.advance(now);
        output += sim.takeOutput();
    }
    EXPECT_EQ(sim.counters().peerMessagesSent, 1);
    EXPECT_EQ(output.count("+CTSDSR: 12,5678,0,1234,0,"), 2);
    EXPECT_TRUE(output.contains("\r\n8A04009A045A8F0500030002010050"));
    EXPECT_TRUE(output.contains("\r\n8A04019A045A8F0500030002020050"));
    exchange(sim, "AT+CTSDS=12,0\r", 160);
    exchange(sim, message("5678", "8A100000"), 170);
    exchange(sim, message("5678", "8A100001"), 180);
    EXPECT_EQ(sim.counters().goodReports, 2);
}
