// What every Focuser object shares and reaches: the state all client objects
// see (connection, motion, client count, the last compensation value), the
// station's weather it reads, and the program around it (hand box, setup
// dialog, motor hook, shutdown), handed in by the start-up code.
#pragma once

#include "core/traffic.h"

#include <cstdint>
#include <functional>

class HandBoxApi;
struct WeatherState;

struct FocuserContext {
    explicit FocuserContext(WeatherState &w) : weather(w) {}

    WeatherState &weather;
    HandBoxApi *handBox = nullptr;

    int16_t ClientCount = 0;
    bool Linked = false;
    bool Moving = false;
    double LastComp = 0; // followed value at the last compensation step

    std::function<void()> runSetupDialog;
    // The last client object of a client-started program is gone: close the
    // log and the windows, which ends the program. Empty when nobody would
    // start the program again (it then keeps running).
    std::function<void()> shutDown;
    // A motor driver behind MoveFocuserTo; none in this program (tests watch the targets here).
    std::function<void(int32_t)> drive;
};
