#pragma once

#include <QString>
#include <functional>
#include <gtest/gtest.h>

// Long enough for any single step on a loaded machine.
constexpr int stepTimeoutMs = 8000;

// Runs the application's event loop, as the program's own loop would run
// it (sleeping only until the next timer is due), until condition holds or
// the time is up. Returns whether the condition held.
bool runEventLoopUntil(const std::function<bool()> &condition, int timeoutMs = stepTimeoutMs);

// The same, as a test assertion that names what did not come.
testing::AssertionResult waitUntil(const std::function<bool()> &condition, const QString &what,
                                   int timeoutMs = stepTimeoutMs);
