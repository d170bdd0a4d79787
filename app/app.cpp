#include "app/app.h"
#include "app/watch_thread.h"

#include "alpaca/alpaca_server.h"
#include "app/automation_setup.h"
#include "app/control_setup.h"
#include "control/control_socket.h"
#include "control/settings_service.h"
#include "archive/archive.h"
#include "core/messages.h"
#include "core/port_mapping.h"
#include "app/program.h"
#include "core/settings.h"
#include "mqtt/mqtt_publisher.h"
#include "safety/safety_watch.h"
#include "station/board_simulator.h"
#include "watch/board_words.h"
#include "station/serial_station_port.h"
#include "station/station_cycle.h"
#include "station/station_link.h"
#include "station/watch_model.h"
#include "upload/uploads.h"

#include <QDateTime>
#include <QThread>

App::App()
    : focuser(weather, prog().settings), alerts(std::make_unique<AlertEngine>(prog().settings, player, launcher))
{
    focuser.watch = &watch;
    focuser.traffic = &trafficFor;
}

App::~App()
{
    // The watch comes back to this thread first: what follows is destroyed
    // where it was made.
    stopWatchThread(*this);
    // The devices go before the focuser state and the watch they read.
    alpaca.reset();
    // The upload goes first: it must not ask the station any more.
    upload.reset();
    // The station goes before the model it writes into.
    cycle.reset();
    safety.reset();
    link.reset();
    port.reset();
    stationContext.reset();
    simulator.reset();
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
    ctx.fifthWindow = {[this] { m_reportDue = true; }};
    link = std::make_unique<StationLink>(*port, ctx);
    cycle = std::make_unique<StationCycle>(*link, ctx);
    cycle->addObserver([this](const Observation &o) { watch.publish(o); });
    cycle->addObserver([this](const Observation &o) {
        // A log line every fifth wind window, only from live readings.
        if (o.extras.reportDue && notLiveNow().isEmpty())
            log.writeReadings(o);
    });
}

QString App::notLiveNow() const
{
    if (!link)
        return QStringLiteral("no station");
    return notLiveReason(watch.status(), QDateTime::currentDateTimeUtc(), staleLimitSeconds(prog().settings));
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
        unloadWindows();
        if (quit)
            quit();
    });
}

void App::runSetupDialog()
{
    printNotice(QStringLiteral("Setup dialog not shown: tarnwickd has no windows. "
                               "Settings unchanged, as after Cancel; use 'tarnwickd config set' to change them."));
}
