#include "session/LinkTag.h"

#include <gtest/gtest.h>

namespace {

using Kind = LinkTag::Reading::Kind;

TEST(LinkTagTest, MakesTheShortFormAndReadsItBack)
{
    EXPECT_EQ(LinkTag::make(0x7f3a, 42), QByteArray("#7f3a:0042 "));
    EXPECT_EQ(LinkTag::make(0x000b, 1), QByteArray("#000b:0001 "));
    EXPECT_EQ(LinkTag::make(0xffff, 123456), QByteArray("#ffff:123456 "));
    EXPECT_EQ(LinkTag::length(9999), 11);
    EXPECT_EQ(LinkTag::length(10000), 12);
    EXPECT_EQ(LinkTag::length(LinkTag::MaxSequence), 16);

    for (const int sequence : {1, 42, 9999, 10000, 123456, LinkTag::MaxSequence}) {
        const LinkTag::Reading reading = LinkTag::read(LinkTag::make(0x7f3a, sequence) + "Hi");
        EXPECT_EQ(reading.kind, Kind::Tagged) << sequence;
        EXPECT_EQ(reading.runId, 0x7f3a);
        EXPECT_EQ(reading.sequence, sequence);
    }
}

TEST(LinkTagTest, ATextThatDoesNotBeginLikeATagIsUntagged)
{
    for (const QByteArray &text :
         {QByteArray(), QByteArray("Hello"), QByteArray(" #7f3a:0042 Hi"), QByteArray("#"),
          QByteArray("#hello: world"), QByteArray("#:0042 "), QByteArray("#7f3a"),
          QByteArray("#7f3a 0042 "), QByteArray("7f3a:0042 ")})
        EXPECT_EQ(LinkTag::read(text).kind, Kind::Untagged) << text.constData();
}

TEST(LinkTagTest, AnythingElseThatBeginsLikeATagIsMalformed)
{
    const QByteArray hostile[] = {
        "#7F3A:0042 Hi",       // upper-case hex is not what a tag is made of
        "#7f3:0042 Hi",        // three digits of run
        "#7f3a0:0042 Hi",      // five
        "#7f3a:042 Hi",        // too few sequence digits
        "#7f3a:0042",          // no space: the text ends inside the tag
        "#7f3a:0042Hi",        // no space
        "#7f3a:0042\tHi",      // another separator
        "#7f3a:0000 Hi",       // no message has number 0
        "#7f3a:00042 Hi",      // a leading zero beyond the four digits
        "#7f3a:1234567890 Hi", // more digits than any sequence number
        "#7f3a:99999999999999999999 Hi",
        "#7f3a:-042 Hi",
        "#7f3a:+042 Hi",
        "#7f3a:0x2a Hi",
        "#abcdef:0042 Hi",
        "#7f3a:004\xb2 Hi", // a superscript two is no digit
        QByteArray("#7f3a:00\x00"
                   "2 Hi",
                   12),
    };
    for (const QByteArray &text : hostile)
        EXPECT_EQ(LinkTag::read(text).kind, Kind::Malformed) << text.toHex().constData();
}

TEST(LinkTagTest, TheCmtProfilesTextCodingOctetIsNotPartOfTheSentText)
{
    ReceivedText::Content cmt;
    cmt.octets = "\x01#7f3a:0001 Hi";
    EXPECT_EQ(LinkTag::sentText(cmt), QByteArray("#7f3a:0001 Hi"));

    // A decoded text keeps every octet it has: 0x01 is text there.
    ReceivedText::Content decoded;
    decoded.codingScheme = ReceivedText::Latin1Scheme;
    decoded.octets = "\x01#7f3a:0001 Hi";
    EXPECT_EQ(LinkTag::sentText(decoded), decoded.octets);

    ReceivedText::Content plain;
    plain.octets = "#7f3a:0001 Hi";
    EXPECT_EQ(LinkTag::sentText(plain), plain.octets);
}

} // namespace
