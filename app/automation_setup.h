// Observatory automation: the one-line weather data file, the notifications
// and the word to systemd (ready, watchdog, stopping).
#pragma once

#include "service/service_notify.h"

#include <memory>

class App;
class Notifier;
class WeatherDataFile;

struct Automation {
    Automation();
    ~Automation(); // "stopping" goes out to the notifications and to systemd

    std::unique_ptr<WeatherDataFile> dataFile; // null while WeatherDataFile is empty
    std::unique_ptr<Notifier> notifier;        // null while no channel is set
    ServiceNotify service;
    std::shared_ptr<bool> alive = std::make_shared<bool>(true); // for the watch's listeners
};

// After the safety watch exists: the data file and the notifications listen
// to the watch, the watchdog to the station's cycles.
void startAutomation(App &app);
// After the setup dialog changed WeatherDataFile: the file is written at the
// new path from the next change of the watch on (none when empty); the old
// file gets the last line of a file let go (both flags 1). Runs where the
// watch runs.
void useWeatherDataFile(App &app);
// At the end of start-up: systemd hears "ready", the notifications "started".
void automationReady(App &app);
