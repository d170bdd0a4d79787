// The settings service of a run: what follows a change of the running
// settings (shared with the setup dialog), the local control socket for
// "tarnwick config" and the settings routes on the HTTP endpoint.
#pragma once

#include "control/settings_apply.h"
#include "control/settings_routes.h"

#include <memory>

class App;
class ControlServer;
class ProfileStore;
class SettingsService;

struct SettingsControl {
    SettingsControl();
    ~SettingsControl();
    std::unique_ptr<SettingsService> service;
    std::unique_ptr<ControlServer> server; // moves with the watch to its thread
};

// The modules that keep a copy of their settings take the new ones at once.
SettingsFollowers settingsFollowers(App &a);
// Why an UploadServices text cannot be used (empty: it can).
QStringList uploadServicesProblems(const QString &text);
// Makes the service, listens on the control socket and adds the settings
// routes (POST allowed as the gate says; unset: loopback only).
void startSettingsControl(App &a, ProfileStore &profile, SettingsGate gate = {});
