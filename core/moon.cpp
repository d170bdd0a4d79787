#include "core/moon.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kEarthRadiusKm = 6378.14;
// Terrestrial less universal time, near enough for the 2010s to 2030s: a
// minute off would move the Moon by half a minute of arc.
constexpr double kDeltaTSeconds = 69;
double rad(double deg) { return deg * kPi / 180; }
double deg(double rad) { return rad * 180 / kPi; }
double degrees360(double d)
{
    d = std::fmod(d, 360.0);
    return d < 0 ? d + 360 : d;
}

// Meeus table 47.A: multiples of D, M, M', F; longitude (1e-6°) and distance (1e-3 km).
struct LongitudeTerm {
    signed char d, m, mp, f;
    int longitude, distance;
};
constexpr LongitudeTerm kLongitudeTerms[] = {
    {0, 0, 1, 0, 6288774, -20905355}, {2, 0, -1, 0, 1274027, -3699111}, {2, 0, 0, 0, 658314, -2955968},
    {0, 0, 2, 0, 213618, -569925},    {0, 1, 0, 0, -185116, 48888},     {0, 0, 0, 2, -114332, -3149},
    {2, 0, -2, 0, 58793, 246158},     {2, -1, -1, 0, 57066, -152138},   {2, 0, 1, 0, 53322, -170733},
    {2, -1, 0, 0, 45758, -204586},    {0, 1, -1, 0, -40923, -129620},   {1, 0, 0, 0, -34720, 108743},
    {0, 1, 1, 0, -30383, 104755},     {2, 0, 0, -2, 15327, 10321},      {0, 0, 1, 2, -12528, 0},
    {0, 0, 1, -2, 10980, 79661},      {4, 0, -1, 0, 10675, -34782},     {0, 0, 3, 0, 10034, -23210},
    {4, 0, -2, 0, 8548, -21636},      {2, 1, -1, 0, -7888, 24208},      {2, 1, 0, 0, -6766, 30824},
    {1, 0, -1, 0, -5163, -8379},      {1, 1, 0, 0, 4987, -16675},       {2, -1, 1, 0, 4036, -12831},
    {2, 0, 2, 0, 3994, -10445},       {4, 0, 0, 0, 3861, -11650},       {2, 0, -3, 0, 3665, 14403},
    {0, 1, -2, 0, -2689, -7003},      {2, 0, -1, 2, -2602, 0},          {2, -1, -2, 0, 2390, 10056},
    {1, 0, 1, 0, -2348, 6322},        {2, -2, 0, 0, 2236, -9884},       {0, 1, 2, 0, -2120, 5751},
    {0, 2, 0, 0, -2069, 0},           {2, -2, -1, 0, 2048, -4950},      {2, 0, 1, -2, -1773, 4130},
    {2, 0, 0, 2, -1595, 0},           {4, -1, -1, 0, 1215, -3958},      {0, 0, 2, 2, -1110, 0},
    {3, 0, -1, 0, -892, 3258},        {2, 1, 1, 0, -810, 2616},         {4, -1, -2, 0, 759, -1897},
    {0, 2, -1, 0, -713, -2117},       {2, 2, -1, 0, -700, 2354},        {2, 1, -2, 0, 691, 0},
    {2, -1, 0, -2, 596, 0},           {4, 0, 1, 0, 549, -1423},         {0, 0, 4, 0, 537, -1117},
    {4, -1, 0, 0, 520, -1571},        {1, 0, -2, 0, -487, -1739},       {2, 1, 0, -2, -399, 0},
    {0, 0, 2, -2, -381, -4421},       {1, 1, 1, 0, 351, 0},             {3, 0, -2, 0, -340, 0},
    {4, 0, -3, 0, 330, 0},            {2, -1, 2, 0, 327, 0},            {0, 2, 1, 0, -323, 1165},
    {1, 1, -1, 0, 299, 0},            {2, 0, 3, 0, 294, 0},             {2, 0, -1, -2, 0, 8752},
};

