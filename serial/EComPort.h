#pragma once

#include <stdexcept>
#include <string>

// The serial port's one exception type. A failed port call gives a fixed
// prefix ending in ": " directly followed by the decimal errno value.
class EComPort : public std::runtime_error
{
public:
    explicit EComPort(const std::string &message);
    EComPort(const char *prefix, int code);

    // The errno value behind the message; 0 for a message without one.
    int code() const { return m_code; }

private:
    int m_code = 0;
};
