// Process-wide state: the settings and the profile they are kept in, how the
// process was started, and the open traffic window. Nothing here is locked:
// the settings are the watch's, so the window thread reads and changes them
// on the watch's thread (onWatchThread), and the traffic window is touched on
// the window thread only (trafficFor posts other threads' lines there).
// Everything else is handed to the objects that use it by the start-up code.
#pragma once

#include "core/settings.h"

#include <QString>

class ProfileStore;
class TrafficApi;

struct Program {
    ProfileStore *profile = nullptr; // set by start-up (or by tests)
    Settings settings;

    bool StartedByUser = true; // false when launched for an automation client
    bool headless = false;     // no display: boxes go to standard error

    TrafficApi *TrafficWindow = nullptr; // empty while no traffic window is open
};

Program &prog();
// Fresh state for tests: default settings, no profile, no traffic window.
void resetProgram();

// Writes a setting's current value to the profile (if one is open). A failed
// write is reported (reportSaveFailure) and returns false.
bool saveSettingNow(const QString &key);
// Tells of a save that did not reach the disk: always on standard error, and
// with a box when there is a display.
void reportSaveFailure(const QString &text);
