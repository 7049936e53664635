#pragma once

#include <chrono>
#include <sys/resource.h>

// CPU time this process has used so far, user and system together.
inline std::chrono::microseconds processCpuTime()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return std::chrono::seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           std::chrono::microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}
