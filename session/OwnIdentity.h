#pragma once

#include <QByteArray>
#include <optional>

// The radio's own identity, asked with "AT+CNUMF?" and answered as
// "+CNUMF: <type>,<identity>" before the final "OK". The answer is radio
// input: only digits are taken, and the caller still checks that its
// dialect sends to them.
namespace OwnIdentity {

QByteArray query();
// The identity of an answer to query(); nothing when the answer holds no
// "+CNUMF:" line with a second field of 1 to 17 digits, or is not "OK".
std::optional<QByteArray> fromAnswer(const QByteArray &response);

} // namespace OwnIdentity
