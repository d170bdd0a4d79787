#include "station/station_setup.h"

#include "core/messages.h"
#include "core/program.h"
#include "station/board_simulator.h"
#include "station/serial_station_port.h"
#include "station/station_cycle.h"
#include "station/station_link.h"

#include <QCoreApplication>
#include <QDateTime>
#include <memory>

namespace {
struct Station {
    SerialStationPort port;
    StationLink link{port};
    StationCycle cycle{link};
};

std::unique_ptr<Station> &station()
{
    static std::unique_ptr<Station> s;
    return s;
}

std::unique_ptr<BoardSimulator> &simulator()
{
    static std::unique_ptr<BoardSimulator> s;
    return s;
}

// The port and the simulator's notifier go while the application still exists.
void releaseStation()
{
    station().reset();
    simulator().reset();
}

void releaseAtExit()
{
    static bool registered = false;
    if (!registered && QCoreApplication::instance()) {
        qAddPostRoutine(releaseStation);
        registered = true;
    }
}
} // namespace

void installStation()
{
    if (!station())
        station() = std::make_unique<Station>();
    releaseAtExit();
    prog().stationCycle = [] {
        if (station())
            station()->cycle.run();
    };
    prog().boardSearch = [] {
        if (!station())
            return;
        StationCycle::limitWindowSizes();
        station()->link.boardSearch();
    };
}

StationCycle *stationCycle()
{
    return station() ? &station()->cycle : nullptr;
}

bool startSimulator()
{
    auto sim = std::make_unique<BoardSimulator>(quint32(QDateTime::currentSecsSinceEpoch()));
    if (!sim->start()) {
        showMessage(QStringLiteral("Could not start the board simulator: ") + sim->errorText());
        return false;
    }
    prog().serialDeviceOverride = sim->slavePath();
    simulator() = std::move(sim);
    releaseAtExit();
    return true;
}
