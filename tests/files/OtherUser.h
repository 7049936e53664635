#pragma once

#include <sys/fsuid.h>
#include <unistd.h>

// File permissions as an ordinary user sees them, for the calling thread
// only: the superuser, who passes every permission check, takes the file
// system identity of "nobody" for the object's lifetime. Other users need no
// change.
class OtherUser
{
public:
    static constexpr uid_t Nobody = 65534;

    OtherUser() : m_wasSuperuser(::geteuid() == 0)
    {
        if (m_wasSuperuser)
            ::setfsuid(Nobody);
    }
    ~OtherUser()
    {
        if (m_wasSuperuser)
            ::setfsuid(0);
    }
    OtherUser(const OtherUser &) = delete;
    OtherUser &operator=(const OtherUser &) = delete;

    // True when permissions now apply: setfsuid() reports the identity in
    // force when asked to change to an impossible one.
    static bool permissionsApply() { return ::setfsuid(static_cast<uid_t>(-1)) != 0; }

private:
    bool m_wasSuperuser;
};
