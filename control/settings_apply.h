// The one way a batch of edited settings reaches the running program, shared
// by the setup dialog's OK and the settings service: the keys are copied
// where the watch runs, and the modules that keep a copy of their own follow.
#pragma once

#include <QStringList>
#include <functional>

struct Settings;

// What follows a change of the running settings.
struct SettingsFollowers {
    // The keys ("Mqtt/Port", "WeatherDataFile" ...) whose running values
    // changed, for the modules that hold a copy (runs each step where it must).
    std::function<void(const QStringList &keys)> settingsChanged;
    std::function<void()> refreshFocuser; // where the watch runs
    std::function<void()> restartWindows; // where the watch runs: the averaging windows start again
};

// Copies `keys` from the edited copy into the running settings (call where
// the watch runs); returns the keys whose value changed.
QStringList copyChangedKeys(const Settings &edited, Settings &running, const QStringList &keys);

// Keys after which the averaging windows must start again.
bool changesAveraging(const QStringList &keys);
