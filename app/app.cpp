#include "app/app.h"

#include "archive/archive.h"
#include "core/messages.h"
#include "core/port_mapping.h"
#include "core/program.h"
#include "station/board_simulator.h"
#include "station/serial_station_port.h"
#include "station/station_cycle.h"
#include "station/station_link.h"
#include "upload/upload_form.h"
#include "upload/upload_setup.h"
#include "windows/graphs_setup.h"
#include "windows/hand_box.h"

#include <QDateTime>

App::App() : alerts(std::make_unique<AlertEngine>(prog().settings, player, launcher)) {}

App::~App()
{
    // The station goes before the hand box it writes into.
    cycle.reset();
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
    stationContext = std::make_unique<StationContext>(StationContext{prog().settings, weather, *handBox});
    StationContext &ctx = *stationContext;
    ctx.profile = prog().profile;
    ctx.alerts = [this](AlertKind kind, bool holds) { alerts->evaluate(kind, holds); };
    ctx.traffic = &trafficFor;
    ctx.fifthWindow = {[] { uploadForm().cmdSend_Click(); }, [this] {
                            HandBox *hb = handBox.get();
                            log.writeReadings(weather, [hb](HandBoxField f) { return hb->fieldText(f); });
                        }};
    link = std::make_unique<StationLink>(*port, ctx);
    cycle = std::make_unique<StationCycle>(*link, ctx);
    cycle->addObserver([this](const Observation &o) { watch.publish(o); });
}

bool App::startSimulator()
{
    auto sim = std::make_unique<BoardSimulator>(quint32(QDateTime::currentSecsSinceEpoch()));
    if (!sim->start()) {
        showMessage(QStringLiteral("Could not start the board simulator: ") + sim->errorText());
        return false;
    }
    serialDeviceOverride = sim->slavePath();
    simulator = std::move(sim);
    // Until board tracking publishes it, the simulator's records count as readings.
    watch.setBoard(BoardStatus{BoardState::Simulated, serialDeviceOverride, QStringLiteral("built-in simulator"),
                               QDateTime::currentDateTimeUtc(), {}});
    return true;
}


void App::shutDownForLastClient()
{
    log.close();
    if (handBox)
        handBox->unload();
    unloadGraphs();
    if (quit)
        quit();
}
