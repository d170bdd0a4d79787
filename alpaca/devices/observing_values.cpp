#include "alpaca/devices/observing_values.h"

#include <algorithm>

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

std::optional<double> sensorReading(Sensor sensor, const Observation &o, double partCloudy, double fullCloudy)
{
    const bool temperatures = o.temperaturesOn;
    const bool humidity = temperatures && !o.humidityMissing;
    switch (sensor) {
    case Sensor::Temperature:
        return temperatures ? std::optional(o.ambientC) : std::nullopt;
    case Sensor::SkyTemperature:
        return temperatures ? std::optional(o.skyC) : std::nullopt;
    case Sensor::CloudCover:
        return temperatures ? std::optional(cloudCoverPercent(o.ambientMinusSkyC, partCloudy, fullCloudy)) : std::nullopt;
    case Sensor::Humidity:
        return humidity ? std::optional(std::clamp(o.humidityPercent, 0.0, 100.0)) : std::nullopt;
    case Sensor::DewPoint:
        // The station's formula runs past saturation on humid nights.
        return humidity ? std::optional(std::min(o.dewPointC, o.ambientC)) : std::nullopt;
    case Sensor::RainRate:
        return o.raining ? kRainRateWhileWet : 0.0;
    case Sensor::WindSpeed:
        return o.windOn ? std::optional(metresPerSecond(std::max(0.0, o.windAverage))) : std::nullopt;
    case Sensor::WindGust:
        return o.windOn && o.windGust >= 0 ? std::optional(metresPerSecond(o.windGust)) : std::nullopt;
    default:
        return std::nullopt;
    }
}
