#include "pei/ResponseFramer.h"
#include "pei/PeiDialect.h"

#include "tests/support/PrintByteArray.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <random>

void PrintTo(const FramedResponse &response, std::ostream *os)
{
    PrintTo(response.bytes, os);
    *os << " @" << response.readAtMs << "ms";
}

namespace {

using Responses = QList<QByteArray>;

const QByteArray ProbeAnswer("\r\nOK\r\n");
const QByteArray Completion("\r\n+CMGS: 0\r\n\r\nOK\r\n");

QByteArray indication(const QByteArray &issi, const QByteArray &userDataHex)
{
    return "\r\n+CMT: " + issi + ",0," + QByteArray::number(userDataHex.size() / 2 * 8) + "\r\n" +
           userDataHex + "\r\n";
}

// A delivery report for reference `ref`: status 00 received, 02 consumed.
QByteArray report(const QByteArray &issi, const QByteArray &status, int ref)
{
    return indication(issi, "8210" + status +
                                QByteArray::number(ref, 16).toUpper().rightJustified(2, '0'));
}

// A peer's text message asking for a received report.
QByteArray peerMessage(const QByteArray &issi, const QByteArray &text)
{
    return indication(issi, "820601" + text.toHex().toUpper());
}

QByteArray joined(const QList<QByteArray> &parts)
{
    QByteArray all;
    for (const QByteArray &part : parts)
        all += part;
    return all;
}

// Feeds the reads in turn (read i at time 10 * i) and collects what the
// framer hands on. After every test, what was handed on and what is still
// held must be exactly the bytes fed: nothing lost, added or reordered.
class FramerTest : public ::testing::Test
{
protected:
    void TearDown() override { expectNothingLostOrAdded(); }

    Responses feedReads(const QList<QByteArray> &reads)
    {
        Responses responses;
        for (const QByteArray &read : reads) {
            m_readAtMs += 10;
            m_fed += read;
            for (const FramedResponse &response : framer.feed(read, m_readAtMs))
                responses.append(response.bytes);
        }
        m_handedOn += joined(responses);
        return responses;
    }

    Responses feedOnce(const QByteArray &stream) { return feedReads({stream}); }

    std::optional<FramedResponse> flush()
    {
        const std::optional<FramedResponse> response = framer.flush();
        if (response)
            m_handedOn += response->bytes;
        return response;
    }

    // Drops what is held, to start a case of its own.
    void restart()
    {
        expectNothingLostOrAdded();
        framer.clear();
        m_fed.clear();
        m_handedOn.clear();
    }

    CmtDialect dialect;
    ResponseFramer framer{dialect};

private:
    void expectNothingLostOrAdded()
    {
        EXPECT_EQ(m_handedOn + framer.heldBytes(), m_fed)
            << "the responses and the held bytes are not the stream";
    }

