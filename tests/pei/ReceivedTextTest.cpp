#include "pei/ReceivedText.h"

#include "tests/support/PrintByteArray.h"

#include <gtest/gtest.h>

namespace {

using ReceivedText::Content;

Content text(std::optional<int> scheme, const QByteArray &octets)
{
    Content content;
    content.codingScheme = scheme;
    content.octets = octets;
    return content;
}

TEST(VisibleTextTest, PrintableLatin1StaysAsItIs)
{
    QByteArray all;
    for (int octet = 0x20; octet < 0x7F; ++octet) {
        if (octet != '\\')
            all += char(octet);
    }
    for (int octet = 0xA0; octet <= 0xFF; ++octet)
        all += char(octet);
    EXPECT_EQ(ReceivedText::visible(all), all);
}

TEST(VisibleTextTest, ControlCharactersAndTheBackslashAreEscaped)
{
    EXPECT_EQ(ReceivedText::visible("a\rb\nc"), QByteArray("a\\x0Db\\x0Ac"));
    EXPECT_EQ(ReceivedText::visible(QByteArray("\x00\x01\x1F\x7F\x80\x85\x9F", 7)),
              QByteArray("\\x00\\x01\\x1F\\x7F\\x80\\x85\\x9F"));
    EXPECT_EQ(ReceivedText::visible("C:\\x0D"), QByteArray("C:\\\\x0D"));
    EXPECT_TRUE(ReceivedText::visible("").isEmpty());
}

TEST(VisibleTextTest, NoTextCanForgeALineOfItsOwn)
{
    // Whatever arrives, the shown text holds no line end and no control
    // character at all.
    QByteArray every;
    for (int octet = 0; octet < 256; ++octet)
        every += char(octet);
    const QByteArray shown =
        ReceivedText::visible(every + "\r\n12:00:00: Registration successful.");
    for (const char c : shown) {
        const auto octet = quint8(c);
        EXPECT_TRUE((octet >= 0x20 && octet < 0x7F) || octet >= 0xA0) << int(octet);
    }
}

TEST(ShownTextTest, Latin1AndNoCodingSchemeAreShownVisibly)
{
    EXPECT_EQ(ReceivedText::shown(text(std::nullopt, "\x01Hi")), QByteArray("\\x01Hi"));
    EXPECT_EQ(ReceivedText::shown(text(1, "Gr\xFC\xDF"
                                          "e\r")),
              QByteArray("Gr\xFC\xDF"
                         "e\\x0D"));
}

TEST(ShownTextTest, Ucs2BigEndianIsDecoded)
{
    // "Hé☺" then a line feed: Latin-1 characters as themselves, the others
    // escaped by their code.
    EXPECT_EQ(ReceivedText::shown(text(26, QByteArray("\x00H\x00\xE9\x26\x3A\x00\x0A", 8))),
              QByteArray("H\xE9\\u263A\\x0A"));
    EXPECT_EQ(ReceivedText::shown(text(26, QByteArray("\x00\\\x01\x00\xFF\xFF", 6))),
              QByteArray("\\\\\\u0100\\uFFFF"));
    // An odd last octet is no character.
    EXPECT_EQ(ReceivedText::shown(text(26, QByteArray("\x00"
                                                      "A"
                                                      "\x41",
                                                      3))),
              QByteArray("A\\x41"));
    EXPECT_TRUE(ReceivedText::shown(text(26, "")).isEmpty());
}

TEST(ShownTextTest, OtherCodingSchemesAreHexWithTheirNumber)
{
    EXPECT_EQ(ReceivedText::shown(text(13, "Hello")),
              QByteArray("(text coding scheme 13) 48656C6C6F"));
    EXPECT_EQ(ReceivedText::shown(text(0, "\r\n")), QByteArray("(text coding scheme 0) 0D0A"));
    EXPECT_EQ(ReceivedText::shown(text(127, "")), QByteArray("(text coding scheme 127) "));
}

TEST(ShownTextTest, TimestampIsShownAsATime)
{
    Content content = text(1, "Hi");
    // Month 4, day 11, 10:15.
    content.timestamp = 0x045A8F;
    EXPECT_EQ(ReceivedText::shown(content), QByteArray("(sent 11 Apr 10:15) Hi"));
    // The time frame bits do not change the time.
    content.timestamp = 0xC45A8F;
    EXPECT_EQ(ReceivedText::shown(content), QByteArray("(sent 11 Apr 10:15) Hi"));
    // 31 Dec 23:59 and 1 Jan 00:00.
    content.timestamp = (12u << 16) | (31u << 11) | (23u << 6) | 59u;
    EXPECT_EQ(ReceivedText::shown(content), QByteArray("(sent 31 Dec 23:59) Hi"));
    content.timestamp = (1u << 16) | (1u << 11);
    EXPECT_EQ(ReceivedText::shown(content), QByteArray("(sent 1 Jan 00:00) Hi"));
}

TEST(ShownTextTest, TimestampThatNamesNoTimeIsShownAsHex)
{
    Content content = text(13, "A");
    for (const quint32 stamp :
         {0x000000u, 0x0D0800u, 0x010000u, (1u << 16) | (1u << 11) | (24u << 6),
          (1u << 16) | (1u << 11) | 60u}) {
        content.timestamp = stamp;
        const QByteArray shown = ReceivedText::shown(content);
        EXPECT_TRUE(shown.startsWith(
            "(time stamp " + QByteArray::number(stamp, 16).toUpper().rightJustified(6, '0') +
            ") (text coding scheme 13) 41"))
            << shown.constData();
    }
}

} // namespace
