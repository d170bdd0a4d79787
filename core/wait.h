// Wait(ms): returns after at least ms milliseconds, delivering window, socket,
// timer and automation events meanwhile. It sleeps in the event loop rather
// than spinning. Tests may replace it with a clock that does not pump.
#pragma once

#include <functional>

void Wait(int ms);

using WaitHandler = std::function<void(int ms)>;
// Installs a replacement (empty restores the real wait); returns the previous one.
WaitHandler setWaitHandler(WaitHandler handler);
