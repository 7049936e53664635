#pragma once

#include <cerrno>

namespace serial {

// Repeats a system call that a signal interrupted.
template <typename Call> auto retryOnEintr(Call call)
{
    auto result = call();
    while (result == -1 && errno == EINTR)
        result = call();
    return result;
}

} // namespace serial
