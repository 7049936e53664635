#include "pei/CommandLine.h"

#include <gtest/gtest.h>

TEST(CommandLineTest, TypedCommandIsOneLineOfPrintableLatin1)
{
    EXPECT_EQ(typedCommand("AT+CSQ?"), QByteArray("AT+CSQ?\r"));
    EXPECT_EQ(typedCommand("  AT+CREG? \t"), QByteArray("AT+CREG?\r"));
    EXPECT_EQ(typedCommand("AT+X\r\nAT+Y\x1a"), QByteArray("AT+XAT+Y\r"));
    EXPECT_EQ(typedCommand(QString::fromUtf8("AT\u00e9\u20ac")), QByteArray("AT\xe9\r"));
    EXPECT_TRUE(typedCommand("").isEmpty());
    EXPECT_TRUE(typedCommand(" \x01 ").isEmpty());
}
