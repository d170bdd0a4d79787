// Where the Moon stands, how much of it is lit, and when it rises and sets:
// the lunar theory of J. Meeus, Astronomical Algorithms (2nd ed., 1998),
// chapter 47 (the ELP-2000/82 series cut to its largest terms: about 10" in
// longitude), the sidereal time of chapter 12, rising and setting as in
// chapter 15 and the illuminated fraction of chapter 48. Good to a minute or
// two in rise and set times between 1900 and 2100 away from the poles.
#pragma once

#include <QDateTime>

// The Moon seen from the Earth's centre at a moment (mean equinox of date).
struct MoonPosition {
    double rightAscensionDeg = 0;
    double declinationDeg = 0;
    double distanceKm = 0;
    double longitudeDeg = 0; // ecliptic
    double latitudeDeg = 0;  // ecliptic
};
MoonPosition moonPositionAt(const QDateTime &utc);

// The elevation of the Moon's centre above the horizon in degrees, as seen from
// the site (parallax included, refraction not); latitude north, longitude east.
double moonElevationDeg(const QDateTime &utc, double latitudeDeg, double longitudeDeg);

struct MoonPhase {
    double illuminatedFraction = 0; // 0 new .. 1 full
    double elongationDeg = 0;       // the Moon's ecliptic longitude less the Sun's, 0..360: under 180 waxing
    const char *name = "";          // "New Moon", "Waxing crescent", ... "Waning crescent"
};
MoonPhase moonPhaseAt(const QDateTime &utc);

// Moonrise and moonset in [fromUtc, toUtc): the upper limb on the horizon with
// standard refraction, as published tables give them. A time is invalid when
// the Moon does not cross the horizon that way in the span; up/down tell
// whether it stayed above or below it all along when it crossed not at all.
struct MoonRiseSet {
    QDateTime rise;
    QDateTime set;
    bool alwaysUp = false;
    bool alwaysDown = false;
};
MoonRiseSet moonRiseSet(const QDateTime &fromUtc, const QDateTime &toUtc, double latitudeDeg, double longitudeDeg);
