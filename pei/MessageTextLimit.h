#pragma once

#include <QByteArray>
#include <QString>

// How long the text of one outgoing message may be. The user data of an
// SDS-TL transfer is the header (protocol identifier, report flags, message
// reference, and the text coding octet when the protocol identifier text is
// "130") followed by one octet per character; the whole must fit the radio's
// limit in bits.
namespace MessageTextLimit {

// The limit of the user data that every radio takes.
constexpr int DefaultUserDataBits = 2047;

// Octets in front of the text for the given protocol identifier text.
int headerOctets(const QByteArray &protocolIdText);
// The most characters a text may have; never below 0.
int maxCharacters(int userDataBits, const QByteArray &protocolIdText);

// The characters of a text that do not exist in Latin-1 (they go out as
// "?"), each named once, in the order they first appear.
QString charactersOutsideLatin1(const QString &text);
// The warning shown beside the message field: empty when every character is
// Latin-1, else each offending character with its code point.
QString outsideLatin1Warning(const QString &text);
// The counter shown beside the message field.
QString charactersLeftText(int left);

} // namespace MessageTextLimit
