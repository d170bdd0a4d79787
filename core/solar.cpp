#include "core/solar.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
double rad(double deg) { return deg * kPi / 180; }
double deg(double rad) { return rad * 180 / kPi; }

struct SunPlace {
    double declinationRad;
    double equationOfTimeMin; // apparent minus mean solar time
};

// The NOAA spreadsheet's chain: Julian century, the Sun's mean longitude and
// anomaly, its equation of centre, apparent longitude and the obliquity.
SunPlace sunAt(qint64 msecsUtc)
{
    const double julianDay = double(msecsUtc) / 86400000.0 + 2440587.5;
    const double t = (julianDay - 2451545.0) / 36525.0;
    const double meanLong = std::fmod(280.46646 + t * (36000.76983 + t * 0.0003032), 360.0);
    const double meanAnom = 357.52911 + t * (35999.05029 - 0.0001537 * t);
    const double eccent = 0.016708634 - t * (0.000042037 + 0.0000001267 * t);
    const double m = rad(meanAnom);
    const double centre = std::sin(m) * (1.914602 - t * (0.004817 + 0.000014 * t))
        + std::sin(2 * m) * (0.019993 - 0.000101 * t) + std::sin(3 * m) * 0.000289;
    const double omega = rad(125.04 - 1934.136 * t);
    const double apparentLong = meanLong + centre - 0.00569 - 0.00478 * std::sin(omega);
    const double meanObliq = 23 + (26 + (21.448 - t * (46.815 + t * (0.00059 - t * 0.001813))) / 60) / 60;
    const double obliq = rad(meanObliq + 0.00256 * std::cos(omega));
    const double y = std::pow(std::tan(obliq / 2), 2);
    const double l0 = rad(meanLong);
    const double eot = y * std::sin(2 * l0) - 2 * eccent * std::sin(m) + 4 * eccent * y * std::sin(m) * std::cos(2 * l0)
        - 0.5 * y * y * std::sin(4 * l0) - 1.25 * eccent * eccent * std::sin(2 * m);
    return {std::asin(std::sin(obliq) * std::sin(rad(apparentLong))), 4 * deg(eot)};
}

double elevationAt(qint64 ms, double latitudeDeg, double longitudeDeg)
{
    const SunPlace sun = sunAt(ms);
    const double minutesOfDay = double(((ms % 86400000) + 86400000) % 86400000) / 60000.0;
    const double trueSolarMin = minutesOfDay + sun.equationOfTimeMin + 4 * longitudeDeg;
    const double hourAngle = rad(trueSolarMin / 4 - 180);
    const double lat = rad(latitudeDeg);
    const double cosZenith = std::sin(lat) * std::sin(sun.declinationRad)
        + std::cos(lat) * std::cos(sun.declinationRad) * std::cos(hourAngle);
    return 90 - deg(std::acos(std::clamp(cosZenith, -1.0, 1.0)));
}

// The moment in [from, to] at which the elevation crosses `level`, to the
// second; the caller has seen it on either side at the ends.
qint64 crossing(qint64 from, qint64 to, double level, double lat, double lon)
{
    const bool risingAtFrom = elevationAt(from, lat, lon) < level;
    while (to - from > 1000) {
        const qint64 mid = from + (to - from) / 2;
        if ((elevationAt(mid, lat, lon) < level) == risingAtFrom)
            from = mid;
        else
            to = mid;
    }
    return from + (to - from) / 2;
}

} // namespace

double solarElevationDeg(const QDateTime &utc, double latitudeDeg, double longitudeDeg)
{
    return elevationAt(utc.toMSecsSinceEpoch(), latitudeDeg, longitudeDeg);
}

QDateTime solarNoonBefore(const QDateTime &utc, double longitudeDeg)
{
    const qint64 ms = utc.toMSecsSinceEpoch();
    const qint64 dayStart = (ms / 86400000 - (ms % 86400000 < 0 ? 1 : 0)) * 86400000;
    for (qint64 day = dayStart + 86400000; day >= dayStart - 2 * 86400000; day -= 86400000) {
        // Transit: true solar time 12:00; twice refined for the equation of time.
        double noonMin = 720 - 4 * longitudeDeg;
        for (int i = 0; i < 2; ++i)
            noonMin = 720 - 4 * longitudeDeg - sunAt(day + qint64(noonMin * 60000)).equationOfTimeMin;
        const qint64 noon = day + qint64(std::llround(noonMin * 60000));
        if (noon <= ms)
            return QDateTime::fromMSecsSinceEpoch(noon, Qt::UTC);
    }
    return {};
}

NightTimes nightAfter(const QDateTime &noonUtc, double lat, double lon)
{
    NightTimes night;
    night.noon = noonUtc.toUTC();
    // From one noon to the next the Sun sinks to its lowest and climbs again:
    // each level is crossed at most once on the way down and once back up.
    constexpr qint64 kStep = 5 * 60000;
    const qint64 start = night.noon.toMSecsSinceEpoch();
    const qint64 end = start + 86400000;
    auto at = [](qint64 ms) { return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC); };
    double before = elevationAt(start, lat, lon);
    for (qint64 t = start + kStep; t <= end; t += kStep) {
        const double now = elevationAt(t, lat, lon);
        for (double level : {kSunsetElevationDeg, kDarkElevationDeg}) {
            const bool setting = before > level && now <= level;
            const bool rising = before <= level && now > level;
            if (!setting && !rising)
                continue;
            const QDateTime when = at(crossing(t - kStep, t, level, lat, lon));
            if (level == kSunsetElevationDeg)
                (setting ? night.sunset : night.sunrise) = when;
            else
                (setting ? night.darkFrom : night.darkTo) = when;
        }
        before = now;
    }
    return night;
}
