#include "radio/ResponseScan.h"

#include <gtest/gtest.h>

#include <ostream>

// Failures show chunks with their line ends visible.
void PrintTo(const QByteArray &bytes, std::ostream *os)
{
    *os << '"' << bytes.toStdString() << '"';
    *os << " (hex " << bytes.toHex().toStdString() << ')';
}

using namespace ResponseScan;

namespace {

const QByteArray Completion("\r\n+CMGS: 0\r\n\r\nOK\r\n");
// A consumed report for reference 01, 29 characters; positions 23-24 hold "00".
const QByteArray Report("\r\n+CMT: 1234,0,32\r\n82100201\r\n");
const QByteArray CompletionLine(": Send command completed successfully.");

QByteArray reportLine(const QByteArray &code)
{
    return ": Report received with error code: " + code;
}

QByteArray cmeLine(const QByteArray &code)
{
    return ": CME ERROR received from MS with error code: " + code;
}

TEST(ExactAnswerTest, ProbeIsAnsweredOnlyByTheWholeChunk)
{
    EXPECT_TRUE(isProbeAnswer("\r\nOK\r\n"));
    EXPECT_FALSE(isProbeAnswer("AT\r\r\nOK\r\n")) << "an echoed probe does not count";
    EXPECT_FALSE(isProbeAnswer("\r\nOK\r\n\r\nOK\r\n"));
    EXPECT_FALSE(isProbeAnswer("\r\nOK\r"));
    EXPECT_FALSE(isProbeAnswer("\r\nok\r\n"));
    EXPECT_FALSE(isProbeAnswer(""));
    EXPECT_FALSE(isProbeAnswer(Completion));
}

TEST(ExactAnswerTest, RegistrationIsAnsweredOnlyByTheWholeChunk)
{
    EXPECT_TRUE(isRegistrationAnswer("\r\n+CMGS: 0\r\n\r\nOK\r\n"));
    EXPECT_FALSE(isRegistrationAnswer(Completion + Report));
    EXPECT_FALSE(isRegistrationAnswer("\r\n" + Completion));
    EXPECT_FALSE(isRegistrationAnswer("\r\n+CMGS: 1\r\n\r\nOK\r\n"));
    EXPECT_FALSE(isRegistrationAnswer("\r\n+CMGS: 0\r\n"));
    EXPECT_FALSE(isRegistrationAnswer("\r\nOK\r\n"));
    EXPECT_FALSE(isRegistrationAnswer(""));
}

TEST(SendingScanTest, ReportAfterCompletionInTheSameChunk)
{
    ASSERT_EQ(Report.size(), 29);
    const SendingScan scan = scanSendingResponse(Completion + Report);
    EXPECT_TRUE(scan.completed);
    EXPECT_EQ(scan.lines, (QList<QByteArray>{CompletionLine, reportLine("00")}));
}

TEST(SendingScanTest, CompletionAlone)
{
    const SendingScan scan = scanSendingResponse(Completion);
    EXPECT_TRUE(scan.completed);
    EXPECT_EQ(scan.lines, QList<QByteArray>{CompletionLine});
}

TEST(SendingScanTest, ReportWithoutCompletionIsNotShown)
{
    const SendingScan alone = scanSendingResponse(Report);
    EXPECT_FALSE(alone.completed);
    EXPECT_TRUE(alone.lines.isEmpty());

    // The scan ends at the unshown report, so a completion behind it is not seen.
    const SendingScan before = scanSendingResponse(Report + Completion);
    EXPECT_FALSE(before.completed);
    EXPECT_TRUE(before.lines.isEmpty());
}

TEST(SendingScanTest, CmeErrorKeepsSending)
{
    const SendingScan scan = scanSendingResponse("\r\n+CME ERROR: 35\r\n");
    EXPECT_FALSE(scan.completed);
    EXPECT_EQ(scan.lines, QList<QByteArray>{cmeLine("35")});
}

TEST(SendingScanTest, CmeErrorWithoutLineEndTakesTheRest)
{
    const SendingScan scan = scanSendingResponse("\r\n+CME ERROR: 35");
    EXPECT_FALSE(scan.completed);
    EXPECT_EQ(scan.lines, QList<QByteArray>{cmeLine("35")});

    const SendingScan bare = scanSendingResponse("\r\n+CME ERROR: ");
    EXPECT_EQ(bare.lines, QList<QByteArray>{cmeLine("")});
}

TEST(SendingScanTest, EmptyCmeCodeEndsAtTheFirstLineEnd)
{
    const SendingScan scan = scanSendingResponse("\r\n+CME ERROR: \r\n+CME ERROR: 35\r\n");
    EXPECT_EQ(scan.lines, QList<QByteArray>{cmeLine("")});
}

TEST(SendingScanTest, ResponsesAreReadInTurn)
{
    const SendingScan scan = scanSendingResponse("\r\n+CME ERROR: 4\r\n" + Completion + Report +
                                                 "\r\n+CME ERROR: 512\r\n" + Completion);
    EXPECT_TRUE(scan.completed);
    EXPECT_EQ(scan.lines, (QList<QByteArray>{cmeLine("4"), CompletionLine, reportLine("00"),
                                             cmeLine("512"), CompletionLine}));
}

TEST(SendingScanTest, ScanEndsAtTheFirstUnrecognisedResponse)
{
    const SendingScan scan =
        scanSendingResponse(Completion + "\r\nOK\r\n" + "\r\n+CME ERROR: 35\r\n");
    EXPECT_TRUE(scan.completed);
    EXPECT_EQ(scan.lines, QList<QByteArray>{CompletionLine});

    const SendingScan unknown = scanSendingResponse("\r\n+CMGS: 1\r\n\r\nOK\r\n");
    EXPECT_FALSE(unknown.completed);
    EXPECT_TRUE(unknown.lines.isEmpty());

    EXPECT_TRUE(scanSendingResponse("").lines.isEmpty());
}

TEST(SendingScanTest, ReportIsAFixedRecordOf29Characters)
{
    // A longer report leaves its tail behind, which ends the scan.
    const QByteArray longReport("\r\n+CMT: 123456,0,32\r\n82100201\r\n");
    const SendingScan scan = scanSendingResponse(Completion + longReport + Completion);
    EXPECT_EQ(scan.lines, (QList<QByteArray>{CompletionLine, reportLine("21")}));
}

TEST(SendingScanTest, ReportCutShortGivesWhatExists)
{
    const QByteArray cut = Report.left(23);
    const SendingScan oneDigit = scanSendingResponse(Completion + cut);
    EXPECT_EQ(oneDigit.lines, (QList<QByteArray>{CompletionLine, reportLine("0")}));

    const SendingScan noCode = scanSendingResponse(Completion + Report.left(12));
    EXPECT_EQ(noCode.lines, (QList<QByteArray>{CompletionLine, reportLine("")}));
}

} // namespace