// Meeus table 47.B: multiples of D, M, M', F; latitude (1e-6°).
struct LatitudeTerm {
    signed char d, m, mp, f;
    int latitude;
};
constexpr LatitudeTerm kLatitudeTerms[] = {
    {0, 0, 0, 1, 5128122}, {0, 0, 1, 1, 280602}, {0, 0, 1, -1, 277693}, {2, 0, 0, -1, 173237},
    {2, 0, -1, 1, 55413},  {2, 0, -1, -1, 46271}, {2, 0, 0, 1, 32573},  {0, 0, 2, 1, 17198},
    {2, 0, 1, -1, 9266},   {0, 0, 2, -1, 8822},   {2, -1, 0, -1, 8216}, {2, 0, -2, -1, 4324},
    {2, 0, 1, 1, 4200},    {2, 1, 0, -1, -3359},  {2, -1, -1, 1, 2463}, {2, -1, 0, 1, 2211},
    {2, -1, -1, -1, 2065}, {0, 1, -1, -1, -1870}, {4, 0, -1, -1, 1828}, {0, 1, 0, 1, -1794},
    {0, 0, 0, 3, -1749},   {0, 1, -1, 1, -1565},  {1, 0, 0, 1, -1491},  {0, 1, 1, 1, -1475},
    {0, 1, 1, -1, -1410},  {0, 1, 0, -1, -1344},  {1, 0, 0, -1, -1335}, {0, 0, 3, 1, 1107},
    {4, 0, 0, -1, 1021},   {4, 0, -1, 1, 833},    {0, 0, 1, -3, 777},   {4, 0, -2, 1, 671},
    {2, 0, 0, -3, 607},    {2, 0, 2, -1, 596},    {2, -1, 1, -1, 491},  {2, 0, -2, 1, -451},
    {0, 0, 3, -1, 439},    {2, 0, 2, 1, 422},     {2, 0, -3, -1, 421},  {2, 1, -1, 1, -366},
    {2, 1, 0, 1, -351},    {4, 0, 0, 1, 331},     {2, -1, 1, 1, 315},   {2, -2, 0, -1, 302},
    {0, 0, 1, 3, -283},    {2, 1, 1, -1, -229},   {1, 1, 0, -1, 223},   {1, 1, 0, 1, 223},
    {0, 1, -2, -1, -220},  {2, 1, -1, -1, -220},  {1, 0, 1, 1, -185},   {2, -1, -2, -1, 181},
    {0, 1, 2, 1, -177},    {4, 0, -2, -1, 176},   {4, -1, -1, -1, 166}, {1, 0, 1, -1, -164},
    {4, 0, 1, -1, 132},    {1, 0, -1, -1, -119},  {4, -1, 0, -1, 115},  {2, -2, 0, 1, 107},
};

// Julian centuries of terrestrial time since J2000.0.
double centuriesTT(qint64 msecsUtc)
{
    const double julianDay = double(msecsUtc) / 86400000.0 + 2440587.5 + kDeltaTSeconds / 86400;
    return (julianDay - 2451545.0) / 36525.0;
}

// The mean elements of chapter 47 (degrees) at t Julian centuries.
struct LunarArguments {
    double meanLongitude, elongation, sunAnomaly, moonAnomaly, argumentOfLatitude;
};
LunarArguments argumentsAt(double t)
{
    return {218.3164477 + t * (481267.88123421 + t * (-0.0015786 + t * (1 / 538841.0 - t / 65194000.0))),
            297.8501921 + t * (445267.1114034 + t * (-0.0018819 + t * (1 / 545868.0 - t / 113065000.0))),
            357.5291092 + t * (35999.0502909 + t * (-0.0001536 + t / 24490000.0)),
            134.9633964 + t * (477198.8675055 + t * (0.0087414 + t * (1 / 69699.0 - t / 14712000.0))),
            93.2720950 + t * (483202.0175233 + t * (-0.0036539 + t * (-1 / 3526000.0 + t / 863310000.0)))};
}

