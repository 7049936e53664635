#pragma once

#include <cstdint>

namespace serial {

// Results of Event::wait, as the Win32 waits report them.
constexpr uint32_t INFINITE = 0xFFFFFFFFu;
constexpr uint32_t WAIT_OBJECT_0 = 0;
constexpr uint32_t WAIT_TIMEOUT = 258;
constexpr uint32_t WAIT_FAILED = 0xFFFFFFFFu;

// A manual-reset waitable event on an eventfd: it stays signalled until reset,
// and its descriptor can be polled together with others (POLLIN while set).
class Event
{
public:
    // Throws std::system_error when no eventfd can be created.
    explicit Event(bool initiallySet = false);
    ~Event();
    Event(const Event &) = delete;
    Event &operator=(const Event &) = delete;

    void set();
    void reset();
    bool isSet() const;
    // Waits until the event is set or timeoutMs passed (INFINITE: no limit).
    uint32_t wait(uint32_t timeoutMs) const;
    int fd() const { return m_fd; }

private:
    int m_fd = -1;
};

} // namespace serial