    QByteArray m_fed;
    QByteArray m_handedOn;
    qint64 m_readAtMs = 0;
};

// --- Answers that once merged into one chunk -------------------------------

TEST_F(FramerTest, FinalAnswerKeepsItsInformationText)
{
    EXPECT_EQ(feedOnce(Completion), Responses{Completion});
    EXPECT_TRUE(framer.isEmpty());
    EXPECT_EQ(feedOnce(ProbeAnswer), Responses{ProbeAnswer});
    EXPECT_TRUE(framer.isEmpty());
}

TEST_F(FramerTest, CompletionWaitsForItsOkAcrossReads)
{
    EXPECT_TRUE(feedReads({"\r\n+CMGS: 0\r\n", "\r\n"}).isEmpty());
    EXPECT_EQ(feedReads({"OK\r\n"}), Responses{Completion});
    EXPECT_TRUE(framer.isEmpty());
}

TEST_F(FramerTest, CompletionReportAndPeerMessageInOneReadAreThree)
{
    const QByteArray consumed = report("1234567", "02", 1);
    const QByteArray peer = peerMessage("42", "Hi");
    EXPECT_EQ(feedOnce(Completion + consumed + peer), (Responses{Completion, consumed, peer}));
    EXPECT_TRUE(framer.isEmpty());
}

TEST_F(FramerTest, ProbeAnswerAndPeerMessageAreTwo)
{
    const QByteArray peer = peerMessage("16777215", "Hello");
    EXPECT_EQ(feedOnce(ProbeAnswer + peer), (Responses{ProbeAnswer, peer}));
    EXPECT_EQ(feedOnce(peer + ProbeAnswer), (Responses{peer, ProbeAnswer}));
}

TEST_F(FramerTest, EchoedCommandIsItsOwnResponse)
{
    EXPECT_EQ(feedOnce("AT\r" + ProbeAnswer), (Responses{"AT\r", ProbeAnswer}));
    // Alone, the echo's "\r" may still be the start of "\r\n": it waits.
    EXPECT_TRUE(feedReads({"AT\r"}).isEmpty());
    EXPECT_EQ(feedReads({ProbeAnswer}), (Responses{"AT\r", ProbeAnswer}));
}

TEST_F(FramerTest, ErrorAnswersAreFinal)
{
    const QByteArray cme("\r\n+CME ERROR: 35\r\n");
    const QByteArray cms("\r\n+CMS ERROR: 500\r\n");
    const QByteArray error("\r\nERROR\r\n");
    EXPECT_EQ(feedOnce(cme + cms + error + Completion), (Responses{cme, cms, error, Completion}));

    // Information text ends with whichever final answer follows it.
    const QByteArray refused = "\r\n+CMGS: 0\r\n" + cms;
    EXPECT_EQ(feedOnce(refused + ProbeAnswer), (Responses{refused, ProbeAnswer}));
    EXPECT_TRUE(framer.isEmpty());
}

TEST_F(FramerTest, FinalResultMustBeTheWholeLineText)
{
    // "OKAY" and "ERRORS" are no final results: lines of their own, which
    // leave the completion text without its OK.
    EXPECT_EQ(feedOnce("\r\n+CMGS: 0\r\n\r\nOKAY\r\n\r\nERRORS\r\n"),
              (Responses{"\r\n+CMGS: 0\r\n", "\r\nOKAY\r\n", "\r\nERRORS\r\n"}));
    EXPECT_TRUE(framer.isEmpty());
}

TEST_F(FramerTest, UnknownLineWithoutLeadingPairIsItsOwnResponse)
{
    EXPECT_EQ(feedOnce("+CTSDSR: 12\r\n" + Completion), (Responses{"+CTSDSR: 12\r\n", Completion}));
}

TEST_F(FramerTest, UnknownUnsolicitedLineIsItsOwnResponse)
{
    // A radio's unsolicited line has the "\r\n" in front, like information text.
    const QByteArray unsolicited("\r\n+CREG: 1\r\n");
    EXPECT_EQ(feedOnce(unsolicited + Completion), (Responses{unsolicited, Completion}));
}

TEST_F(FramerTest, LoneCarriageReturnAndLoneLineFeedEndLines)
{
    EXPECT_EQ(feedOnce("noise\ragain\nAT\r\n" + ProbeAnswer),
              (Responses{"noise\r", "again\n", "AT\r\n", ProbeAnswer}));
    EXPECT_EQ(feedOnce("\r\nOK\n"), Responses{"\r\nOK\n"});
    EXPECT_EQ(feedOnce("\r\n\r\nOK\r\r\n\r\nERROR\r\n"),
              (Responses{"\r\n\r\nOK\r", "\r\n\r\nERROR\r\n"}));
}

TEST_F(FramerTest, NoiseWithoutLineEndWaitsUntilFlushed)
{
    EXPECT_TRUE(feedReads({"\x01\xFFgarb", "age"}).isEmpty());
    EXPECT_EQ(framer.size(), 9);
    const std::optional<FramedResponse> flushed = flush();
    ASSERT_TRUE(flushed.has_value());
    EXPECT_EQ(flushed->bytes, QByteArray("\x01\xFFgarbage"));
    EXPECT_TRUE(framer.isEmpty());
    EXPECT_FALSE(flush().has_value()) << "nothing held, nothing to hand on";

    // The framer starts afresh after a flush.
    EXPECT_EQ(feedOnce(Completion), Responses{Completion});
}

TEST_F(FramerTest, CutShortIndicationIsHandedOnByFlush)
{
    const QByteArray cut = report("1234", "00", 7).left(24);
    EXPECT_TRUE(feedOnce(cut).isEmpty());
    ASSERT_TRUE(flush().has_value());
    EXPECT_EQ(feedOnce(ProbeAnswer), Responses{ProbeAnswer});
}

// --- Indications -----------------------------------------------------------

TEST_F(FramerTest, IndicationIsHeaderAndDataLine)
{
    const QByteArray received = report("7", "00", 255);
    const QList<QByteArray> lines = {"\r\n+CMT: 7,0,32\r\n", "821000FF\r\n"};
    ASSERT_EQ(joined(lines), received);
    EXPECT_TRUE(feedReads({lines.at(0)}).isEmpty()) << "the header waits for its data line";
    EXPECT_EQ(feedReads({lines.at(1)}), Responses{received});
}

TEST_F(FramerTest, HeaderFollowedByFinalAnswerGoesOnAlone)
{
    const QByteArray header("\r\n+CMT: 1234,0,32\r\n");
    EXPECT_EQ(feedOnce(header + ProbeAnswer), (Responses{header, ProbeAnswer}));
    EXPECT_EQ(feedOnce(header + Completion), (Responses{header, Completion}));
}

TEST_F(FramerTest, HeaderFollowedByAnotherHeaderGoesOnAlone)
{
    const QByteArray header("\r\n+CMT: 1234,0,32\r\n");
    const QByteArray whole = report("5678", "02", 3);
    EXPECT_EQ(feedOnce(header + whole), (Responses{header, whole}));
    EXPECT_TRUE(framer.isEmpty());
}

// --- Bounds and time -------------------------------------------------------

TEST_F(FramerTest, EndlessLineIsCutAtTheCapWhateverTheReads)
{
    const qsizetype cap = ResponseFramer::MaxResponseSize;
    const QByteArray junk(3 * cap + 5, 'x');
    const Responses once = feedOnce(junk);
    ASSERT_EQ(once.size(), 3);
    for (const QByteArray &response : once)
        EXPECT_EQ(response.size(), cap);
    EXPECT_EQ(framer.size(), 5);
    restart();

    QList<QByteArray> reads;
    for (qsizetype at = 0; at < junk.size(); at += 1000)
        reads.append(junk.mid(at, 1000));
    EXPECT_EQ(feedReads(reads), once);
    EXPECT_EQ(framer.size(), 5);
}

TEST_F(FramerTest, CapCutsHeldTextAndTheStreamGoesOn)
{
    const qsizetype cap = ResponseFramer::MaxResponseSize;
    // Information text that never gets its final answer.
    const QByteArray line("\r\n+CMGS: 0\r\n");
    const QList<QByteArray> reads(3 * cap / line.size() + 1, line);
    const Responses responses = feedReads(reads);
    EXPECT_GE(responses.size(), 2);
    for (const QByteArray &response : responses)
        EXPECT_LE(response.size(), cap + line.size());
    EXPECT_LT(framer.size(), cap);

    // A header followed by an endless line goes on alone.
    restart();
    const QByteArray header("\r\n+CMT: 1234,0,32\r\n");
    const Responses cut = feedOnce(header + QByteArray(cap + 1, '8'));
    EXPECT_EQ(cut, (Responses{header, QByteArray(cap, '8')}));
}

TEST_F(FramerTest, ResponseIsStampedWithTheReadThatCompletedIt)
{
    EXPECT_TRUE(framer.feed("\r\n+CMGS: 0\r\n\r", 100).isEmpty());
    const QList<FramedResponse> first = framer.feed("\nOK\r\n\r\nOK\r\n\r\n+CMT: 1,0,32\r\n", 250);
    EXPECT_EQ(first, (QList<FramedResponse>{{Completion, 250}, {ProbeAnswer, 250}}));
    EXPECT_EQ(framer.lastReadAtMs(), 250);

    const QList<FramedResponse> second = framer.feed("82100001\r\n\r\nOK", 400);
    EXPECT_EQ(second, (QList<FramedResponse>{{report("1", "00", 1), 400}}));

    // An empty read reads no byte: the held bytes keep their time.
    EXPECT_TRUE(framer.feed(QByteArray(), 900).isEmpty());
    const std::optional<FramedResponse> flushed = framer.flush();
    ASSERT_TRUE(flushed.has_value());
    EXPECT_EQ(*flushed, (FramedResponse{"\r\nOK", 400}));
}

// --- The cut does not depend on how the stream was read --------------------

QList<FramedResponse> frameReads(const QList<QByteArray> &reads)
{
    CmtDialect dialect;
    ResponseFramer framer(dialect);
    QList<FramedResponse> responses;
    qint64 readAtMs = 0;
    for (const QByteArray &read : reads)
        responses += framer.feed(read, ++readAtMs);
    if (const std::optional<FramedResponse> rest = framer.flush())
        responses.append(*rest);
    return responses;
}

Responses bytesOf(const QList<FramedResponse> &responses)
{
    Responses bytes;
    for (const FramedResponse &response : responses)
        bytes.append(response.bytes);
    return bytes;
}

// What a session records: the echoed probe and its answer, registration, a
// 20-message series where each completion is followed by its received and
// consumed report from callers of every ISSI length, and two peer messages.
Responses recordedSession()
{
    const QByteArray issis[] = {"7", "1234", "1234567", "16777215"};
    Responses responses = {"AT\r", ProbeAnswer, Completion};
    for (int ref = 0; ref < 20; ++ref) {
        const QByteArray &issi = issis[ref % 4];
        responses += {Completion, report(issi, "00", ref), report(issi, "02", ref)};
        if (ref == 6)
            responses.append(peerMessage("1", "Hello from 1"));
        if (ref == 13)
            responses.append(peerMessage("12345678", "Hi"));
    }
    return responses;
}

// Short, but with every kind of line end and a response cut short at the end.
Responses shortSession()
{
    return {"AT\r",
            ProbeAnswer,
            Completion,
            report("12345678", "0A", 9),
            "noise\n",
            "\r\n+CME ERROR: 4\r\n",
            peerMessage("3", "A"),
            "\r\n+CMGS:"};
}

TEST(FramerCutTest, RecordedSessionIsCutIntoItsResponses)
{
    const Responses expected = recordedSession();
    EXPECT_EQ(bytesOf(frameReads({joined(expected)})), expected);
}

TEST(FramerCutTest, SameResponsesWhereverTheStreamIsCutOnce)
{
    const Responses expected = recordedSession();
    const QByteArray stream = joined(expected);
    for (qsizetype cut = 1; cut < stream.size(); ++cut) {
        const Responses responses = bytesOf(frameReads({stream.left(cut), stream.mid(cut)}));
        ASSERT_EQ(responses, expected) << "stream cut after byte " << cut;
    }
}

TEST(FramerCutTest, SameResponsesWhenReadByteByByte)
{
    const Responses expected = recordedSession();
    const QByteArray stream = joined(expected);
    QList<QByteArray> reads;
    for (const char c : stream)
        reads.append(QByteArray(1, c));
    EXPECT_EQ(bytesOf(frameReads(reads)), expected);
}

TEST(FramerCutTest, SameResponsesWhereverTheStreamIsCutTwice)
{
    const Responses expected = shortSession();
    const QByteArray stream = joined(expected);
    ASSERT_EQ(bytesOf(frameReads({stream})), expected);
    for (qsizetype first = 1; first < stream.size(); ++first) {
        for (qsizetype second = first; second < stream.size(); ++second) {
            const Responses responses = bytesOf(frameReads(
                {stream.left(first), stream.mid(first, second - first), stream.mid(second)}));
            ASSERT_EQ(responses, expected)
                << "stream cut after bytes " << first << " and " << second;
        }
    }
}

// Streams made of the pieces that framing turns on, in any order: line ends
// of every kind, final results, headers, information text and junk.
QByteArray randomStream(std::mt19937 *random)
{
    static const char *const pieces[] = {
        "\r",           "\n",       "\r\n",     "OK", "ERROR", "+CME ERROR: 3", "+CMS ERROR: 5",
        "+CMT: 1,0,32", "+CMGS: 0", "82100001", "AT", "x"};
    std::uniform_int_distribution<int> pick(0, int(std::size(pieces)) - 1);
    QByteArray stream;
    for (int i = 0; i < 40; ++i)
        stream += pieces[pick(*random)];
    return stream;
}

TEST(FramerCutTest, AnyStreamIsCutTheSameWhateverTheReads)
{
    std::mt19937 random(20261208);
    for (int round = 0; round < 300; ++round) {
        const QByteArray stream = randomStream(&random);
        const Responses once = bytesOf(frameReads({stream}));
        ASSERT_EQ(joined(once), stream) << "bytes lost or added";
        std::uniform_int_distribution<qsizetype> at(0, stream.size());
        for (int cuts = 0; cuts < 20; ++cuts) {
            qsizetype first = at(random);
            qsizetype second = at(random);
            if (first > second)
                std::swap(first, second);
            const Responses split = bytesOf(frameReads(
                {stream.left(first), stream.mid(first, second - first), stream.mid(second)}));
            ASSERT_EQ(split, once)
                << ::testing::PrintToString(stream) << " cut after " << first << " and " << second;
        }
    }
}

TEST(FramerCutTest, EachResponseIsStampedWithTheReadOfItsLastByte)
{
    // Cut inside each response in turn: only that response waits for the
    // second read; the ones before it were complete in the first.
    const Responses expected = recordedSession();
    const QByteArray stream = joined(expected);
    qsizetype end = 0;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        end += expected.at(i).size();
        // The last byte of a header-and-data or final answer completes it.
        const QList<FramedResponse> responses =
            frameReads({stream.left(end - 1), stream.mid(end - 1)});
        ASSERT_EQ(responses.size(), expected.size());
        for (qsizetype j = 0; j < responses.size(); ++j)
            ASSERT_EQ(responses.at(j).readAtMs, j < i ? 1 : 2) << "response " << j << " cut " << i;
    }
}

} // namespace
