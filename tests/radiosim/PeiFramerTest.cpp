#include "radiosim/PeiFramer.h"
#include "tests/radiosim/ByteArrayPrinter.h"

#include <gtest/gtest.h>
#include <vector>

using radiosim::PeiFrame;
using radiosim::PeiFramer;

namespace {

std::vector<PeiFrame> frames(PeiFramer &framer, const QByteArray &input)
{
    std::vector<PeiFrame> result;
    for (const char byte : input) {
        if (std::optional<PeiFrame> frame = framer.push(byte))
            result.push_back(*frame);
    }
    return result;
}

} // namespace

TEST(PeiFramer, CutsCommandLinesAtCarriageReturn)
{
    PeiFramer framer;
    const auto result = frames(framer, "AT\rATE1\r\nAT+X");
    ASSERT_EQ(result.size(), 2u);
    EXPECT_EQ(result[0].kind, PeiFrame::Kind::Command);
    EXPECT_EQ(result[0].text, "AT");
    EXPECT_EQ(result[1].text, "ATE1");
    const auto rest = frames(framer, "Y\r");
    ASSERT_EQ(rest.size(), 1u);
    EXPECT_EQ(rest[0].text, "AT+XY") << "a line is kept across fragments";
}

TEST(PeiFramer, MessageHeaderIsFollowedByUserDataUpToSub)
{
    PeiFramer framer;
    EXPECT_TRUE(frames(framer, "at+cmgs=1,1,0,16\r41\r42").empty())
        << "a carriage return inside user data does not end it";
    const auto result = frames(framer, QByteArray("\x1A"
                                                  "AT\r"));
    ASSERT_EQ(result.size(), 2u);
    EXPECT_EQ(result[0].kind, PeiFrame::Kind::Message);
    EXPECT_EQ(result[0].text, "at+cmgs=1,1,0,16");
    EXPECT_EQ(result[0].userData, "41\r42");
    EXPECT_EQ(result[1].kind, PeiFrame::Kind::Command);
}

TEST(PeiFramer, EmptyLinesAndLineFeedsProduceNothing)
{
    PeiFramer framer;
    EXPECT_TRUE(frames(framer, QByteArray("\r\n\r\x1A\n")).empty());
}

TEST(PeiFramer, LineAtTheLimitIsKeptAndOneLongerIsOverlong)
{
    PeiFramer framer;
    const QByteArray longest(PeiFramer::maxLineLength, 'A');
    auto result = frames(framer, longest + "\r");
    ASSERT_EQ(result.size(), 1u);
    EXPECT_EQ(result[0].text, longest);

    result = frames(framer, longest + "B" + QByteArray(10000, 'C') + "\rAT\r");
    ASSERT_EQ(result.size(), 2u);
    EXPECT_EQ(result[0].kind, PeiFrame::Kind::Overlong);
    EXPECT_EQ(result[1].text, "AT");
}

TEST(PeiFramer, OverlongUserDataIsSkippedUpToSub)
{
    PeiFramer framer;
    const QByteArray data(PeiFramer::maxUserDataLength + 1, '4');
    auto result = frames(framer, "AT+CMGS=1,1,0,8\r" + data + "\rAT\r");
    ASSERT_EQ(result.size(), 1u);
    EXPECT_EQ(result[0].kind, PeiFrame::Kind::Overlong);
    result = frames(framer, QByteArray("\x1A"
                                       "AT\r"));
    ASSERT_EQ(result.size(), 1u);
    EXPECT_EQ(result[0].text, "AT");
}

TEST(PeiFramer, SubEndsALineThatLostItsCarriageReturn)
{
    PeiFramer framer;
    const auto result = frames(framer, QByteArray("AT+CMGS=1,1,0,8 41\x1A"));
    ASSERT_EQ(result.size(), 1u);
    EXPECT_EQ(result[0].kind, PeiFrame::Kind::Command);
    EXPECT_EQ(result[0].text, "AT+CMGS=1,1,0,8 41");
}
