// What the station works with, handed in by whoever builds it: the settings it
// reads, the weather record it keeps, the hand box it shows values in, where
// conditions, traffic lines, the fifth-window reports and the board's state
// go, its clock and how it pauses.
#pragma once

#include "watch/board_state.h"
#include "core/traffic.h"
#include "station/alerts.h"
#include "core/wait.h"
#include "station/weather_state.h"

#include <QDateTime>
#include <functional>
#include <vector>

struct Settings;
class HandBoxApi;
class ProfileStore;

struct StationContext {
    Settings &settings;
    WeatherState &weather;
    HandBoxApi &handBox;
    ProfileStore *profile = nullptr; // "COM Port" is read and, when empty, written here
    AlertHandler alerts;             // each condition as it is evaluated
    // The open traffic window when its group is on, else nullptr.
    std::function<TrafficApi *(TrafficGroup)> traffic;
    // Every fifth completed wind window, in this order, while the record is
    // processed (the PWS report); the log line reads the Observation's reportDue.
    std::vector<std::function<void()>> fifthWindow;
    std::function<QDateTime()> utcClock = &QDateTime::currentDateTimeUtc;
    // Every new board status (state, device, reason); the link also writes a
    // line on standard error and in the traffic window for each change of state.
    std::function<void(const BoardStatus &)> boardChanged;
    // The pauses between characters and before a record is looked at again;
    // empty: the real wait, in which events go on being delivered. Tests put
    // a clock here.
    std::function<void(int ms)> pause;

    void raiseAlert(AlertKind kind, bool holds) const
    {
        if (alerts)
            alerts(kind, holds);
    }
    TrafficApi *trafficFor(TrafficGroup group) const { return traffic ? traffic(group) : nullptr; }
    void pauseFor(int ms) const
    {
        if (pause)
            pause(ms);
        else
            Wait(ms);
    }
};
