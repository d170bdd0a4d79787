// The weather watch in the two text formats that INDI's generic weather
// drivers read from a URL: indi_watcher_weather's "key=value" lines and
// indi_weather_safety_proxy's JSON verdict. Pure: status and clock in, text out.
#pragma once

#include "watch/watch_status.h"

#include <QByteArray>
#include <QDateTime>
#include <QStringList>

struct FeedSettings {
    // A live reading older than this no longer describes the sky.
    int staleAfterSeconds = 30;
};

// Why the roof must stay closed now, in words: what is wrong with the board
// (the one freshness rule), no verdict yet, or the unsafe conditions of the
// safety verdict. Empty exactly when the verdict is known and safe and the
// readings are fresh. Both feeds answer from this alone.
QStringList closedReasons(const WatchStatus &status, const QDateTime &nowUtc, int staleAfterSeconds);

// Lines for indi_watcher_weather under its default keywords (temperature,
// humidity, clouds, precip, wind, gust, forecast) and three of our own
// (dewpoint, sky_minus_ambient, daylight) that a user may map a keyword to.
// "forecast" is 0 while closedReasons is empty and 2 (Alert) otherwise; "precip" is 1
// while raining. Only the readings of a current observation are written; a
// quantity that is not a reading is left out.
QByteArray watcherFeed(const WatchStatus &status, const QDateTime &nowUtc, const FeedSettings &settings);

// {"roof_status":{"open_ok":0|1,"reasons":"..."}} for indi_weather_safety_proxy.
// open_ok is 1 exactly while closedReasons is empty; reasons joins them.
QByteArray safetyFeed(const WatchStatus &status, const QDateTime &nowUtc, const FeedSettings &settings);
