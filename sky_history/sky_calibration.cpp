#include "sky_history/sky_calibration.h"

#include "core/solar.h"
#include "sky_history/night_stats.h"
#include "station/conditions.h"

#include <QSqlQuery>
#include <QVariant>
#include <cmath>

SkySettings skySettingsOf(const Settings &s)
{
    return {s.SkyCorrected,
            {double(s.SkyK1), double(s.SkyK2), double(s.SkyK3), double(s.SkyK4), double(s.SkyK5), double(s.SkyK6),
             double(s.SkyK7)},
            s.PartCloudyDegC,
            s.FullCloudyDegC};
}

SkyClassHours classHours(const std::vector<SkyPoint> &minutes, const SkySettings &sky)
{
    Settings s;
    s.SkyCorrected = sky.corrected;
    s.SkyK1 = int(sky.k[0]), s.SkyK2 = int(sky.k[1]), s.SkyK3 = int(sky.k[2]), s.SkyK4 = int(sky.k[3]);
    s.SkyK5 = int(sky.k[4]), s.SkyK6 = int(sky.k[5]), s.SkyK7 = int(sky.k[6]);
    SkyClassHours hours;
    for (const SkyPoint &m : minutes) {
        const double d = skyDifferenceAsSet(s, m.ambientC, m.skyC);
        switch (skyClass(d, sky.partCloudyDegC, sky.fullCloudyDegC)) {
        case SkyClass::Clear: hours.clear += 1.0 / 60; break;
        case SkyClass::PartlyCloudy: hours.partlyCloudy += 1.0 / 60; break;
        case SkyClass::Overcast: hours.overcast += 1.0 / 60; break;
        }
    }
    return hours;
}

SkySettings proposeSkySettings(const SkyFit &fit, const SkySettings &current)
{
    SkySettings p;
    p.corrected = true;
    p.k = fit.k;
    const double margin = std::max(kMinClearMarginC, kClearMarginSpreads * fit.spreadC);
    p.partCloudyDegC = int(std::floor(fit.clearDifferenceC - margin));
    p.fullCloudyDegC = p.partCloudyDegC - std::max(1, current.partCloudyDegC - current.fullCloudyDegC);
    return p;
}

SkyCalibration calibrateFrom(std::vector<SkyPoint> darkMinutes, const SkySettings &current, int nights)
{
    SkyCalibration c;
    c.nights = nights;
    c.darkMinutes = std::move(darkMinutes);
    c.current = current;
    c.currentHours = classHours(c.darkMinutes, current);
    c.bins = clearSkyBins(c.darkMinutes);
    c.fit = fitClearSky(c.bins);
    if (!c.fit.ok) {
        c.problem = QStringLiteral("%1 dark hours in %2 nights give %3 ambient bands of %4 °C with %5 minutes or more; "
                                   "a fit needs 3")
                        .arg(c.darkMinutes.size() / 60.0, 0, 'f', 1)
                        .arg(nights)
                        .arg(c.bins.size())
                        .arg(kBaselineBinC)
                        .arg(kBaselineMinPoints);
        return c;
    }
    c.proposed = proposeSkySettings(c.fit, current);
    c.proposedHours = classHours(c.darkMinutes, c.proposed);
    return c;
}

std::vector<SkyPoint> darkSkyMinutes(const QSqlDatabase &db, const SiteLocation &site, const QDateTime &nowUtc,
                                     int nights)
{
    std::vector<SkyPoint> points;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT ambient_c_mean, sky_c_mean FROM minutes WHERE t >= :a AND t < :b "
                             "AND ambient_c_mean IS NOT NULL AND sky_c_mean IS NOT NULL"));
    QDateTime noon = solarNoonBefore(nowUtc, site.longitudeDeg);
    for (int i = 0; i < nights; ++i) {
        noon = solarNoonBefore(noon.addSecs(-3600), site.longitudeDeg);
        const NightStats night = nightAt(noon, site);
        if (!night.darkFrom.isValid())
            continue;
        q.bindValue(QStringLiteral(":a"), night.darkFrom.toSecsSinceEpoch());
        q.bindValue(QStringLiteral(":b"), night.darkTo.toSecsSinceEpoch());
        if (!q.exec())
            break;
        while (q.next())
            points.push_back({q.value(0).toDouble(), q.value(1).toDouble()});
    }
    return points;
}
