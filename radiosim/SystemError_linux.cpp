#include "radiosim/SystemError_linux.h"

#include <cstring>
#include <string>

namespace radiosim {

namespace {

std::string describe(const char *call, int error)
{
    char buffer[256] = {};
    // The GNU strerror_r may return a static string instead of filling buffer.
    const char *reason = strerror_r(error, buffer, sizeof buffer);
    return std::string(call) + " failed: " + reason + " (errno " + std::to_string(error) + ")";
}

} // namespace

SystemError::SystemError(const char *call, int error)
    : std::runtime_error(describe(call, error)), m_error(error)
{}

} // namespace radiosim
