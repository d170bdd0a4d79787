// The weather watch in the two text formats that INDI's generic weather
// drivers read from a URL: indi_watcher_weather's "key=value" lines and
// indi_weather_safety_proxy's JSON verdict. Pure: status and clock in, text out.
#pragma once

#include "core/watch_status.h"

#include <QByteArray>
#include <QDateTime>
#include <QStringList>

struct FeedSettings {
    double partCloudyDegC = 22;
    double fullCloudyDegC = 19;
    // A live reading older than this no longer describes the sky.
    int staleAfterSeconds = 30;
};

// Why the board's readings cannot be trusted now; empty while they can.
QString boardProblem(const WatchStatus &status, const QDateTime &nowUtc, const FeedSettings &settings);

// Why the watcher's overall state is Alert: an untrusted board, a known unsafe
// verdict, or rain, cloud or wind in the last live reading. Empty when none.
QStringList watcherAlerts(const WatchStatus &status, const QDateTime &nowUtc, const FeedSettings &settings);

// Lines for indi_watcher_weather under its default keywords (temperature,
// humidity, clouds, precip, wind, gust, forecast) and three of our own
// (dewpoint, sky_minus_ambient, daylight) that a user may map a keyword to.
// "forecast" is 0 while watcherAlerts is empty and 2 otherwise; "precip" is 1
// while raining. Quantities whose processing is off are left out.
QByteArray watcherFeed(const WatchStatus &status, const QDateTime &nowUtc, const FeedSettings &settings);

// {"roof_status":{"open_ok":0|1,"reasons":"..."}} for indi_weather_safety_proxy.
// Safe only with a known safe verdict and a board whose readings are fresh.
QByteArray safetyFeed(const WatchStatus &status, const QDateTime &nowUtc, const FeedSettings &settings);
