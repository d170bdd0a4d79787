#include "alpaca/devices/observing_values.h"


const std::vector<SensorInfo> &sensorTable()
{
    static const std::vector<SensorInfo> table = {
        {Sensor::CloudCover, "CloudCover", "Sky minus ambient temperature against the cloudy thresholds (PartCloudyDegC, FullCloudyDegC)"},
        {Sensor::DewPoint, "DewPoint", "Computed from the humidity sensor and the ambient temperature"},
        {Sensor::Humidity, "Humidity", "Board humidity sensor, held within 0-100 %"},
        {Sensor::Pressure, "Pressure", nullptr},
        {Sensor::RainRate, "RainRate", "Wet/dry rain sensor: 0 dry, 1.0 while wet"},
        {Sensor::SkyBrightness, "SkyBrightness", nullptr},
        {Sensor::SkyQuality, "SkyQuality", nullptr},
        {Sensor::SkyTemperature, "SkyTemperature", "Infrared thermopile sky temperature"},
        {Sensor::StarFWHM, "StarFWHM", nullptr},
        {Sensor::Temperature, "Temperature", "Board ambient temperature sensor"},
        {Sensor::WindDirection, "WindDirection", nullptr},
        {Sensor::WindGust, "WindGust", "Anemometer: highest wind in the gust period"},
        {Sensor::WindSpeed, "WindSpeed", "Anemometer: average of the last wind window"},
    };
    return table;
}

const SensorInfo *findSensor(const QString &name)
{
    for (const SensorInfo &s : sensorTable())
        if (name.compare(QLatin1String(s.name), Qt::CaseInsensitive) == 0)
            return &s;
    return nullptr;
}

double metresPerSecond(double mph)
{
    return mph * 0.44704;
}

std::optional<double> sensorReading(Sensor sensor, const Observation &o)
{
    const Readings &r = o.readings;
    switch (sensor) {
    case Sensor::Temperature:
        return r[Quantity::Ambient];
    case Sensor::SkyTemperature:
        return r[Quantity::Sky];
    case Sensor::CloudCover:
        return r[Quantity::CloudCover];
    case Sensor::Humidity:
        return r[Quantity::Humidity];
    case Sensor::DewPoint:
        return r[Quantity::DewPoint];
    case Sensor::RainRate:
        return r.has(Quantity::Rain) ? std::optional(o.raining ? kRainRateWhileWet : 0.0) : std::nullopt;
    case Sensor::WindSpeed:
        if (const std::optional<double> average = r[Quantity::WindAverage])
            return metresPerSecond(*average);
        return std::nullopt;
    case Sensor::WindGust:
        if (const std::optional<double> gust = r[Quantity::Gust])
            return metresPerSecond(*gust);
        return std::nullopt;
    default:
        return std::nullopt;
    }
}
