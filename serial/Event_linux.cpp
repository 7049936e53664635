#include "serial/Event.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <poll.h>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

namespace serial {

Event::Event(bool initiallySet) : m_fd(::eventfd(initiallySet ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (m_fd < 0)
        throw std::system_error(errno, std::generic_category(), "eventfd");
}

Event::~Event()
{
    ::close(m_fd);
}

void Event::set()
{
    const uint64_t one = 1;
    // EAGAIN means the counter is saturated, which is still "set".
    while (::write(m_fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void Event::reset()
{
    uint64_t value = 0;
    // EAGAIN means the counter was already 0.
    while (::read(m_fd, &value, sizeof value) < 0 && errno == EINTR) {
    }
}

bool Event::isSet() const
{
    return wait(0) == WAIT_OBJECT_0;
}

uint32_t Event::wait(uint32_t timeoutMs) const
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int pollTimeout = -1;
        if (timeoutMs != INFINITE) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                    .count();
            pollTimeout =
                static_cast<int>(std::max<long long>(0, std::min<long long>(left, INT_MAX)));
        }
        pollfd target{m_fd, POLLIN, 0};
        const int ready = ::poll(&target, 1, pollTimeout);
        if (ready > 0)
            return WAIT_OBJECT_0;
        if (ready < 0 && errno != EINTR)
            return WAIT_FAILED;
        if (ready == 0 && pollTimeout != -1 && Clock::now() >= deadline)
            return WAIT_TIMEOUT;
    }
}

} // namespace serial
