// Archives of many nights for the night and sky tests: minute summaries
// written straight into the real archive's tables (a year of them in a
// second), observation rows through the Archive itself.
#pragma once

#include "archive/archive.h"
#include "core/settings.h"
#include "core/solar.h"
#include "sky_history/night_stats.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <cmath>
#include <functional>
#include <random>

// What one archived minute held.
struct MinuteRow {
    qint64 startSecs = 0;
    double cloudy = 0, safe = 0, raining = 0;
    double ambientC = NAN, skyC = NAN;
};

// Writes minute rows in one transaction on the archive's own connection.
class MinuteWriter {
public:
    explicit MinuteWriter(Archive &archive) : m_db(QSqlDatabase::database(archive.connectionName())), m_insert(m_db)
    {
        m_db.transaction();
        m_insert.prepare(QStringLiteral("INSERT OR REPLACE INTO minutes (t, n, cloudy, safe, raining, daylight, "
                                        "ambient_c_mean, sky_c_mean) VALUES (?, 60, ?, ?, ?, 0, ?, ?)"));
    }
    ~MinuteWriter() { m_db.commit(); }
    void add(const MinuteRow &m)
    {
        m_insert.addBindValue(m.startSecs);
        m_insert.addBindValue(m.cloudy);
        m_insert.addBindValue(m.safe);
        m_insert.addBindValue(m.raining);
        m_insert.addBindValue(std::isnan(m.ambientC) ? QVariant() : QVariant(m.ambientC));
        m_insert.addBindValue(std::isnan(m.skyC) ? QVariant() : QVariant(m.skyC));
        m_insert.exec();
    }

private:
    QSqlDatabase m_db;
    QSqlQuery m_insert;
};

inline SiteLocation siteAt(double latitudeDeg, double longitudeDeg)
{
    SiteLocation site;
    site.known = true;
    site.latitudeDeg = latitudeDeg;
    site.longitudeDeg = longitudeDeg;
    return site;
}

// A site's clear sky, what the sensor reads of it at an ambient temperature.
using Baseline = std::function<double(double ambientC)>;

// `nights` whole nights before nowUtc at the site: every dark minute with an
// ambient from the night's place in -22..+32 °C (falling 3 °C through the
// night) and the sky at the baseline with 0.7 °C of scatter, or, for a share
// `cloudy` of the minutes, 6 to 30 °C warmer (never above the ambient), or
// with `layerC` a cloud layer that many degrees warmer.
// Besides, an hour of daylight minutes that read colder than any clear sky:
// the fit must not see them. Returns the share of dark minutes written clear.
inline double writeSyntheticSky(Archive &archive, const SiteLocation &site, const QDateTime &nowUtc, int nights,
                                const Baseline &baseline, double cloudy, double layerC = 0, unsigned seed = 7)
{
    std::mt19937 random(seed);
    std::normal_distribution<double> scatter(0, 0.7);
    std::uniform_real_distribution<double> uniform(0, 1);
    MinuteWriter minutes(archive);
    QDateTime noon = solarNoonBefore(nowUtc, site.longitudeDeg);
    long clear = 0, all = 0;
    for (int k = 0; k < nights; ++k) {
        noon = solarNoonBefore(noon.addSecs(-3600), site.longitudeDeg);
        const NightStats night = nightAt(noon, site);
        const double start = -22 + 54.0 * ((k * 37) % nights) / nights;
        const qint64 from = night.darkFrom.toSecsSinceEpoch() / 60 * 60 + 60, to = night.darkTo.toSecsSinceEpoch();
        for (qint64 t = from; t + 60 <= to; t += 60) {
            const double ambient = start - 3.0 * double(t - from) / double(to - from);
            const double clearSky = baseline(ambient) + scatter(random);
            const bool isClear = uniform(random) >= cloudy;
            const double warmer = layerC > 0 ? layerC + scatter(random) : 6 + 24 * uniform(random);
            const double sky = isClear ? clearSky : std::min(clearSky + warmer, ambient - 0.5);
            minutes.add({t, isClear ? 0.0 : 1.0, 1, 0, ambient, sky});
            clear += isClear;
            ++all;
        }
        for (qint64 t = noon.toSecsSinceEpoch() / 60 * 60 + 3600; t < noon.toSecsSinceEpoch() + 7200; t += 60)
            minutes.add({t, 0, 0, 0, start, baseline(start) - 10});
    }
    return double(clear) / double(all);
}
