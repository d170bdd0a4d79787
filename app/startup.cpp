#include "app/startup.h"

#include "app/app.h"
#include "app/auth_setup.h"
#include "app/metrics_route.h"
#include "app/sky_history_routes.h"
#include "app/app_logging.h"
#include "app/alpaca_setup.h"
#include "app/control_setup.h"
#include "app/watch_thread.h"
#include "app/archive_setup.h"
#include "app/automation_setup.h"
#include "app/mqtt_setup.h"
#include "app/startup_credit.h"
#include "app/feed_routes.h"
#include "app/process_signals.h"
#include "archive/archive_schema.h"
#include "core/messages.h"
#include "core/number_format.h"
#include "core/profile_store.h"
#include "app/program.h"
#include "core/settings.h"
#include "focuser/focuser_routines.h"
#include "focuser/motion.h"
#include "safety/safety_watch.h"
#include "station/station_cycle.h"
#include "station/station_link.h"
#include "station/watch_model.h"
#include "upload/uploads.h"

#include <QThread>

#include <QHostAddress>

#include <cstdio>

Q_LOGGING_CATEGORY(lcApp, "tarnwick.app", QtInfoMsg)

namespace {

// Window placement: a negative stored edge puts the window at 100 pixels and
// stores that; a value that is not a number is treated as the default.
int placement(ProfileStore &profile, const QString &key, QStringList &problems)
{
    int v = 100;
    try {
        v = wholeFromText(profile.value(kDriverId, key));
    } catch (const ConversionError &) {
        problems << QStringLiteral("Setting \"%1\" holds \"%2\", which is not a whole number; using 100.")
                        .arg(key, profile.value(kDriverId, key));
    }
    if (v < 0) {
        v = 100;
        profile.writeValue(kDriverId, key, QString::number(v));
    }
    return v;
}

} // namespace

namespace {

// The profile, the start mode, the focuser state and the settings, read once
// the watch exists and before anything uses them.
QStringList loadProfileAndSettings(App &a, const CommandLine &cl, ProfileStore &profile)
{
    Program &p = prog();
    WeatherState &w = a.weather;
    p.profile = &profile;
    profile.setDeviceType(QStringLiteral("Focuser"));
    if (!profile.loadError().isEmpty())
        showMessage(QStringLiteral("The settings profile %1 could not be used (%2). It was left untouched; "
                                   "this run uses default settings and saves nothing.")
                        .arg(profile.filePath(), profile.loadError()),
                    QStringLiteral("Tarnwick"), MsgIcon::Exclamation);

    p.StartedByUser = !cl.automation;
    a.model->setStartedByUser(p.StartedByUser);
    a.focuser.startedByUser = p.StartedByUser;
    a.focuser.profile = &profile;
    a.focuser.ClientCount = 0;
    a.focuser.Linked = false;
    a.focuser.Moving = false;
    w.TempEnabled = true;
    w.WindEnabled = true;
    w.WindAverageCount = 0;

    // Register the driver on every start; the utility object.
    profile.registerDriver(kDriverId, kDriverName);
    a.focuser.helperUtil = DriverHelperUtil{};

    // Version check, defaults, load. A key left out of a hand-written profile
    // takes its default silently; only values that are there and cannot be
    // used are worth a word.
    writeDefaultsIfNeeded(profile);
    if (!writeMissingDefaults(profile))
        printNotice(QStringLiteral("the defaults of missing settings were not saved (%1)").arg(profile.lastWriteError()));
    p.settings = Settings{};
    return loadSettings(profile, p.settings);
}

// Clients may call in from here on, also during the board search's waits.
void startClientServers(App &a, const CommandLine &cl)
{
    startAlpacaEndpoint(a, cl);
    startWebPage(a);
    addMetricsRoute(a);
    addSkyHistoryRoutes(a);
}

void reportProblems(const ProfileStore &profile, const QStringList &problems)
{
    // One notice for them all; it never holds start-up.
    if (!problems.isEmpty())
        showMessage(QStringLiteral("%1 setting(s) in %2 cannot be used; their defaults apply for this run and the "
                                   "file is left as it is:\n")
                            .arg(problems.size())
                            .arg(profile.filePath())
                        + problems.join(QLatin1Char('\n')),
                    QStringLiteral("Tarnwick"), MsgIcon::Exclamation);
}

} // namespace

