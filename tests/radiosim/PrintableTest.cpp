#include "radiosim/Printable.h"

#include <gtest/gtest.h>

TEST(Printable, EscapesControlAndHighOctets)
{
    EXPECT_EQ(radiosim::printable(QByteArray("AT+CMGS=1\r41\x1A\n", 14)), "AT+CMGS=1\\r41\\x1A\\n");
    EXPECT_EQ(radiosim::printable(QByteArray("\x00\x7F\xA5\\", 4)), "\\x00\\x7F\\xA5\\\\");
    EXPECT_EQ(radiosim::printable(QByteArray()), QString());
}
