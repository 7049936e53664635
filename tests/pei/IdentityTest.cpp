#include "pei/Identity.h"

#include <gtest/gtest.h>

#include <ostream>

namespace Identity {
inline void PrintTo(Type type, std::ostream *os)
{
    *os << (type == Type::Ssi ? "Ssi" : "Full");
}
} // namespace Identity

namespace {

using Identity::Type;

TEST(IdentityTest, SsiIsOneToEightDigitsOfAtMost24Bits)
{
    for (const char *ssi : {"1", "0", "1234", "1234567", "16777215", "00000001", "09999999"}) {
        EXPECT_TRUE(Identity::isSsi(ssi)) << ssi;
        EXPECT_FALSE(Identity::isFullIdentity(ssi)) << ssi;
        EXPECT_EQ(Identity::typeOf(ssi), std::optional<Type>(Type::Ssi)) << ssi;
    }
    for (const char *other : {"16777216", "99999999", "123456789"})
        EXPECT_FALSE(Identity::isSsi(other)) << other;
}

TEST(IdentityTest, FullIdentityIsNineToSeventeenDigits)
{
    for (const char *full : {"123456789", "000000001", "262100009876543", "262100012345678",
                             "09011638300023404", "99999999999999999"}) {
        EXPECT_TRUE(Identity::isFullIdentity(full)) << full;
        EXPECT_FALSE(Identity::isSsi(full)) << full;
        EXPECT_EQ(Identity::typeOf(full), std::optional<Type>(Type::Full)) << full;
    }
}

TEST(IdentityTest, AnythingButDigitsIsNeitherForm)
{
    // An SSI beyond 24 bits is no full identity either: too few digits.
    for (const char *bad : {"", "16777216", "99999999", "090116383000234041", "12a4", " 1234",
                            "1234 ", "+1234", "-1", "$FF", "1 2", "5678\rAT+EVIL\r"}) {
        EXPECT_FALSE(Identity::isSsi(bad)) << bad;
        EXPECT_FALSE(Identity::isFullIdentity(bad)) << bad;
        EXPECT_EQ(Identity::typeOf(bad), std::nullopt) << bad;
    }
    // An octet zero inside the text is not a digit, wherever it stands.
    EXPECT_EQ(Identity::typeOf(QByteArray("1234\0"
                                          "5",
                                          6)),
              std::nullopt);
    EXPECT_EQ(Identity::typeOf(QByteArray("262100\0"
                                          "09876543",
                                          15)),
              std::nullopt);
}

TEST(IdentityTest, TypeNumbersAreThoseOfTheServiceSelection)
{
    EXPECT_EQ(int(Type::Ssi), 0);
    EXPECT_EQ(int(Type::Full), 1);
}

} // namespace
