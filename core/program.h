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
    double LastComp = 0; // followed value at the last compensation step

    // Run-time options
    bool headless = false;
    QString serialDeviceOverride; // --serial-device for this run
    QString logDir;               // --log-dir
    QString alpacaAddress = "127.0.0.1"; // --alpaca-address
    int alpacaPort = 11111;              // --alpaca-port
    bool alpacaEnabled = true;           // cleared by --no-alpaca

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
    // A motor driver behind MoveFocuserTo; none in this program (tests watch the targets here).
    std::function<void(int32_t)> focuserDrive;
    // Plays a wave file through the setup dialog's MMControl1 and returns when it has
    // ended; false when it could not be played (no file, not a wave file, no sound device).
    std::function<bool(const QString &path)> playWaveFile;
};

Program &prog();
// Fresh state for tests: default settings and weather, no objects, no hooks.
void resetProgram();

// Writes a setting's current value to the profile (if one is open).
void saveSettingNow(const QString &key);
