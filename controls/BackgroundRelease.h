#pragma once

#include "controls/LogSnapshot.h"

// Giving hundreds of megabytes of log lines back to the system takes the
// kernel tens of milliseconds, too long for the window thread: the blocks
// are let go on a worker thread of their own instead.

// Frees the blocks that only `held` still holds, later, on the worker.
void releaseInBackground(LogSnapshot held);
// Returns once everything handed over so far has been freed.
void waitForBackgroundRelease();