MoonPosition positionAt(qint64 msecsUtc)
{
    const double t = centuriesTT(msecsUtc);
    const LunarArguments a = argumentsAt(t);
    const double d = rad(a.elongation), m = rad(a.sunAnomaly), mp = rad(a.moonAnomaly), f = rad(a.argumentOfLatitude);
    // Terms in the Sun's anomaly shrink with the Earth orbit's eccentricity.
    const double e = 1 - t * (0.002516 + t * 0.0000074);
    const auto eccentricity = [e](int multiple) { return multiple == 0 ? 1.0 : std::abs(multiple) == 1 ? e : e * e; };
    double sumL = 0, sumR = 0, sumB = 0;
    for (const LongitudeTerm &k : kLongitudeTerms) {
        const double arg = k.d * d + k.m * m + k.mp * mp + k.f * f;
        sumL += k.longitude * eccentricity(k.m) * std::sin(arg);
        sumR += k.distance * eccentricity(k.m) * std::cos(arg);
    }
    for (const LatitudeTerm &k : kLatitudeTerms)
        sumB += k.latitude * eccentricity(k.m) * std::sin(k.d * d + k.m * m + k.mp * mp + k.f * f);
    // Venus, Jupiter and the Earth's flattening.
    const double a1 = rad(119.75 + 131.849 * t), a2 = rad(53.09 + 479264.290 * t), a3 = rad(313.45 + 481266.484 * t);
    const double lp = rad(a.meanLongitude);
    sumL += 3958 * std::sin(a1) + 1962 * std::sin(lp - f) + 318 * std::sin(a2);
    sumB += -2235 * std::sin(lp) + 382 * std::sin(a3) + 175 * std::sin(a1 - f) + 175 * std::sin(a1 + f)
        + 127 * std::sin(lp - mp) - 115 * std::sin(lp + mp);

    MoonPosition p;
    p.longitudeDeg = degrees360(a.meanLongitude + sumL / 1e6);
    p.latitudeDeg = sumB / 1e6;
    p.distanceKm = 385000.56 + sumR / 1000;
    // Ecliptic to equatorial with the mean obliquity (chapters 22 and 13).
    const double eps = rad(23.439291 - 0.0130042 * t);
    const double l = rad(p.longitudeDeg), b = rad(p.latitudeDeg);
    p.rightAscensionDeg = degrees360(deg(std::atan2(std::sin(l) * std::cos(eps) - std::tan(b) * std::sin(eps), std::cos(l))));
    p.declinationDeg = deg(std::asin(std::sin(b) * std::cos(eps) + std::cos(b) * std::sin(eps) * std::sin(l)));
    return p;
}

// Mean sidereal time at Greenwich in degrees (Meeus 12.4).
double siderealDeg(qint64 msecsUtc)
{
    const double days = double(msecsUtc) / 86400000.0 + 2440587.5 - 2451545.0;
    const double t = days / 36525.0;
    return degrees360(280.46061837 + 360.98564736629 * days + t * t * (0.000387933 - t / 38710000.0));
}

struct Horizon {
    double centreDeg;   // topocentric elevation of the centre, without refraction
    double riseLevelDeg; // the centre's elevation when the upper limb touches the refracted horizon
};
Horizon horizonAt(qint64 ms, double latitudeDeg, double longitudeDeg)
{
    const MoonPosition p = positionAt(ms);
    const double hourAngle = rad(siderealDeg(ms) + longitudeDeg - p.rightAscensionDeg);
    const double lat = rad(latitudeDeg), dec = rad(p.declinationDeg);
    const double geocentric = std::asin(std::clamp(
        std::sin(lat) * std::sin(dec) + std::cos(lat) * std::cos(dec) * std::cos(hourAngle), -1.0, 1.0));
    const double parallax = std::asin(kEarthRadiusKm / p.distanceKm);
    const double topocentric = geocentric - std::asin(std::sin(parallax) * std::cos(geocentric));
    // 34' of refraction at the horizon and the semidiameter (0.2725 of the parallax).
    return {deg(topocentric), -(34.0 / 60) - 0.2725 * deg(parallax)};
}

double aboveRiseLevel(qint64 ms, double lat, double lon)
{
    const Horizon h = horizonAt(ms, lat, lon);
    return h.centreDeg - h.riseLevelDeg;
}

