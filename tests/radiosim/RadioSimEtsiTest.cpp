// The simulated radio speaking the standard's dialect: registration with
// AT+CTSP, service selection, the length query, two-argument messages,
// "+CTSDSR" indications for reports, loopback, peer traffic and statuses.
#include "radiosim/PeiFramer.h"
#include "radiosim/RadioSim.h"
#include "radiosim/RunnerOptions.h"
#include "radiosim/SdsWire.h"
#include "tests/radiosim/ByteArrayPrinter.h"
#include "tests/radiosim/RadioSimExchange.h"

#include <gtest/gtest.h>

using radiosim::RadioSim;
using radiosim::SimDialect;

namespace {

const QByteArray ok = "\r\nOK\r\n";
const QByteArray error = "\r\nERROR\r\n";
const QByteArray selection = "AT+CTSDS=12,0,0,0,1\r";

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

} // namespace

TEST(RadioSimEtsiCommands, RegistrationSelectionAndLengthQueryAreAnswered)
{
    RadioSim sim(standardOptions());
    EXPECT_EQ(exchange(sim, "AT+CTSP=1,3,130\r"), ok);
    EXPECT_EQ(exchange(sim, "at+ctsp=1,3,0\r"), ok);
    EXPECT_EQ(sim.counters().registrations, 2);
    for (const char *bad :
         {"AT+CTSP=2,3,130\r", "AT+CTSP=1,3,256\r", "AT+CTSP=1,3\r", "AT+CTSP=1,3,x\r",
          "AT+CTSDS=9,0,0,0,1\r", "AT+CTSDS=12\r", "AT+CTSDS=12,2\r", "AT+CTSDS=12,0,0,0,1,0\r"})
        EXPECT_EQ(exchange(sim, bad), error) << bad;
    EXPECT_EQ(sim.counters().registrations, 2);
    EXPECT_EQ(exchange(sim, selection), ok);
    EXPECT_EQ(exchange(sim, "AT+CMGS=?\r"),
              QByteArray("\r\n+CMGS: (0-16777214,00000001-10231638316777214,1-255,"
                         "0-999999999999999999999999),(8-1184)\r\n\r\nOK\r\n"));
}

TEST(RadioSimEtsiCommands, CmtRadioKnowsNoneOfTheStandardsCommands)
{
    RadioSim sim;
    for (const char *command : {"AT+CTSP=1,3,130\r", "AT+CTSDS=12,0,0,0,1\r", "AT+CMGS=?\r"})
        EXPECT_EQ(exchange(sim, command), error) << command;
    EXPECT_EQ(sim.counters().registrations, 0);
}

TEST(RadioSimEtsiMessages, MessageBeforeTheServiceSelectionIsRefused)
{
    RadioSim sim(standardOptions());
    EXPECT_EQ(exchange(sim, message("4321", "820007014869")), QByteArray("\r\n+CME ERROR: 3\r\n"));
    EXPECT_EQ(sim.counters().messagesRefused, 1);
    exchange(sim, selection);
    EXPECT_EQ(exchange(sim, message("4321", "820007014869")),
              QByteArray("\r\n+CMGS: 0,4,7\r\n\r\nOK\r\n"));
    EXPECT_EQ(sim.counters().messagesCompleted, 1);
}

TEST(RadioSimEtsiMessages, CompletionNamesTheReferenceAndReportsComeAsCtsdsr)
{
    RadioSim sim(standardOptions());
    exchange(sim, selection);
    EXPECT_EQ(exchange(sim, message("4321", "820C2A014869")),
              QByteArray("\r\n+CMGS: 0,4,42\r\n\r\nOK\r\n"
                         "\r\n+CTSDSR: 12,4321,0,1234,0,32\r\n8210002A\r\n"
                         "\r\n+CTSDSR: 12,4321,0,1234,0,32\r\n8210022A\r\n"));
    EXPECT_EQ(sim.counters().reportsSent, 2);
}

TEST(RadioSimEtsiMessages, WrongFormsAreRefused)
{
    RadioSim sim(standardOptions());
    exchange(sim, selection);
    // The "+CMT" radios' four arguments, and the hex without its own line.
    EXPECT_EQ(exchange(sim, "AT+CMGS=4321,1,0,48\r\n820007014869\x1A"), error);
    EXPECT_EQ(exchange(sim, "AT+CMGS=4321,48\r820007014869\x1A"), error);
    EXPECT_EQ(exchange(sim, "AT+CMGS=4321,40\r\n820007014869\x1A"),
              QByteArray("\r\n+CME ERROR: 35\r\n"));
    EXPECT_EQ(sim.counters().errorsAnswered, 2);
    EXPECT_EQ(sim.counters().messagesRefused, 1);
}

TEST(RadioSimEtsiMessages, LoopbackComesBackFromTheOwnIssi)
{
    RadioSim sim(standardOptions());
    exchange(sim, selection);
    EXPECT_EQ(exchange(sim, message("1234", "820001014869")),
              QByteArray("\r\n+CMGS: 0,4,1\r\n\r\nOK\r\n"
                         "\r\n+CTSDSR: 12,1234,0,1234,0,48\r\n820001014869\r\n"));
    EXPECT_EQ(sim.counters().loopbacksSent, 1);
}

