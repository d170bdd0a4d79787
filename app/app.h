// One run of the program: every long-lived object, made and wired together by
// start-up (Main). The only place that knows every module.
#pragma once

#include "watch/watch_status.h"
#include "focuser/focuser_context.h"
#include "metrics/metrics_text.h"
#include "station/alert_engine.h"
#include "station/diagnostic_log.h"
#include "station/weather_state.h"

#include <QJsonArray>
#include <QMutex>
#include <QString>
#include <functional>
#include <memory>

class AlpacaServer;
class Archive;
class AuthService;
struct Automation;
class QThread;
class BoardSimulator;
class GraphWindows;
class HandBox;
class MqttPublisher;
class WatchModel;
class SafetyWatch;
class SetupProcedure;
struct SettingsControl;
class SerialStationPort;
class StationCycle;
class StationLink;
class UploadUi;
struct StationContext;
struct CommandLine;

class App {
public:
    App();
    ~App();
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
    // mirrors it and is null when nobody looks (headless).
    std::unique_ptr<WatchModel> model;
    std::unique_ptr<HandBox> handBox;
    // The graph windows behind the hand box (none open until asked for).
    std::unique_ptr<GraphWindows> graphs;
    // The setup dialog and its procedure; null when nobody looks (headless).
    std::unique_ptr<SetupProcedure> setup;
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
    // The upload form and window; made by wireUpload.
    std::unique_ptr<UploadUi> upload;
    // Makes the upload, which reports the observation of the record that
    // completed the report period and asks the board's state before each report.
    void wireUpload();
    // Each upload service's name and state (on the upload's thread).
    QJsonArray uploadStates() const;
    // The same as taken after the last observation, from any thread: for the
    // web page, which is answered where the watch runs.
    QJsonArray uploadStatesSeen() const;
    // Why readings must not go out now (empty when they may).
    QString notLiveNow() const;
    // Starts the board simulator and points the port at it. False, after
    // telling the user, when no pseudo-terminal can be had.
    bool startSimulator();
    // The last client object of a client-started program is gone.
    void shutDownForLastClient();

    // The data file, the notifications and the service watchdog; declared
    // last, so it goes first and can still say "stopping".
    std::unique_ptr<Automation> automation;

private:
    bool m_reportDue = false; // the report period ended in the record under way
    mutable QMutex m_uploadStatesLock;
    QJsonArray m_uploadStates;

public:
    // The thread the watch runs on beside the windows (null: it runs on the
    // window thread); see app/watch_thread.h.
    std::unique_ptr<QThread> watchThread;
};
