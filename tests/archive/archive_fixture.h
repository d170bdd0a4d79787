// Observations for archive tests: a live one from a simulated board at a
// given time with values that tell rows apart.
#pragma once

#include "../common/observation_fixture.h"
#include "watch/watch_status.h"

inline Observation observationAt(const QDateTime &utc, double ambient)
{
    Observation o;
    o.utc = utc;
    o.ambientC = ambient;
    o.thermopileC = ambient + 1;
    o.skyC = ambient - 20;
    o.ambientMinusSkyC = 20;
    o.humidityPercent = 55.5;
    o.dewPointC = ambient - 5;
    o.rainReading = 321;
    o.rainMean = 320.25;
    o.skyBrightness = 900;
    o.windCurrent = 3.5;
    o.windAverage = 3;
    o.windGust = 7.25;
    o.sky = SkyClass::PartlyCloudy;
    o.cloudy = true;
    o.heater = 1;
    o.relay = 0;
    return withReadings(o);
}

inline BoardStatus boardIn(BoardState state)
{
    BoardStatus b;
    b.state = state;
    return b;
}

inline BoardStatus simulatedBoard()
{
    return boardIn(BoardState::Simulated);
}

inline QDateTime utcAt(const char *iso)
{
    return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate).toUTC();
}
