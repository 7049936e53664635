#pragma once

#include <QByteArray>
#include <optional>

// The forms of a TETRA identity as the PEI writes them: decimal digits only,
// never blanks or signs. Radio input and the destination field are both
// checked here before an identity may reach a command.
namespace Identity {

// How AT+CTSDS names the form of the called party's identity.
enum class Type { Ssi = 0, Full = 1 };

constexpr qint64 MaxSsi = 16777215;

// 1 to 8 digits, at most 16777215: a short subscriber identity (24 bits).
bool isSsi(const QByteArray &text);
// An SSI a message can go to: 1 to 16777215.
bool isAddressableSsi(const QByteArray &text);
// 9 to 17 digits: a full identity (country code, network code and SSI, as
// an ITSI or TSI).
bool isFullIdentity(const QByteArray &text);
// The form of an identity; nothing when the text is neither form.
std::optional<Type> typeOf(const QByteArray &text);

} // namespace Identity