TEST(RadioSimEtsiPeer, PeerWithAFullItsiIsAnsweredToThatIdentity)
{
    RadioSim::Options options = standardOptions();
    options.peerIdentity = "262100012345678";
    options.peerIntervalMs = 100;
    options.peerReportRequest = 0x0E;
    RadioSim sim(options);
    sim.advance(100);
    const QByteArray peer = sim.takeOutput();
    EXPECT_TRUE(peer.startsWith("\r\n+CTSDSR: 12,262100012345678,1,1234,0,")) << peer.toStdString();
    EXPECT_TRUE(peer.contains("\r\n820E00015065657220"));

    exchange(sim, selection, 110);
    EXPECT_EQ(exchange(sim, "AT+CMGS=262100012345678,32\r\n82100000\x1A", 120),
              QByteArray("\r\n+CME ERROR: 50\r\n"))
        << "a full identity needs identity type 1";
    EXPECT_EQ(exchange(sim, "AT+CTSDS=12,1\r", 120), ok);
    EXPECT_EQ(exchange(sim, "AT+CMGS=262100012345678,32\r\n82100000\x1A", 120),
              QByteArray("\r\n+CMGS: 0,4,0\r\n\r\nOK\r\n"));
    exchange(sim, "AT+CMGS=262100012345678,32\r\n82100200\x1A", 130);
    EXPECT_EQ(sim.counters().goodReports, 2);
    EXPECT_EQ(sim.counters().badReports, 0);
}

TEST(RadioSimEtsiPeer, PeerSendsStatusMessagesOnlyInTheStandardDialect)
{
    RadioSim::Options options = standardOptions();
    options.statusIntervalMs = 200;
    RadioSim sim(options);
    sim.advance(200);
    EXPECT_EQ(sim.takeOutput(), QByteArray("\r\n+CTSDSR: 13,5678,0,1234,0,16\r\n8004\r\n"));
    sim.sendStatus(0x1234);
    EXPECT_EQ(sim.takeOutput(), QByteArray("\r\n+CTSDSR: 13,5678,0,1234,0,16\r\n1234\r\n"));

    RadioSim::Options cmtOptions = options;
    cmtOptions.dialect = SimDialect::Cmt;
    RadioSim cmt(cmtOptions);
    cmt.advance(400);
    cmt.sendStatus(0x1234);
    EXPECT_TRUE(cmt.takeOutput().isEmpty());
}

TEST(RadioSimEtsiWire, LengthQueryIsACommandAndTwoFieldHeadersParse)
{
    radiosim::PeiFramer framer;
    std::optional<radiosim::PeiFrame> frame;
    for (const char byte : QByteArray("AT+CMGS=?\r"))
        frame = framer.push(byte);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->kind, radiosim::PeiFrame::Kind::Command);
    EXPECT_EQ(frame->text, QByteArray("AT+CMGS=?"));

    const auto header = radiosim::parseTwoFieldCmgsHeader("AT+CMGS=262100012345678,32");
    ASSERT_TRUE(header);
    EXPECT_EQ(header->destination, QByteArray("262100012345678"));
    EXPECT_EQ(header->lengthBits, 32u);
    for (const char *bad : {"AT+CMGS=1,1,0,32", "AT+CMGS=1", "AT+CMGS=123456789012345678,32",
                            "AT+CMGS=16777216,32", "AT+CMGS=12a,32", "AT+CMGS=,32", "AT+CMGT=1,32"})
        EXPECT_FALSE(radiosim::parseTwoFieldCmgsHeader(bad)) << bad;
    EXPECT_EQ(radiosim::ctsdsrIndication(12, "7", "1234", QByteArray("\x82\x10\x00\x01", 4)),
              QByteArray("\r\n+CTSDSR: 12,7,0,1234,0,32\r\n82100001\r\n"));
}

TEST(RadioSimEtsiOptions, DialectStatusAndLongPeerIdentityOnTheCommandLine)
{
    const auto parse = [](const QStringList &arguments) {
        return radiosim::parseRunnerCommandLine(QStringList{"corvane-radiosim"} + arguments);
    };
    const radiosim::RunnerCommandLine standard =
        parse({"--dialect", "etsi", "--peer-issi", "262100012345678", "--status-interval-ms", "500",
               "--status", "4660"});
    ASSERT_EQ(standard.action, radiosim::RunnerCommandLine::Action::Run)
        << standard.text.toStdString();
    EXPECT_EQ(standard.options.radio.dialect, SimDialect::Etsi);
    EXPECT_EQ(standard.options.radio.peerIdentity, QByteArray("262100012345678"));
    EXPECT_EQ(standard.options.radio.statusIntervalMs, 500);
    EXPECT_EQ(standard.options.radio.statusValue, 0x1234);

    EXPECT_EQ(parse({}).options.radio.dialect, SimDialect::Cmt);
    // A full ITSI is the standard dialect's; "+CMT" radios call with ISSIs.
    EXPECT_EQ(parse({"--peer-issi", "262100012345678"}).action,
              radiosim::RunnerCommandLine::Action::Fail);
    const radiosim::RunnerCommandLine wrong = parse({"--dialect", "ETSI"});
    EXPECT_EQ(wrong.action, radiosim::RunnerCommandLine::Action::Fail);
    EXPECT_TRUE(wrong.text.contains("--dialect")) << wrong.text.toStdString();
}
