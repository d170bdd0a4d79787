// Process-wide state shared by the modules (one thread, nothing locked), and
// the hooks through which one module reaches another without depending on it.
#pragma once

#include "core/settings.h"
#include "station/weather_state.h"

#include <QString>
#include <functional>
#include <memory>

class ProfileStore;
class HandBoxApi;
class TrafficApi;

struct Program {
    // Long-lived objects, set by start-up (or by tests)
    ProfileStore *profile = nullptr;
    HandBoxApi *handBox = nullptr;
    TrafficApi *TrafficWindow = nullptr; // empty while no traffic window is open

    Settings settings;
    WeatherState weather;

    // Focuser state
    bool StartedByUser = true;
    int16_t ClientCount = 0;
    bool Linked = false;
    bool Moving = false;

    // Run-time options
    bool headless = false;
    QString serialDeviceOverride; // --serial-device for this run
    QString logDir;               // --log-dir

    // Hooks filled by the modules that own them; empty ones do nothing.
    std::function<void()> stationCycle;        // the main timer's tick
    std::function<void()> boardSearch;         // last step of start-up: find the board, enable the timer
    std::function<void()> openLog;             // start-up opens the diagnostic log
    std::function<void()> runSetupDialog;      // setup procedure
    std::function<void()> showTrafficWindow;   // hand box "Traffic"
    std::function<void()> showUploadWindow;    // hand box "PWS"
    std::function<void()> unloadUploadWindow;
    std::function<void()> unloadTrafficWindow;
    std::function<void()> unloadSetupDialog;
    std::function<void(bool)> showGraphs;      // hand box "Graphs" box
    std::function<void()> unloadGraphs;
    std::function<void()> closeLog;
    // Every fifth completed wind window, in this order: the PWS report, then the log line.
    std::function<void()> sendPwsReport;
    std::function<void()> writeLogLine;
    std::function<void()> quit;                // ends the process once windows are gone
};

Program &prog();
// Fresh state for tests: default settings and weather, no objects, no hooks.
void resetProgram();

// Writes a setting's current value to the profile (if one is open).
void saveSettingNow(const QString &key);
