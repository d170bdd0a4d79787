// What every Focuser object shares and reaches: the state all client objects
// see (connection, motion, client count, the last compensation value), the
// station's weather it reads, the settings and the profile they are kept in,
// the watch that says whether readings are fresh, and the program around it
// (hand box, traffic window, setup dialog, motor hook, shutdown), handed in
// by the start-up code.
#pragma once

#include "core/traffic.h"

#include <QDateTime>
#include <cstdint>
#include <functional>

class HandBoxApi;
class ProfileStore;
class WatchFeed;
struct Settings;
struct WeatherState;

// The utility object: only its default property exists, and only SaveOnExit sets it.
struct DriverHelperUtil {
    int16_t value = 0;
};

struct FocuserContext {
    FocuserContext(WeatherState &w, Settings &s) : weather(w), settings(s) {}

    WeatherState &weather;
    Settings &settings;
    ProfileStore *profile = nullptr;
    // The board's state and the last record: Temperature answers only while
    // readings are fresh; without a watch they never are.
    const WatchFeed *watch = nullptr;
    std::function<QDateTime()> clock; // UTC now; the system clock when empty
    HandBoxApi *handBox = nullptr;
    // The open traffic window when the group's box is checked; none when empty.
    std::function<TrafficApi *(TrafficGroup)> traffic;
    bool startedByUser = true; // false when launched for an automation client

    int16_t ClientCount = 0;
    bool Linked = false;
    bool Moving = false;
    double LastComp = 0; // followed value at the last compensation step
    DriverHelperUtil helperUtil;

    std::function<void()> runSetupDialog;
    // The last client object of a client-started program is gone: close the
    // log and the windows, which ends the program. Empty when nobody would
    // start the program again (it then keeps running).
    std::function<void()> shutDown;
    // A motor driver behind MoveFocuserTo; none in this program (tests watch the targets here).
    std::function<void(int32_t)> drive;

    TrafficApi *trafficFor(TrafficGroup group) const { return traffic ? traffic(group) : nullptr; }
    QDateTime now() const { return clock ? clock() : QDateTime::currentDateTimeUtc(); }
};
