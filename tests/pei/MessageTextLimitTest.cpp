#include "pei/MessageTextLimit.h"

#include "pei/SdsCodec.h"

#include <gtest/gtest.h>

using namespace MessageTextLimit;

namespace {

// The length in bits that the composed command announces.
int announcedBits(const QByteArray &protocolId, const QByteArray &text)
{
    const QByteArray command = SdsCodec::composeTextMessage(protocolId, 0, 0, "1", text);
    const QList<QByteArray> fields = command.left(command.indexOf('\r')).split(',');
    return fields.last().toInt();
}

} // namespace

TEST(MessageTextLimitTest, TheLongestTextFillsTheDefaultLimitAndOneMoreCharacterPassesIt)
{
    EXPECT_EQ(maxCharacters(DefaultUserDataBits, "130"), 251);
    EXPECT_EQ(maxCharacters(DefaultUserDataBits, "200"), 252);
    EXPECT_EQ(maxCharacters(DefaultUserDataBits, "0130"), 252) << "only the text 130 adds coding";
    for (const QByteArray &protocolId : {QByteArray("130"), QByteArray("200")}) {
        const int most = maxCharacters(DefaultUserDataBits, protocolId);
        EXPECT_LE(announcedBits(protocolId, QByteArray(most, 'x')), DefaultUserDataBits);
        EXPECT_GT(announcedBits(protocolId, QByteArray(most + 1, 'x')), DefaultUserDataBits);
    }
}

TEST(MessageTextLimitTest, OtherLimitsInBitsCountWholeOctetsAndNeverGoNegative)
{
    EXPECT_EQ(maxCharacters(1120, "200"), 137);
    EXPECT_EQ(maxCharacters(1127, "130"), 136);
    EXPECT_EQ(maxCharacters(24, "200"), 0);
    EXPECT_EQ(maxCharacters(16, "130"), 0);
}

TEST(MessageTextLimitTest, CharactersOutsideLatin1AreNamedOnceInOrder)
{
    EXPECT_EQ(charactersOutsideLatin1(QString::fromLatin1("plain \xE9\xFF")), QString());
    EXPECT_EQ(charactersOutsideLatin1(QStringLiteral("a\u20ACb\u2603\u20AC")),
              QStringLiteral("\u20AC\u2603"));
    EXPECT_EQ(charactersOutsideLatin1(QStringLiteral("x\U0001F600")), QStringLiteral("\U0001F600"));
    EXPECT_EQ(outsideLatin1Warning(QStringLiteral("caf\u00E9")), QString());
    EXPECT_EQ(outsideLatin1Warning(QStringLiteral("\u20AC\u0436")),
              QStringLiteral("Not Latin-1, sent as \"?\": \u20AC U+20AC, \u0436 U+0436"));
}

TEST(MessageTextLimitTest, EveryCharacterOfTheFieldIsOneOctetOnTheWire)
{
    // The field counts UTF-16 units; the wire must carry exactly as many octets.
    const QString text = QStringLiteral("a\u20AC\U0001F600");
    EXPECT_EQ(text.toLatin1().size(), text.size());
}

TEST(MessageTextLimitTest, CounterSaysHowManyRemain)
{
    EXPECT_EQ(charactersLeftText(252), "252 characters left");
    EXPECT_EQ(charactersLeftText(1), "1 character left");
    EXPECT_EQ(charactersLeftText(0), "0 characters left");
}
