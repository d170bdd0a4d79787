#include "station/conversions.h"

#include "core/number_format.h"

#include <cmath>

namespace {
double finite(double v, const char *what)
{
    if (!std::isfinite(v))
        throw ConversionError(what);
    return v;
}
} // namespace

double fahrenheit(double celsius)
{
    return celsius * 1.8 + 32;
}

double sensorHumidity(double counts)
{
    return (counts / 1024 * 5.02 - 0.958) / 0.034;
}

HumidityResult humidityAndDewPoint(double counts, double ambientC, double wholeAmbient)
{
    const double s = sensorHumidity(counts);
    const double k = ambientC + 273;
    // The sensor's temperature term switches on the ambient as read back, not the mean.
    const double e = wholeAmbient >= 2 ? 1.0305 : 1.1305;
    const double rh = finite(s / (e + 0.000044 * k - 0.0000011 * k * k), "relative humidity");
    if (rh < 0)
        return {100, ambientC};
    if (rh == 0)
        throw ConversionError("relative humidity 0 has no dew point");
    const double gamma = (std::log(rh) / 2.30258509299405 - 2) / 0.4343 + 17.62 * ambientC / (243.12 + ambientC);
    return {rh, finite(243.12 * gamma / (17.62 - gamma), "dew point")};
}

double calculatedSkyTemp(double shownDewPoint, double wholeAmbient)
{
    const double base = 0.711 + 0.0056 * shownDewPoint;
    if (base < 0)
        throw ConversionError("no clear-sky temperature for this dew point");
    return finite(std::pow(base, 0.25) * (wholeAmbient + 273.12) - 273.12, "clear-sky temperature");
}

double skyDifference(double wholeAmbient, double measuredSkyC)
{
    return finite(wholeAmbient - measuredSkyC, "sky difference");
}

double windSample(double rawCount, double stepTime, double maxInc)
{
    double w = rawCount * stepTime;
    if (w != 0)
        w += maxInc;
    return finite(w, "wind sample");
}
