// Start-up of the MQTT link, when the profile enables it.
#pragma once

class App;

// Reads the "Mqtt" settings; a setting that cannot be used is told in one
// message and the run goes on without MQTT.
void startMqtt(App &app);
// After the setup dialog changed a setting the link copies ("Mqtt/...", the
// staleness, the cloud limits): the link in use says "offline" and closes, and
// a new one starts with the settings as they stand. Runs where the watch runs.
void restartMqtt(App &app);
