#include "session/OwnIdentity.h"

#include <gtest/gtest.h>

namespace {

TEST(OwnIdentityTest, TakesTheIdentityOfTheAnswer)
{
    EXPECT_EQ(OwnIdentity::query(), QByteArray("AT+CNUMF?\r"));
    EXPECT_EQ(OwnIdentity::fromAnswer("\r\n+CNUMF: 0,1234\r\n\r\nOK\r\n"), QByteArray("1234"));
    EXPECT_EQ(OwnIdentity::fromAnswer("\r\n+CNUMF: 1, 262010001234567\r\n\r\nOK\r\n"),
              QByteArray("262010001234567"));
}

TEST(OwnIdentityTest, ARefusalOrAnAnswerWithoutDigitsGivesNone)
{
    for (const QByteArray &answer :
         {QByteArray("\r\nERROR\r\n"), QByteArray("\r\n+CNUMF: 0,1234\r\n\r\nERROR\r\n"),
          QByteArray("\r\nOK\r\n"), QByteArray("\r\n+CNUMF: 0\r\n\r\nOK\r\n"),
          QByteArray("\r\n+CNUMF: 0,\r\n\r\nOK\r\n"),
          QByteArray("\r\n+CNUMF: 0,12a4\r\n\r\nOK\r\n"),
          QByteArray("\r\n+CNUMF: 0,-1234\r\n\r\nOK\r\n"),
          QByteArray("\r\n+CNUMF: 0,123456789012345678\r\n\r\nOK\r\n"),
          QByteArray("\r\n+CNUMF: 0,1234")})
        EXPECT_FALSE(OwnIdentity::fromAnswer(answer)) << answer.constData();
}

} // namespace
