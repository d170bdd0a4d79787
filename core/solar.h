// Where the Sun stands for an observer, and when tonight's sunset, darkness
// and sunrise fall: the equations of the NOAA solar calculator (after Meeus),
// good to about a minute between 1900 and 2100 at latitudes below ±72°.
#pragma once

#include <QDateTime>

// The Sun's elevation above the horizon in degrees at utc, without refraction;
// latitude north and longitude east in degrees.
double solarElevationDeg(const QDateTime &utc, double latitudeDeg, double longitudeDeg);

// Sunrise and sunset: the upper limb on the horizon with standard refraction.
inline constexpr double kSunsetElevationDeg = -0.833;
// Astronomical darkness: the Sun's centre 18° or more below the horizon.
inline constexpr double kDarkElevationDeg = -18.0;

inline bool isAstronomicallyDark(const QDateTime &utc, double latitudeDeg, double longitudeDeg)
{
    return solarElevationDeg(utc, latitudeDeg, longitudeDeg) <= kDarkElevationDeg;
}

// The night that follows the local solar noon `noonUtc`, up to the next one.
// A time is invalid when the Sun does not cross that elevation in the night
// (no darkness in a northern summer, no sunset in polar day).
struct NightTimes {
    QDateTime noon;     // the solar noon the night follows
    QDateTime sunset;
    QDateTime darkFrom; // the end of evening astronomical twilight
    QDateTime darkTo;   // the start of morning astronomical twilight
    QDateTime sunrise;
};
NightTimes nightAfter(const QDateTime &noonUtc, double latitudeDeg, double longitudeDeg);

// The last local solar noon at or before utc.
QDateTime solarNoonBefore(const QDateTime &utc, double longitudeDeg);
