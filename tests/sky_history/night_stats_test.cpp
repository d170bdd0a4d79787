// Nights from the archive: darkness from the Sun alone at several sites, and
// the clear, safe and rainy figures from minute summaries and observation
// rows together, each counted once.
#include "night_archive.h"
#include "../archive/archive_fixture.h"

#include "core/solar.h"
#include "sky_history/night_stats.h"
#include "sky_history/night_text.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// 20:00 mean solar time at the site on that date.
QDateTime eveningAt(const char *date, const SiteLocation &site)
{
    return QDateTime(QDate::fromString(QString::fromLatin1(date), Qt::ISODate), QTime(20, 0), Qt::UTC)
        .addSecs(-qint64(site.longitudeDeg * 240));
}

// Dark hours the slow way: the Sun's elevation at every minute's middle.
double darkHoursByMinute(const NightStats &night, const SiteLocation &site)
{
    int minutes = 0;
    for (QDateTime t = night.from.addSecs(30); t < night.to; t = t.addSecs(60))
        minutes += isAstronomicallyDark(t, site.latitudeDeg, site.longitudeDeg);
    return minutes / 60.0;
}

} // namespace

TEST(Nights, DarknessAndDateFollowTheSunAtEverySite)
{
    struct Case {
        const char *name;
        double lat, lon;
        const char *date;
        double lowHours, highHours; // a sanity band around the minute count
    };
    const Case cases[] = {
        {"England in December", 52.2, -1.5, "2026-12-07", 11, 13},
        {"England at midsummer: no astronomical darkness", 52.2, -1.5, "2026-06-21", 0, 0},
        {"Sydney in December, a date ahead of UTC", -33.9, 151.2, "2026-12-07", 6, 8},
        {"Hawaii, a date behind UTC", 19.8, -155.5, "2026-12-07", 10, 12},
        {"Svalbard in December: twilight at noon", 78.2, 15.6, "2026-12-07", 13, 16},
        {"near the pole in December: dark all day", 89.0, 0, "2026-12-07", 24, 24},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const SiteLocation site = siteAt(c.lat, c.lon);
        const NightStats night = nightAt(solarNoonBefore(eveningAt(c.date, site), site.longitudeDeg), site);
        EXPECT_EQ(night.date.toString(Qt::ISODate).toStdString(), c.date);
        EXPECT_NEAR(night.darkHours, darkHoursByMinute(night, site), 2.0 / 60);
        EXPECT_GE(night.darkHours, c.lowHours - 0.05);
        EXPECT_LE(night.darkHours, c.highHours + 0.05);
    }
}

