#pragma once

#include <functional>

// The platform's default beep. Every refused input sounds through here, so
// that a test can count the beeps instead of hearing them.
void systemBeep();

// Replaces the beep; an empty function brings back the default one.
void setBeepHandler(std::function<void()> handler);
