#pragma once

#include "bench/ProcessCpuTime.h"

#include <QCoreApplication>
#include <QTimer>
#include <chrono>

// Runs the application's event loop for `time`.
inline void runEventLoopFor(std::chrono::milliseconds time)
{
    QTimer::singleShot(time, qApp, &QCoreApplication::quit);
    qApp->exec();
}

// Percent of one core this process uses while its event loop runs idle
// for `time`.
inline double idlePercent(std::chrono::milliseconds time)
{
    const auto before = processCpuTime();
    runEventLoopFor(time);
    const auto used = processCpuTime() - before;
    return 100.0 * double(used.count()) / double(std::chrono::microseconds(time).count());
}
