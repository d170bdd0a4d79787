// Observations for the outputs' tests: the station's values made readings, as
// the station fills them for a board that delivers. A test that wants a
// quantity to be no reading clears it (`o.readings.set(q, std::nullopt)`).
#pragma once

#include "watch/observation.h"

#include <algorithm>

// Every value of o a reading (the gust from its first sample on), with the
// sky class; cloud cover only when given.
inline Observation withReadings(Observation o, std::optional<double> cloudCover = std::nullopt)
{
    Readings &r = o.readings;
    r.set(Quantity::Ambient, o.ambientC);
    r.set(Quantity::Thermopile, o.thermopileC);
    r.set(Quantity::Sky, o.skyC);
    r.set(Quantity::AmbMinusSky, o.ambientMinusSkyC);
    r.set(Quantity::Humidity, std::clamp(o.humidityPercent, 0.0, 100.0));
    r.set(Quantity::DewPoint, o.dewPointC);
    r.set(Quantity::Rain, o.rainReading);
    r.set(Quantity::RainMean, o.rainMean);
    r.set(Quantity::Brightness, o.skyBrightness);
    r.set(Quantity::Wind, o.windCurrent);
    r.set(Quantity::WindAverage, o.windAverage);
    if (o.windGust >= 0)
        r.set(Quantity::Gust, o.windGust);
    r.set(Quantity::CloudCover, cloudCover);
    r.sky = o.sky;
    return o;
}

// Temperature processing off: no temperature, humidity, sky or cloud reading.
inline void clearTemperatureReadings(Observation &o)
{
    for (Quantity q : {Quantity::Ambient, Quantity::Thermopile, Quantity::Sky, Quantity::AmbMinusSky, Quantity::Humidity,
                       Quantity::DewPoint, Quantity::RainMean, Quantity::CloudCover})
        o.readings.set(q, std::nullopt);
    o.readings.sky.reset();
}

// The board's no-humidity marker.
inline void clearHumidityReadings(Observation &o)
{
    o.readings.set(Quantity::Humidity, std::nullopt);
    o.readings.set(Quantity::DewPoint, std::nullopt);
}
