// One run of the program: every long-lived object, made and wired together by
// start-up (startUp). The only place that knows every module. Without windows
// (tarnwickd, or headless); the program with windows adds them
// (app/desktop/desktop_app.h) through the hooks below.
#pragma once

#include "watch/watch_status.h"
#include "focuser/focuser_context.h"
#include "metrics/metrics_text.h"
#include "station/alert_engine.h"
#include "station/diagnostic_log.h"
#include "station/weather_state.h"

#include <QJsonArray>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class AlpacaServer;
class Archive;
class AuthService;
struct Automation;
class QThread;
class BoardSimulator;
class MqttPublisher;
class WatchModel;
class SafetyWatch;
struct SettingsControl;
class SerialStationPort;
class StationCycle;
class StationLink;
class Uploads;
struct StationContext;
struct CommandLine;

class App {
public:
    App();
    virtual ~App();
    App(const App &) = delete;
    App &operator=(const App &) = delete;

    WeatherState weather;
    // Counted from the watch and the upload for /metrics; before the watch,
    // so it outlives the watch's listeners.
    MetricsCounters metrics;
    // What devices for clients, the archive, the web page and feeds read.
    WatchFeed watch;
    FocuserContext focuser;
    // The watch as shown, with the station's clock; the hand box window
    // mirrors it when somebody looks.
    std::unique_ptr<WatchModel> model;
    // The weather archive, a listener of the watch; null with --no-archive or
    // when its file cannot be used.
    std::unique_ptr<Archive> archive;
    // Changes to the settings from the settings page and "tarnwick config
    // set"; before the endpoint, whose routes use it, so it outlives them.
    std::unique_ptr<SettingsControl> control;
    // The HTTP endpoint (Alpaca devices, web page, feeds); null with
    // --no-alpaca or when it could not start.
    std::unique_ptr<AlpacaServer> alpaca;
    // Who may change what on it (app/auth_setup.h); null without the endpoint.
    std::shared_ptr<AuthService> auth;
    // The watch on an MQTT broker; null unless enabled and usable.
    std::unique_ptr<MqttPublisher> mqtt;

    // Alerts and the diagnostic log
    WaveFilePlayer player;
    DetachedLauncher launcher;
    std::unique_ptr<AlertEngine> alerts;
    DiagnosticLog log;
    // Judges the watch and publishes the safety verdict into it.
    std::unique_ptr<SafetyWatch> safety;

    // The station, once the watch model exists
    std::unique_ptr<StationContext> stationContext;
    std::unique_ptr<SerialStationPort> port;
    std::unique_ptr<StationLink> link;
    std::unique_ptr<StationCycle> cycle;
    std::unique_ptr<BoardSimulator> simulator;

    QString serialDeviceOverride; // --serial-device, or the simulator's pseudo-terminal
    QString logDir;               // --log-dir
    std::function<void()> quit;   // ends the process once windows are gone

    // The station over the real serial port, wired to the watch model, the
    // alerts, the upload and the log.
    void buildStation();
    // The upload form and the further services, where the watch runs; made by wireUpload.
    std::unique_ptr<Uploads> upload;
    // Makes the upload, which reports the observation of the record that
    // completed the report period and asks the board's state before each report.
    void wireUpload();
    // Each upload service's name and state (where the upload runs).
    QJsonArray uploadStates() const;
    // The same from any thread (the web page is answered where the watch runs).
    QJsonArray uploadStatesSeen();
    // Why readings must not go out now (empty when they may).
    QString notLiveNow() const;
    // Starts the board simulator and points the port at it. False, after
    // telling the user, when no pseudo-terminal can be had.
    bool startSimulator();
    // The last client object of a client-started program is gone.
    void shutDownForLastClient();

    // The windows' part in start-up; without windows each does nothing.
    // After the watch model: the windows over it.
    virtual void buildWindows(const CommandLine &) {}
    // Once the settings are read and the station is built: the setup dialog,
    // the windows' copies of the watch and of the archive.
    virtual void installWindows() {}
    // What closing the watch runs for the windows, first, in order; and what
    // the hand box's buttons open.
    virtual std::vector<std::function<void()>> wireWindows() { return {}; }
    // Once everything is wired: the windows show.
    virtual void showWindows() {}
    // A client asked for the setup dialog; without windows it says why none shows.
    virtual void runSetupDialog();
    // The program ends for its last client: the windows go first (on their thread).
    virtual void unloadWindows() {}

    // The data file, the notifications and the service watchdog; declared
    // last, so it goes first and can still say "stopping".
    std::unique_ptr<Automation> automation;

private:
    bool m_reportDue = false; // the report period ended in the record under way

public:
    // The thread the watch runs on beside the windows (null: it runs on the
    // window thread); see app/watch_thread.h.
    std::unique_ptr<QThread> watchThread;
};
