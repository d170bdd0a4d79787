// Milliseconds on a clock that never goes back (tests hand in one they move).
#pragma once

#include <QtGlobal>
#include <chrono>
#include <functional>

using MonotonicClock = std::function<qint64()>;

inline MonotonicClock steadyClock()
{
    return [] {
        return qint64(std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now().time_since_epoch())
                          .count());
    };
}
