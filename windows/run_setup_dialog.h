// The setup procedure: fills the setup dialog from Settings, shows it modally
// while the watch runs on, reads it back on OK into a copy of the settings
// (showing it again while a field is rejected), writes each accepted value and
// applies what was read to the running program, then restarts the averaging
// windows.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class HandBoxApi;
class ProfileStore;
class frmSetup;
struct Settings;

// What the setup procedure reaches around it.
struct SetupLinks {
    Settings *settings = nullptr;          // the running program's, filled in and applied to
    ProfileStore *profile = nullptr;       // accepted values are written here (none: not saved)
    bool headless = false;                 // nobody could answer the dialog: it is not shown
    HandBoxApi *handBox = nullptr;         // its window hides while the dialog is up
    std::function<double()> currentValue;  // shown in "TempCur" (the station's wind value)
    std::function<void()> restartWindows;  // the averaging windows start again after OK
    std::function<bool(bool absolute, double maxStep)> resetPosition; // "Reset Position"
    std::function<void()> refreshFocuser;  // the focuser follows the accepted settings
    std::function<void()> boardDeviceChosen; // after OK: the board's device choice applies at once
    // Why an UploadServices text cannot be used (empty: it can); OK is refused meanwhile.
    std::function<QStringList(const QString &)> servicesProblems;
    // After the dialog closed: the keys ("Mqtt/Port", "WeatherDataFile" ...)
    // whose running values OK changed, for the modules that hold a copy.
    std::function<void(const QStringList &keys)> settingsChanged;
    // Runs a step where the watch runs and returns when it is done (unset: at
    // once). The running settings, the hand box and the links above are the
    // watch's: the dialog reads and changes them only through this.
    std::function<void(const std::function<void()> &)> onWatch;
};

void RunSetupDialog();

// Start-up: loads the dialog hidden.
void installSetup(SetupLinks links);

// Plays a wave file through the dialog's MMControl1 and returns when it has
// ended (false when it could not be played). The main timer is held meanwhile.
bool playWaveFile(const QString &path);

// The loaded dialog, created hidden when it does not exist yet.
frmSetup *setupDialog();
// Unloads the dialog (the hand box's unload handler). While the procedure is
// showing it, the dialog is closed as by Cancel and removed when the procedure ends.
void unloadSetupDialog();
