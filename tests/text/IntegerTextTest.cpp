#include "text/IntegerText.h"

#include "text/IntegerConversionError.h"

#include <gtest/gtest.h>

namespace {

struct Case
{
    const char *text;
    qint32 value;
};

// Typed text and 8-bit text from the radio must agree on every case.
void expectBothForms(const char *text, std::optional<qint32> expected)
{
    EXPECT_EQ(tryParseInteger(QString::fromLatin1(text)), expected) << '"' << text << '"';
    EXPECT_EQ(tryParseInteger(QByteArray(text)), expected) << '"' << text << '"';
}

TEST(ParseInteger, ReadsDecimalWithLeadingBlanksAndSign)
{
    for (const Case &c :
         {Case{"0", 0}, Case{"255", 255}, Case{"-42", -42}, Case{"+17", 17}, Case{"   12", 12},
          Case{"  -3", -3}, Case{"007", 7}, Case{"-0", 0}, Case{"0130", 130}}) {
        expectBothForms(c.text, c.value);
        EXPECT_EQ(parseInteger(c.text), c.value) << c.text;
    }
}

TEST(ParseInteger, ReadsDollarHexadecimalInEitherCase)
{
    for (const Case &c : {Case{"$FF", 255}, Case{"$ff", 255}, Case{"$1aB", 0x1ab},
                          Case{"-$10", -16}, Case{" $0", 0}, Case{"$82", 130}})
        expectBothForms(c.text, c.value);
}

TEST(ParseInteger, AcceptsExactlyTheSigned32BitRange)
{
    expectBothForms("2147483647", 2147483647);
    expectBothForms("-2147483648", -2147483647 - 1);
    expectBothForms("$7FFFFFFF", 2147483647);
    expectBothForms("-$80000000", -2147483647 - 1);
    expectBothForms("00000000000000000000000000000012", 12);
    for (const char *text : {"2147483648", "-2147483649", "$80000000", "$FFFFFFFF",
                             "99999999999999999999999999999999"})
        expectBothForms(text, std::nullopt);
}

TEST(ParseInteger, RefusesEverythingElse)
{
    for (const char *text :
         {"",    " ",   "-",   "+",   "$",    "-$", "--1", "+-1", "1-",  "12 ", "1 2",
          "abc", "12a", "1.5", "1,5", "0x10", "$G", "$ 1", "- 1", "\t5", "$-1"}) {
        expectBothForms(text, std::nullopt);
        EXPECT_THROW(parseInteger(text), IntegerConversionError) << '"' << text << '"';
    }
}

TEST(ParseInteger, RefusesDigitsOfOtherScripts)
{
    EXPECT_FALSE(tryParseInteger(QString::fromUtf8("\u0663")));  // Arabic-Indic three
    EXPECT_FALSE(tryParseInteger(QString::fromUtf8("\uFF15")));  // fullwidth five
    EXPECT_FALSE(tryParseInteger(QString::fromUtf8("$\uFF21"))); // fullwidth A
    // Latin-1 octets above 0x7F are letters and signs, never digits.
    EXPECT_FALSE(tryParseInteger(QByteArray("\xB2")));  // superscript two
    EXPECT_FALSE(tryParseInteger(QByteArray("1\xBD"))); // one half
}

TEST(ParseInteger, ErrorNamesTheTextOctetForOctet)
{
    const struct
    {
        QByteArray text;
        const char *message;
    } cases[] = {{"4x", "'4x' is not a valid integer value"},
                 {"\xE9", "'\xE9' is not a valid integer value"},
                 {"", "'' is not a valid integer value"}};
    for (const auto &c : cases) {
        try {
            parseInteger(c.text);
            ADD_FAILURE() << "no exception for " << c.message;
        } catch (const IntegerConversionError &e) {
            EXPECT_STREQ(e.what(), c.message);
            EXPECT_EQ(e.text(), c.text);
        }
    }
}

} // namespace