// The moment within (from, to] where aboveRiseLevel changes sign, to the second.
qint64 crossing(qint64 from, qint64 to, double lat, double lon)
{
    const bool upAtFrom = aboveRiseLevel(from, lat, lon) > 0;
    while (to - from > 1000) {
        const qint64 mid = from + (to - from) / 2;
        if ((aboveRiseLevel(mid, lat, lon) > 0) == upAtFrom)
            from = mid;
        else
            to = mid;
    }
    return from + (to - from) / 2;
}

// Low-precision apparent longitude of the Sun (Meeus chapter 25), degrees.
double sunLongitudeDeg(double t)
{
    const double m = rad(357.52911 + t * (35999.05029 - 0.0001537 * t));
    const double centre = (1.914602 - t * (0.004817 + 0.000014 * t)) * std::sin(m)
        + (0.019993 - 0.000101 * t) * std::sin(2 * m) + 0.000289 * std::sin(3 * m);
    const double omega = rad(125.04 - 1934.136 * t);
    return degrees360(280.46646 + t * (36000.76983 + 0.0003032 * t) + centre - 0.00569 - 0.00478 * std::sin(omega));
}

const char *phaseName(double elongationDeg)
{
    static const char *const names[] = {"New Moon",  "Waxing crescent", "First quarter", "Waxing gibbous",
                                        "Full Moon", "Waning gibbous",  "Last quarter",  "Waning crescent"};
    return names[int(degrees360(elongationDeg + 22.5) / 45) % 8];
}

} // namespace

MoonPosition moonPositionAt(const QDateTime &utc)
{
    return positionAt(utc.toMSecsSinceEpoch());
}

double moonElevationDeg(const QDateTime &utc, double latitudeDeg, double longitudeDeg)
{
    return horizonAt(utc.toMSecsSinceEpoch(), latitudeDeg, longitudeDeg).centreDeg;
}

MoonPhase moonPhaseAt(const QDateTime &utc)
{
    const qint64 ms = utc.toMSecsSinceEpoch();
    const double t = centuriesTT(ms);
    const LunarArguments a = argumentsAt(t);
    const double d = rad(a.elongation), m = rad(a.sunAnomaly), mp = rad(a.moonAnomaly);
    // The phase angle from the mean elements (Meeus 48.4), good to a few hundredths of a degree.
    const double phaseAngle = 180 - a.elongation - 6.289 * std::sin(mp) + 2.100 * std::sin(m)
        - 1.274 * std::sin(2 * d - mp) - 0.658 * std::sin(2 * d) - 0.214 * std::sin(2 * mp) - 0.110 * std::sin(d);
    MoonPhase phase;
    phase.illuminatedFraction = (1 + std::cos(rad(phaseAngle))) / 2;
    phase.elongationDeg = degrees360(positionAt(ms).longitudeDeg - sunLongitudeDeg(t));
    phase.name = phaseName(phase.elongationDeg);
    return phase;
}

MoonRiseSet moonRiseSet(const QDateTime &fromUtc, const QDateTime &toUtc, double latitudeDeg, double longitudeDeg)
{
    MoonRiseSet out;
    // Five-minute steps: the Moon is never up or down for less than that
    // except in grazing passes near the poles.
    constexpr qint64 kStep = 5 * 60000;
    const qint64 start = fromUtc.toMSecsSinceEpoch(), end = toUtc.toMSecsSinceEpoch();
    bool up = aboveRiseLevel(start, latitudeDeg, longitudeDeg) > 0;
    bool crossed = false;
    const bool upAtStart = up;
    for (qint64 t = start; t < end; t += kStep) {
        const qint64 next = std::min(t + kStep, end - 1);
        const bool upNext = aboveRiseLevel(next, latitudeDeg, longitudeDeg) > 0;
        if (upNext != up) {
            const QDateTime when = QDateTime::fromMSecsSinceEpoch(crossing(t, next, latitudeDeg, longitudeDeg), Qt::UTC);
            // The first rise and the first set of the span, as tables list them.
            QDateTime &slot = upNext ? out.rise : out.set;
            if (!slot.isValid())
                slot = when;
            crossed = true;
        }
        up = upNext;
    }
    out.alwaysUp = !crossed && upAtStart;
    out.alwaysDown = !crossed && !upAtStart;
    return out;
}
