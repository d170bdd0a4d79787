// The station's observation in the units and ranges of an ObservingConditions
// device: which sensor names exist, which of them the board measures, and the
// reading of each in an observation (none when the observation holds only a
// placeholder for it).
#pragma once

#include "watch/observation.h"

#include <QString>
#include <optional>
#include <vector>

enum class Sensor {
    CloudCover, DewPoint, Humidity, Pressure, RainRate, SkyBrightness, SkyQuality, SkyTemperature, StarFWHM,
    Temperature, WindDirection, WindGust, WindSpeed
};

struct SensorInfo {
    Sensor sensor;
    const char *name;   // as the interface spells it
    const char *source; // what the value comes from; nullptr: not measured
};

const std::vector<SensorInfo> &sensorTable();
// A sensor by name, in any case; nullptr when the name is no sensor.
const SensorInfo *findSensor(const QString &name);

// RainRate while the rain condition holds (mm/h): a wet/dry sensor gives no rate,
// and any positive value reads as wet.
inline constexpr double kRainRateWhileWet = 1.0;

double metresPerSecond(double mph);

// The observation's reading of the sensor in the standard unit; none for an
// unmeasured sensor or a quantity the observation holds no reading of.
std::optional<double> sensorReading(Sensor sensor, const Observation &o);
