#include "app/automation_setup.h"

#include "app/app.h"
#include "core/messages.h"
#include "app/program.h"
#include "core/settings.h"
#include "datafile/weather_data_file.h"
#include "notify/notifier.h"
#include "station/station_cycle.h"
#include "upload/uploads.h"
#include "archive/archive.h"

#include <QFile>
#include <QThread>

Automation::Automation() = default;

Automation::~Automation()
{
    *alive = false;
    service.stopping(); // first: systemd times the stop from here
    notifier.reset();   // sends "stopping" and gives it a moment
}

namespace {
// For tests of the watchdog: while the named file exists, the watch's loop
// hangs as a real fault would hang it (no events, no cycles).
void stallWhileFileExists(const QString &path)
{
    while (QFile::exists(path))
        QThread::msleep(100);
}
} // namespace

void startAutomation(App &app)
{
    const Settings &settings = prog().settings;
    app.automation = std::make_unique<Automation>();
    Automation &a = *app.automation;
    std::weak_ptr<bool> alive = a.alive;
    useWeatherDataFile(app);
    // The file in use when the watch changes: the setup dialog may change it.
    Automation *owner = &a;
    app.watch.listen([owner, alive](const WatchStatus &status, WatchFeed::Change change) {
        if (!alive.expired() && owner->dataFile)
            owner->dataFile->onWatch(status, change);
    });
    const NotifyChannels channels = notifyChannels(settings);
    if (channels.any()) {
        auto sender = std::make_unique<NotifySender>(channels, [](const QString &text) { printNotice(text); });
        a.notifier = std::make_unique<Notifier>(app.watch, settings, std::move(sender));
        Notifier *notifier = a.notifier.get();
        app.log.setWriteFailed([notifier, alive](const QString &reason) {
            if (!alive.expired())
                notifier->logWriteFailed(reason);
        });
        // The archive writes where the notifier runs.
        if (app.archive)
            app.archive->setWriteFailed([notifier, alive](const QString &reason) {
                if (!alive.expired())
                    notifier->archiveWriteFailed(reason);
            });
    }
    const QString stallFile = qEnvironmentVariable("TARNWICK_STALL_WATCH_FILE");
    ServiceNotify *service = &a.service;
    app.cycle->setCycleEnded([service, stallFile] {
        if (!stallFile.isEmpty())
            stallWhileFileExists(stallFile);
        service->cycleCompleted();
    });
}

void useWeatherDataFile(App &app)
{
    if (!app.automation)
        return;
    const Settings &settings = prog().settings;
    const QString path = settings.WeatherDataFile.trimmed();
    if (path.isEmpty())
        app.automation->dataFile.reset();
    else
        app.automation->dataFile =
            std::make_unique<WeatherDataFile>(path, settings, [](const QString &text) { printNotice(text); });
}

void automationReady(App &app)
{
    if (!app.automation)
        return;
    app.automation->service.ready();
    Notifier *notifier = app.automation->notifier.get();
    if (!notifier)
        return;
    notifier->programStarted();
    // The upload reports where the watch runs, as the notifier does.
    if (app.upload)
        QObject::connect(&app.upload->form(), &UploadForm::delivered, notifier,
                         [notifier](bool ok, const QString &reason) { notifier->uploadResult(ok, reason); });
}
