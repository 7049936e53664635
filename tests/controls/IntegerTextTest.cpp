#include "controls/IntegerText.h"

#include <gtest/gtest.h>

namespace {

TEST(IntegerText, ReadsDecimalWithLeadingBlanksAndSign)
{
    EXPECT_EQ(integerFromText("0"), 0);
    EXPECT_EQ(integerFromText("255"), 255);
    EXPECT_EQ(integerFromText("-42"), -42);
    EXPECT_EQ(integerFromText("+17"), 17);
    EXPECT_EQ(integerFromText("   12"), 12);
    EXPECT_EQ(integerFromText("  -3"), -3);
    EXPECT_EQ(integerFromText("007"), 7);
    EXPECT_EQ(integerFromText("-0"), 0);
}

TEST(IntegerText, ReadsDollarHexadecimalInEitherCase)
{
    EXPECT_EQ(integerFromText("$FF"), 255);
    EXPECT_EQ(integerFromText("$ff"), 255);
    EXPECT_EQ(integerFromText("$1aB"), 0x1ab);
    EXPECT_EQ(integerFromText("-$10"), -16);
    EXPECT_EQ(integerFromText(" $0"), 0);
    EXPECT_EQ(integerFromText("$7FFFFFFF"), 2147483647);
    EXPECT_EQ(integerFromText("-$80000000"), -2147483647 - 1);
}

TEST(IntegerText, AcceptsExactlyTheSigned32BitRange)
{
    EXPECT_EQ(integerFromText("2147483647"), 2147483647);
    EXPECT_EQ(integerFromText("-2147483648"), -2147483647 - 1);
    EXPECT_FALSE(integerFromText("2147483648"));
    EXPECT_FALSE(integerFromText("-2147483649"));
    EXPECT_FALSE(integerFromText("$80000000"));
    EXPECT_FALSE(integerFromText("$FFFFFFFF"));
    EXPECT_FALSE(integerFromText("99999999999999999999999999999999"));
    EXPECT_EQ(integerFromText("00000000000000000000000000000012"), 12);
}

TEST(IntegerText, RefusesEverythingElse)
{
    for (const char *text :
         {"",    " ",   "-",   "+",   "$",    "-$", "--1", "+-1", "1-",  "12 ", "1 2",
          "abc", "12a", "1.5", "1,5", "0x10", "$G", "$ 1", "- 1", "\t5", "$-1"})
        EXPECT_FALSE(integerFromText(QString::fromLatin1(text))) << text;
}

TEST(IntegerText, RefusesDigitsOfOtherScripts)
{
    EXPECT_FALSE(integerFromText(QString::fromUtf8("\u0663")));  // Arabic-Indic three
    EXPECT_FALSE(integerFromText(QString::fromUtf8("\uFF15")));  // fullwidth five
    EXPECT_FALSE(integerFromText(QString::fromUtf8("$\uFF21"))); // fullwidth A
}

} // namespace
