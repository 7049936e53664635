#pragma once

#include <cerrno>
#include <stdexcept>

namespace radiosim {

// A failed system call; what() names the call and the system's reason.
// The one place where an errno value becomes text.
class SystemError : public std::runtime_error
{
public:
    SystemError(const char *call, int error);
    int error() const { return m_error; }

private:
    int m_error = 0;
};

// Runs a system call again while it is interrupted by a signal.
template <typename Call> auto retryOnInterrupt(Call call)
{
    for (;;) {
        const auto result = call();
        if (!(result == -1 && errno == EINTR))
            return result;
    }
}

} // namespace radiosim
