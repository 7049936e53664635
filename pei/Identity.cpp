#include "pei/Identity.h"

#include <algorithm>

namespace Identity {

namespace {

constexpr qsizetype MaxSsiDigits = 8;
constexpr qsizetype MaxFullIdentityDigits = 17;

bool isDigits(const QByteArray &text)
{
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

bool isSsi(const QByteArray &text)
{
    return isDigits(text) && text.size() <= MaxSsiDigits && text.toLongLong() <= MaxSsi;
}

bool isAddressableSsi(const QByteArray &text)
{
    return isSsi(text) && text.toLongLong() >= 1;
}

bool isFullIdentity(const QByteArray &text)
{
    return isDigits(text) && text.size() > MaxSsiDigits && text.size() <= MaxFullIdentityDigits;
}

std::optional<Type> typeOf(const QByteArray &text)
{
    if (isSsi(text))
        return Type::Ssi;
    if (isFullIdentity(text))
        return Type::Full;
    return std::nullopt;
}

} // namespace Identity
