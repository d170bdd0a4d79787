// A proposal of sky coefficients and cloud limits from the site's own
// archive, and how the archived dark hours would have been called under the
// settings in use and under the proposal. Nothing here changes a setting.
#pragma once

#include "core/settings.h"
#include "sky_history/sky_fit.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <vector>

// The settings that decide the sky class.
struct SkySettings {
    bool corrected = false;
    SkyCoefficients k{};
    int partCloudyDegC = 22; // clear at or above
    int fullCloudyDegC = 19; // overcast at or below
};
SkySettings skySettingsOf(const Settings &settings);

struct SkyClassHours {
    double clear = 0, partlyCloudy = 0, overcast = 0;
};
// Each dark minute under those settings, in hours per class.
SkyClassHours classHours(const std::vector<SkyPoint> &minutes, const SkySettings &sky);

struct SkyCalibration {
    int nights = 0;
    std::vector<SkyPoint> darkMinutes; // ambient and sky means of the archived dark minutes
    std::vector<BaselineBin> bins;
    SkyFit fit;
    SkySettings current, proposed;
    SkyClassHours currentHours, proposedHours;
    QString problem; // why there is no proposal (empty: there is one)
};

// The clear limit sits this many spreads of the clear cluster below the
// clear sky (at least kMinClearMarginC); the overcast limit keeps the
// current distance below it.
inline constexpr double kClearMarginSpreads = 3;
inline constexpr double kMinClearMarginC = 2;
SkySettings proposeSkySettings(const SkyFit &fit, const SkySettings &current);

// The fit and the proposal from these dark minutes.
SkyCalibration calibrateFrom(std::vector<SkyPoint> darkMinutes, const SkySettings &current, int nights);

// The dark minutes of the last `nights` whole nights before nowUtc.
std::vector<SkyPoint> darkSkyMinutes(const QSqlDatabase &db, const SiteLocation &site, const QDateTime &nowUtc,
                                     int nights);
