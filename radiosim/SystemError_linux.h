#pragma once

#include "serial/Syscall_linux.h"
#include "serial/UniqueFd_linux.h"

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

// The runner shares the serial layer's descriptor and EINTR helpers.
using serial::retryOnEintr;
using serial::UniqueFd;

} // namespace radiosim
