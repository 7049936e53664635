#include "pei/ResponseScan.h"

#include <gtest/gtest.h>

#include <ostream>

// Failures show responses with their line ends visible.
void PrintTo(const QByteArray &bytes, std::ostream *os)
{
    *os << '"' << bytes.toStdString() << '"';
    *os << " (hex " << bytes.toHex().toStdString() << ')';
}

namespace ResponseScan {
void PrintTo(SendingAnswer::Kind kind, std::ostream *os)
{
    static const char *const names[] = {"None", "Completed", "Refused"};
    *os << names[int(kind)];
}
} // namespace ResponseScan

using namespace ResponseScan;
using Kind = SendingAnswer::Kind;

namespace {

const QByteArray Completion("\r\n+CMGS: 0\r\n\r\nOK\r\n");
const QByteArray Report("\r\n+CMT: 1234,0,32\r\n82100201\r\n");
const QByteArray CompletionLine(": Send command completed successfully.");
const QByteArray ErrorLine(": ERROR received from MS.");

QByteArray cmeLine(const QByteArray &code)
{
    return ": CME ERROR received from MS with error code: " + code;
}

QByteArray cmsLine(const QByteArray &code)
{
    return ": CMS ERROR received from MS with error code: " + code;
}

void expectAnswer(const QByteArray &response, Kind kind, const QByteArray &line)
{
    const SendingAnswer answer = readSendingAnswer(response);
    EXPECT_EQ(answer.kind, kind) << ::testing::PrintToString(response);
    EXPECT_EQ(answer.line, line) << ::testing::PrintToString(response);
}

TEST(AnswerLinesTest, ProbeIsAnsweredByTheLineOkAlone)
{
    EXPECT_TRUE(isProbeAnswer("\r\nOK\r\n"));
    // Noise in front took the opening line end, or the radio ends lines its own way.
    EXPECT_TRUE(isProbeAnswer("OK\r\n"));
    EXPECT_TRUE(isProbeAnswer("\r\nOK\r"));
    EXPECT_TRUE(isProbeAnswer("\r\nOK\n"));
    EXPECT_FALSE(isProbeAnswer("AT\r\r\nOK\r\n")) << "an echo framed with its answer";
    EXPECT_FALSE(isProbeAnswer("\r\nOK\r\n\r\nOK\r\n"));
    EXPECT_FALSE(isProbeAnswer("\r\nok\r\n"));
    EXPECT_FALSE(isProbeAnswer("\r\nOKAY\r\n"));
    EXPECT_FALSE(isProbeAnswer(""));
    EXPECT_FALSE(isProbeAnswer(Completion));
}

TEST(AnswerLinesTest, RegistrationIsAcceptedByItsTwoLinesAlone)
{
    EXPECT_TRUE(isRegistrationAnswer("\r\n+CMGS: 0\r\n\r\nOK\r\n"));
    EXPECT_TRUE(isRegistrationAnswer("+CMGS: 0\r\n\r\nOK\r\n"));
    EXPECT_FALSE(isRegistrationAnswer(Completion + Report));
    EXPECT_FALSE(isRegistrationAnswer("\r\n+CMGS: 1\r\n\r\nOK\r\n"));
    EXPECT_FALSE(isRegistrationAnswer("\r\n+CMGS: 0\r\n"));
    EXPECT_FALSE(isRegistrationAnswer("\r\nOK\r\n"));
    EXPECT_FALSE(isRegistrationAnswer("\r\n+CMGS: 0\r\n\r\nERROR\r\n"));
    EXPECT_FALSE(isRegistrationAnswer(""));
}

TEST(AnswerLinesTest, LinesAreTheTextBetweenLineEnds)
{
    EXPECT_EQ(responseLines("\r\n+CMGS: 0\r\n\r\nOK\r\n"), QList<QByteArray>({"+CMGS: 0", "OK"}));
    EXPECT_EQ(responseLines("junk\r\n+CMT: 1\n\r82"), QList<QByteArray>({"junk", "+CMT: 1", "82"}));
    EXPECT_TRUE(responseLines("\r\n\r\n").isEmpty());
    // An answer ends with its first final result.
    EXPECT_EQ(answerLines("\r\n+CME ERROR: 5\r\n\r\nOK\r\n"), QList<QByteArray>({"+CME ERROR: 5"}));
    EXPECT_TRUE(endsWithFinalResult("\r\n+CMGS: 0\r\n\r\nOK\r\n"));
    EXPECT_TRUE(endsWithFinalResult("x\r\nERROR"));
    EXPECT_FALSE(endsWithFinalResult("\r\n+CMGS: 0\r\n"));
    EXPECT_FALSE(endsWithFinalResult("\r\n+CMT: 1234,0,32\r\n82100201\r\n"));
}

TEST(SendingAnswerTest, CompletionIsItsTwoLines)
{
    expectAnswer(Completion, Kind::Completed, CompletionLine);
    // The echo of a message's hex took the line end that opened it.
    expectAnswer("+CMGS: 0\r\n\r\nOK\r\n", Kind::Completed, CompletionLine);
    expectAnswer("\r\n+CMGS: 0\r\nOK\r\n", Kind::Completed, CompletionLine);
}

TEST(SendingAnswerTest, OtherResponsesAnswerNothing)
{
    for (const QByteArray &response :
         {Report, QByteArray("\r\nOK\r\n"), QByteArray("\r\n+CMGS: 1\r\n\r\nOK\r\n"),
          QByteArray("\r\n+CMGS: 0\r\n"), QByteArray("AT+CMGS=1\r"),
          QByteArray("\r\n+CMGS: 0\r\n+CMGS: 0\r\nOK\r\n"), QByteArray("")})
        expectAnswer(response, Kind::None, QByteArray());
}

TEST(SendingAnswerTest, CmeErrorCodeRunsToTheLineEnd)
{
    expectAnswer("\r\n+CME ERROR: 35\r\n", Kind::Refused, cmeLine("35"));
    expectAnswer("\r\n+CME ERROR: 512\r\n" + Completion, Kind::Refused, cmeLine("512"));
    expectAnswer("\r\n+CME ERROR: \r\n+CME ERROR: 35\r\n", Kind::Refused, cmeLine(""));
}

TEST(SendingAnswerTest, CmeErrorWithoutLineEndTakesTheRest)
{
    expectAnswer("\r\n+CME ERROR: 35", Kind::Refused, cmeLine("35"));
    expectAnswer("\r\n+CME ERROR: 35 ", Kind::Refused, cmeLine("35 "));
    // A code without its blank is no final result line of this form.
    expectAnswer("\r\n+CME ERROR:", Kind::None, QByteArray());
}

TEST(SendingAnswerTest, CmsErrorIsARefusalWithItsCode)
{
    expectAnswer("\r\n+CMS ERROR: 500\r\n", Kind::Refused, cmsLine("500"));
    expectAnswer("\r\n+CMS ERROR: 330\r\n" + Completion, Kind::Refused, cmsLine("330"));
    expectAnswer("\r\n+CMS ERROR: 500", Kind::Refused, cmsLine("500"));
    expectAnswer("\r\n+CMS ERROR: ", Kind::Refused, cmsLine(""));
    expectAnswer("\r\n+CMS ERROR:", Kind::None, QByteArray());
}

TEST(SendingAnswerTest, ErrorIsARefusalOnlyAsAWholeLine)
{
    expectAnswer("\r\nERROR\r\n", Kind::Refused, ErrorLine);
    expectAnswer("\r\nERROR\r\n" + Completion, Kind::Refused, ErrorLine);
    expectAnswer("ERROR\r\n", Kind::Refused, ErrorLine);
    expectAnswer("\r\nERRORS\r\n", Kind::None, QByteArray());
    expectAnswer("\r\nAN ERROR\r\n", Kind::None, QByteArray());
}

TEST(SendingAnswerTest, RefusalInShortNamesTheAnswerAndItsCode)
{
    const struct
    {
        const char *response;
        const char *refusal;
    } cases[] = {
        {"\r\n+CME ERROR: 35\r\n", "CME ERROR 35"},
        {"\r\n+CMS ERROR: 500\r\n", "CMS ERROR 500"},
        {"\r\nERROR\r\n", "ERROR"},
        {"\r\n+CME ERROR: 7\r\n", "CME ERROR 7"},
        {"\r\n+CMGS: 0\r\n\r\nOK\r\n", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ResponseScan::readSendingAnswer(c.response).refusal, QByteArray(c.refusal))
            << c.response;
}

} // namespace
