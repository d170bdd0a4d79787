// What the live answer adds to the last reading: freshness in words, the
// counts in words, today's highs and lows, trends, and the night at the site.
#pragma once

#include "archive/archive_day.h"
#include "core/settings.h"
#include "watch/watch_status.h"

#include <QJsonObject>
#include <vector>

// The thresholds and the site as in use when the answer is made.
struct LiveRules {
    int staleAfterSeconds = 30;
    int rainThreshold = 400;
    int lightThreshold = 950;
    SiteLocation site;
};
LiveRules liveRulesFrom(const Settings &settings);

// "Raining" above the threshold, "Wet" while the window mean is still above it
// or the reading is within a tenth of it, else "Dry" (higher counts are wetter).
QString rainWords(int reading, double windowMean, int threshold);
// Lower counts are brighter: "Daylight" at or below the threshold, "Twilight"
// in the lower half of the counts between it and the scale's end, else "Dark".
QString brightnessWords(int brightness, int lightThreshold);

// {"fresh": false, "values_from": ISO, "why": "board lost"}: whether the
// last live reading may be taken as now, by the one freshness rule.
QJsonObject freshnessJson(const WatchStatus &status, const QDateTime &nowUtc, int staleAfterSeconds);
// {"from": ISO, "ambient_c": {"high", "high_at", "low", "low_at"}, ..., "gust": {"high", "high_at"}}
QJsonObject todayJson(std::span<const ArchiveSummary> minutesToday, const QDateTime &fromUtc);
// Change per hour from the last half hour of minutes: ambient, humidity, the
// dew-point margin (ambient − dew point) and ambient − sky.
QJsonObject trendsJson(std::span<const ArchiveSummary> lastHalfHour);

// Tonight's sunset, darkness and sunrise; and, from last night's minutes, how
// many were dark, live (archived), safe and clear.
struct NightSummary {
    QDateTime from, to;   // the solar noons that bound last night
    int darkMinutes = 0;  // minutes of astronomical darkness
    int clearDarkMinutes = 0;
};
NightSummary summarizeNight(const std::vector<ArchiveSummary> &minutes, const QDateTime &fromUtc,
                            const QDateTime &toUtc, const SiteLocation &site);
// null-like {} when the site is not told; {"problem": ...} when it is wrong.
QJsonObject nightJson(const SiteLocation &site, const QDateTime &nowUtc,
                      const std::function<std::vector<ArchiveSummary>(const QDateTime &, const QDateTime &)> &minutes);