TEST(Nights, FiguresComeFromMinutesBeforeTheObservationRowsAndFromThoseAfter)
{
    QTemporaryDir dir;
    Archive archive;
    archive.setRetentionDays(100000);
    archive.setBatchSeconds(1000000);
    ASSERT_TRUE(archive.open(dir.path() + "/archive.sqlite"));
    const SiteLocation site = siteAt(52.2, -1.5);
    const NightStats tonightBare = nightAt(solarNoonBefore(eveningAt("2026-12-07", site), site.longitudeDeg), site);
    const QDateTime cut = QDateTime::fromSecsSinceEpoch(tonightBare.darkFrom.toSecsSinceEpoch() / 60 * 60 + 3600, Qt::UTC);
    const QDateTime now = cut.addSecs(7200);

    // Three whole nights and tonight until `cut` as minute summaries: clear
    // for `clear` hours from dark (and all day), safe for `safe` hours from
    // an hour before dark, raining `rain` minutes in the afternoon.
    struct Pattern {
        double clear, safe, rain;
    };
    const Pattern pattern[] = {{2, 3, 0}, {5.5, 6, 45}, {0, 1.5, 10}, {99, 99, 0}};
    {
        MinuteWriter minutes(archive);
        QDateTime noon = tonightBare.from;
        for (int k = 0; k < 3; ++k)
            noon = solarNoonBefore(noon.addSecs(-3600), site.longitudeDeg);
        for (const Pattern &p : pattern) {
            const NightStats n = nightAt(noon, site);
            const qint64 df = n.darkFrom.toSecsSinceEpoch();
            const qint64 end = std::min(n.to, cut).toSecsSinceEpoch();
            for (qint64 t = (n.from.toSecsSinceEpoch() + 59) / 60 * 60; t < end; t += 60) {
                const bool dark = t >= df && t < n.darkTo.toSecsSinceEpoch();
                const double afternoon = (t - n.from.toSecsSinceEpoch() - 7200) / 60.0;
                minutes.add({t, dark && t >= df + p.clear * 3600 ? 1.0 : 0.0,
                             t >= df - 3600 && t < df - 3600 + p.safe * 3600 ? 1.0 : 0.0,
                             afternoon >= 0 && afternoon < p.rain ? 1.0 : 0.0});
            }
            noon = n.to;
        }
    }
    // Tonight from `cut` to now as observation rows: clear for an hour, then
    // overcast; safe for 90 minutes; raining for the first 10.
    for (int s = 0; s < 7200; ++s) {
        Observation o = observationAt(cut.addSecs(s), 2);
        o.sky = s < 3600 ? SkyClass::Clear : SkyClass::Overcast;
        o.cloudy = s >= 3600;
        o.raining = s < 600;
        SafetyVerdict verdict;
        verdict.known = true;
        verdict.safe = s < 5400;
        archive.add(withReadings(o), simulatedBoard(), verdict);
    }
    archive.flush();

    const NightsReport report = queryNights(QSqlDatabase::database(archive.connectionName()), site, now, 3);
    ASSERT_EQ(report.nights.size(), 3u);
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        const NightStats &n = report.nights[size_t(k)];
        EXPECT_NEAR(n.clearDarkHours, pattern[k].clear, 1.0 / 60);
        EXPECT_NEAR(n.safeHours, pattern[k].safe, 1.0 / 60);
        EXPECT_NEAR(n.rainMinutes, pattern[k].rain, 0.01);
        EXPECT_NEAR(n.archivedHours, n.from.secsTo(n.to) / 3600.0, 1.0 / 60);
    }
    const NightStats &t = report.tonight;
    EXPECT_EQ(t.date, QDate(2026, 12, 7));
    EXPECT_NEAR(t.darkHours, tonightBare.darkFrom.msecsTo(now) / 3.6e6, 1e-6);
    EXPECT_NEAR(t.clearDarkHours, t.darkHours - 1, 1.0 / 60); // dark since cut - 1 h, clear but the last hour
    EXPECT_NEAR(t.safeHours, t.darkFrom.addSecs(-3600).secsTo(cut) / 3600.0 + 1.5, 1.0 / 60);
    EXPECT_NEAR(t.rainMinutes, 10, 0.01);
    EXPECT_NEAR(t.archivedHours, t.from.secsTo(now) / 3600.0, 1.0 / 60);

    const QJsonObject json = nightsJson(report);
    EXPECT_EQ(json["nights"].toArray().size(), 3);
    EXPECT_EQ(json["lastNight"].toObject()["rainMinutes"].toDouble(), 10);
    EXPECT_EQ(json["tonight"].toObject()["date"].toString(), "2026-12-07");
}

// A year of minute summaries and a month of observation rows: the figures
// the calendar asks for come back quickly enough for a worker thread.
TEST(Nights, AYearOfNightsIsQuick)
{
    QTemporaryDir dir;
    Archive archive;
    archive.setRetentionDays(100000);
    ASSERT_TRUE(archive.open(dir.path() + "/archive.sqlite"));
    const SiteLocation site = siteAt(52.2, -1.5);
    const QDateTime now = eveningAt("2026-12-07", site);
    const qint64 start = now.addDays(-366).toSecsSinceEpoch() / 60 * 60;
    const qint64 secondsFrom = now.addDays(-30).toSecsSinceEpoch();
    {
        MinuteWriter minutes(archive);
        for (qint64 t = start; t < secondsFrom; t += 60)
            minutes.add({t, (t / 3600) % 3 == 0 ? 1.0 : 0.0, 1, 0});
    }
    QSqlDatabase db = QSqlDatabase::database(archive.connectionName());
    {
        db.transaction();
        QSqlQuery q(db);
        q.prepare("INSERT INTO observations (t, sky_class, raining, safe) VALUES (?, ?, 0, 1)");
        for (qint64 t = secondsFrom; t < now.toSecsSinceEpoch(); ++t) {
            q.addBindValue(t * 1000);
            q.addBindValue(int((t / 3600) % 3 == 0) * 2);
            q.exec();
        }
        db.commit();
    }
    QElapsedTimer timer;
    timer.start();
    const NightsReport report = queryNights(db, site, now, 365);
    const qint64 ms = timer.elapsed();
    std::printf("365 nights (30 days of observation rows): %lld ms\n", static_cast<long long>(ms));
    ASSERT_EQ(report.nights.size(), 365u);
    EXPECT_LT(ms, 10000);
    // Clear two hours in three, whichever kind of row tells it.
    for (size_t k : {size_t(10), size_t(360)}) {
        const NightStats &n = report.nights[k];
        EXPECT_NEAR(n.clearDarkHours / n.darkHours, 2.0 / 3, 0.12) << k;
        EXPECT_NEAR(n.safeHours, 24, 0.2) << k;
    }
}
