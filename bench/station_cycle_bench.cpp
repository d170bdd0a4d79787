// Prints the processing cost of one station cycle: the fake port answers every
// poll at once and waits take no time, so only the cycle's own work counts.
#include "app/program.h"
#include "core/wait.h"
#include "fake_station_port.h"
#include "station/station_cycle.h"
#include "station/station_link.h"
#include "station/watch_model.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    resetProgram();
    WeatherState weather;
    WatchModel handBox(prog().settings, weather);
    prog().settings.WindsAvgCnt = 10;
    prog().settings.TempsAvgCount = 5;

    FakeStationPort port;
    port.isOpen = true;
    port.standingAnswer = FakeStationPort::Answer{PortResult::Ok, kTestRecord};
    StationContext ctx{prog().settings, weather, handBox};
    ctx.pause = [](int) {}; // the cycle's own work, without its pauses
    StationLink link(port, ctx);
    StationCycle cycle(link, ctx);

    for (int k = 0; k < 1000; ++k) // warm up
        cycle.run();
    const int cycles = argc > 1 ? std::max(1, atoi(argv[1])) : 50000;
    QElapsedTimer t;
    t.start();
    for (int k = 0; k < cycles; ++k) {
        cycle.run();
        if (port.transmits.size() > 1000)
            port.transmits.clear();
    }
    const double us = t.nsecsElapsed() / 1000.0 / cycles;
    std::printf("station cycle processing: %.2f microseconds per cycle (%d cycles, goal < 200)\n", us, cycles);
    return 0;
}
