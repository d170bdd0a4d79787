#include "app/app.h"
#include "app/watch_thread.h"

#include "archive/archive.h"
#include "core/messages.h"
#include "core/port_mapping.h"
#include "core/program.h"
#include "core/settings.h"
#include "safety/safety_watch.h"
#include "station/board_simulator.h"
#include "station/board_words.h"
#include "station/serial_station_port.h"
#include "station/station_cycle.h"
#include "station/station_link.h"
#include "upload/upload_form.h"
#include "upload/upload_setup.h"
#include "windows/graphs_setup.h"
#include "station/watch_model.h"
#include "windows/hand_box.h"

#include <QDateTime>
#include <QThread>

App::App() : alerts(std::make_unique<AlertEngine>(prog().settings, player, launcher)) {}

App::~App()
{
    // The upload form outlives the program's objects: it must not ask them any more.
    if (m_uploadWired)
        uploadForm().setReportCheck({});
    stopWatchThread(*this);
    // The station goes before the model it writes into.
    cycle.reset();
    safety.reset();
    link.reset();
    port.reset();
    stationContext.reset();
    simulator.reset();
    setGraphHistorySource({});
    archive.reset();
}

void App::buildStation()
{
    port = std::make_unique<SerialStationPort>([this](int portNumber) {
        return deviceForBoard(prog().profile, serialDeviceOverride, portNumber);
    });
    stationContext = std::make_unique<StationContext>(StationContext{prog().settings, weather, *model});
    StationContext &ctx = *stationContext;
    ctx.profile = prog().profile;
    ctx.alerts = [this](AlertKind kind, bool holds) { alerts->evaluate(kind, holds); };
    ctx.traffic = &trafficFor;
    ctx.boardChanged = [this](const BoardStatus &b) { watch.setBoard(b); };
    // The upload form belongs to the window thread with the upload window.
    ctx.fifthWindow = {[] { QMetaObject::invokeMethod(&uploadForm(), [] { uploadForm().cmdSend_Click(); }); }};
    link = std::make_unique<StationLink>(*port, ctx);
    cycle = std::make_unique<StationCycle>(*link, ctx);
    cycle->addObserver([this](const Observation &o) { watch.publish(o); });
    cycle->addObserver([this](const Observation &o) {
        // A log line every fifth wind window, only from live readings.
        if (o.extras.reportDue && notLiveNow().isEmpty())
            log.writeReadings(o);
    });
    watch.listen([this](const WatchStatus &status, WatchFeed::Change) {
        // A copy for the window, on the window's thread.
        if (HandBox *window = handBox.get())
            QMetaObject::invokeMethod(window, [window, status] { window->showWatch(status); });
    });
}

QString App::notLiveNow() const
{
    if (!link)
        return QStringLiteral("no station");
    return notLiveReason(link->board(), QDateTime::currentDateTimeUtc(), staleLimitSeconds(prog().settings));
}

void App::wireUpload()
{
    m_uploadWired = true;
    // Asked on the upload form's (window) thread, answered where the watch runs.
    uploadForm().setReportCheck([this] {
        ReportCheck c;
        onWatchThread(*this, [this, &c] {
            c.skipReason = notLiveNow();
            // The simulator's weather is made up: it never goes to a public service.
            if (c.skipReason.isEmpty() && link->board().state == BoardState::Simulated)
                c.skipReason = QStringLiteral("the simulated board's readings are not sent");
            c.temperature = cycle->ambientIsReading();
            c.humidity = cycle->humidityIsReading();
            c.skyTemperature = cycle->skyIsReading();
            c.ambientC = weather.AmbientTempAvgC;
            c.windSpeed = weather.WindSpeed;
            c.windGust = weather.WindGust;
        });
        return c;
    });
}

bool App::startSimulator()
{
    auto sim = std::make_unique<BoardSimulator>(quint32(QDateTime::currentSecsSinceEpoch()));
    if (!sim->start()) {
        showMessage(QStringLiteral("Could not start the board simulator: ") + sim->errorText());
        return false;
    }
    serialDeviceOverride = sim->slavePath();
    // Lets scripts and tests hold the simulated weather (e.g. "rain=1").
    sim->setControlFile(qEnvironmentVariable("TARNWICK_SIMULATOR_CONTROL"));
    simulator = std::move(sim);
    if (link)
        link->setSimulated(true);
    return true;
}


void App::shutDownForLastClient()
{
    log.close();
    if (model)
        model->unload();
    onWindowThread([this] {
        unloadGraphs();
        if (quit)
            quit();
    });
}
