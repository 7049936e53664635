#pragma once

#include <QByteArray>
#include <cstdio>
#include <ostream>

// Failures show octet strings readably: line ends and other control
// characters escaped, never as lists of characters.
inline void PrintTo(const QByteArray &bytes, std::ostream *os)
{
    *os << '"';
    for (const char c : bytes) {
        const auto octet = static_cast<unsigned char>(c);
        if (c == '\r') {
            *os << "\\r";
        } else if (c == '\n') {
            *os << "\\n";
        } else if (octet >= 0x20 && octet < 0x7F) {
            *os << c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", octet);
            *os << escaped;
        }
    }
    *os << '"';
}
