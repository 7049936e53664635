#pragma once

#include "pei/Indication.h"

#include <ostream>

// Failures name the kind of an indication reading.
namespace Indication {
inline void PrintTo(Kind kind, std::ostream *os)
{
    static const char *const names[] = {"None",    "Malformed", "Report",
                                        "Message", "Status",    "Acknowledgement"};
    *os << names[int(kind)];
}
} // namespace Indication