namespace {
// The watch first; its window, when somebody looks, loads before any
// setting is read, so its topmost call sees false.
void buildWatch(App &a, const CommandLine &cl)
{
    Program &p = prog();
    p.headless = cl.headless;
    a.serialDeviceOverride = cl.serialDevice;
    a.logDir = cl.logDir;
    p.settings.AlwaysOnTop = false;
    a.model = std::make_unique<WatchModel>(p.settings, a.weather, [](const QString &key) { saveSettingNow(key); });
    closeOnSignal(a.model.get());
    a.buildWindows(cl);
    a.focuser.handBox = a.model.get();
    qCDebug(lcApp) << "watch built";
}

// Last, once everything that listens is wired: the start values, the log, and
// the board search, which enables the main timer itself.
void startWatching(App &a, ProfileStore &profile)
{
    WeatherState &w = a.weather;
    w.WindGust = -10;
    w.GustCycleCount = 0;
    w.GustResetCycles = 300;
    a.model->setTimerInterval(1000);
    a.log.openChosen(a.logDir);
    w.TempSampleIndex = 1;
    if (profile.value(kDriverId, kComPortKey).isEmpty()) // "COM Port", "2" when empty
        profile.writeValue(kDriverId, kComPortKey, QStringLiteral("2"));
    w.StationRecord = kTestRecord;
    a.cycle->limitWindowSizes();
    a.link->boardSearch();
    // Shown and served at once; the first tick's record is the first counted.
    a.cycle->processSearchRecord([&a](const Observation &o) { a.watch.publish(o); });
}
} // namespace

namespace {
// What closing the watch runs, where the watch runs: the windows close on
// their own thread, in order, then the upload; the settings are saved and the
// program ends after them. `exitSaveFailed` hears of a save at exit that did
// not reach the disk.
void wireClosing(App &a, std::function<void()> exitSaveFailed)
{
    ClosingSteps closing;
    closing.onUnload = a.wireWindows();
    closing.onUnload.push_back([&a] {
        if (a.upload)
            a.upload->unload();
    });
    closing.onUnload.push_back([&a, exitSaveFailed] {
        if (!SaveOnExit(a.focuser) && exitSaveFailed)
            exitSaveFailed();
    });
    closing.clientsRemain = [&a] { return a.focuser.ClientCount > 0; };
    closing.quit = [&a] {
        onWindowThread([&a] {
            if (a.quit)
                a.quit();
        });
    };
    a.model->setClosing(closing);
    a.model->setTick([&a] { a.cycle->run(); });
    // A client's call from the watch's thread opens the dialog on the window
    // thread without waiting for it.
    a.focuser.runSetupDialog = [&a] { onWindowThread([&a] { a.runSetupDialog(); }); };
}

// The start mode decides the window state (a program started for a client
// starts minimized); then the windows show, if there are any.
void showWatch(App &a)
{
    if (prog().StartedByUser)
        a.model->showWindow();
    else
        a.model->showMinimizedWindow();
    a.showWindows();
}
} // namespace

void startWatchingOnItsThread(App &a, ProfileStore &profile)
{
    QMetaObject::invokeMethod(a.model.get(), [&a, &profile] {
        startWatching(a, profile);
        automationReady(a);
    }, Qt::QueuedConnection);
}

void startUp(App &a, const CommandLine &cl, ProfileStore &profile, bool watchLater)
{
    Program &p = prog();
    WeatherState &w = a.weather;
    buildWatch(a, cl);

    QStringList problems = loadProfileAndSettings(a, cl, profile);
    // The station exists before anything can tick or click; the archive
    // listens from the first observation.
    startArchive(a, cl, profile);
    a.buildStation();
    // Judged on every change of the watch and once a second, so a silent board turns stale.
    a.safety = std::make_unique<SafetyWatch>(a.watch, [&p] { return safetyWatchOptionsFrom(p.settings); }, a.launcher);
    creditStartFromArchive(a, p.settings);
    // Observations judge it every second; the timer only covers a pause in them.
    a.safety->start(1500);
    startAutomation(a);
    startMqtt(a);

    // The setup dialog (with a display) loads hidden until asked for; the
    // focuser state follows the settings just read.
    a.installWindows();
    RefreshFocuserState(a.focuser);

    // The window's last place, from Left/Top (pixels).
    const int left = placement(profile, QStringLiteral("Left"), problems);
    const int top = placement(profile, QStringLiteral("Top"), problems);
    a.model->moveWindowPx(left, top);
    reportProblems(profile, problems);

    w.WindSampleIndex = 1; // the wind window starts empty
    w.WindSpeed = 0;

    // The modules are wired before the windows show (the hand box enables the
    // buttons of the windows it can open) and before the log opens.
    a.wireUpload();
    wireClosing(a, [] { markExitSaveFailed(); });

    if (cl.simulate && !a.startSimulator())
        printNotice(QStringLiteral("the board simulator could not start; looking for a real board instead"));
    startClientServers(a, cl);
    startSettingsControl(a, profile, changeGate(a));
    showWatch(a);
    if (watchLater)
        return;
    startWatching(a, profile);
    automationReady(a);
}
