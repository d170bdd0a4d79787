#include "sky_history/night_stats.h"

#include "core/solar.h"

#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <limits>

namespace {

constexpr qint64 kDayMs = 86400000;

qint64 ms(const QDateTime &t)
{
    return t.toMSecsSinceEpoch();
}

// Archive figures of one span, in seconds of observations.
struct Tally {
    double rows = 0, clearDark = 0, safe = 0, raining = 0;
    void add(const QSqlQuery &q)
    {
        rows += q.value(0).toDouble();
        clearDark += q.value(1).toDouble();
        safe += q.value(2).toDouble();
        raining += q.value(3).toDouble();
    }
};

// Observation rows count one second each; a minute summary counts its
// observations, clear for the share of them that were not cloudy.
class NightCounter {
public:
    explicit NightCounter(const QSqlDatabase &db) : m_seconds(db), m_minutes(db)
    {
        QSqlQuery first(db);
        // Pruning removes the oldest observation rows first: before the
        // oldest left, only the minute summaries know.
        m_cutMs = first.exec(QStringLiteral("SELECT min(t) FROM observations")) && first.next() && !first.value(0).isNull()
            ? (first.value(0).toLongLong() + 59999) / 60000 * 60000
            : std::numeric_limits<qint64>::max();
        m_seconds.setForwardOnly(true);
        m_seconds.prepare(QStringLiteral(
            "SELECT count(*), sum(t >= :df AND t < :dt AND sky_class = 0), sum(safe = 1), sum(raining) "
            "FROM observations WHERE t >= :a AND t < :b"));
        m_minutes.setForwardOnly(true);
        m_minutes.prepare(QStringLiteral(
            "SELECT sum(n), sum(CASE WHEN t >= :df AND t < :dt THEN n * (1 - cloudy) END), sum(n * safe), "
            "sum(n * raining) FROM minutes WHERE t >= :a AND t < :b"));
    }

    void count(NightStats &night)
    {
        const qint64 a = ms(night.from), b = ms(night.to);
        const qint64 df = night.darkFrom.isValid() ? ms(night.darkFrom) : 0;
        const qint64 dt = night.darkTo.isValid() ? ms(night.darkTo) : 0;
        Tally tally;
        if (b > m_cutMs)
            run(m_seconds, std::max(a, m_cutMs), b, df, dt, tally);
        if (a < m_cutMs)
            run(m_minutes, a / 1000, std::min(b, m_cutMs) / 1000, df / 1000, dt / 1000, tally);
        night.archivedHours = tally.rows / 3600;
        night.clearDarkHours = tally.clearDark / 3600;
        night.safeHours = tally.safe / 3600;
        night.rainMinutes = tally.raining / 60;
    }

private:
    static void run(QSqlQuery &q, qint64 a, qint64 b, qint64 df, qint64 dt, Tally &tally)
    {
        q.bindValue(QStringLiteral(":a"), a);
        q.bindValue(QStringLiteral(":b"), b);
        q.bindValue(QStringLiteral(":df"), df);
        q.bindValue(QStringLiteral(":dt"), dt);
        if (q.exec() && q.next())
            tally.add(q);
        q.finish();
    }

    QSqlQuery m_seconds, m_minutes;
    qint64 m_cutMs;
};

// Tonight ends now: its darkness so far, the archive up to now.
void endAt(NightStats &night, const QDateTime &nowUtc)
{
    night.to = std::min(night.to, nowUtc);
    if (night.darkTo.isValid() && night.darkTo > night.to)
        night.darkTo = night.to;
    if (night.darkFrom.isValid() && night.darkFrom >= night.to)
        night.darkFrom = night.darkTo = QDateTime();
    night.darkHours = night.darkFrom.isValid() ? night.darkFrom.msecsTo(night.darkTo) / 3.6e6 : 0;
}

QDateTime previousNoon(const QDateTime &noon, const SiteLocation &site)
{
    return solarNoonBefore(noon.addSecs(-3600), site.longitudeDeg);
}

} // namespace

NightStats nightAt(const QDateTime &noonUtc, const SiteLocation &site)
{
    NightStats night;
    night.from = noonUtc.toUTC();
    night.to = solarNoonBefore(night.from.addMSecs(kDayMs + 3600000), site.longitudeDeg);
    // Mean solar noon falls near 12:00 at the site: its date is the evening's.
    night.date = night.from.addSecs(qint64(site.longitudeDeg * 240)).date();
    const NightTimes times = nightAfter(night.from, site.latitudeDeg, site.longitudeDeg);
    night.darkFrom = times.darkFrom;
    night.darkTo = times.darkTo;
    if (!night.darkFrom.isValid() && !night.darkTo.isValid()) {
        // No crossing: dark all night (polar night) or never.
        const QDateTime midnight = night.from.addMSecs(kDayMs / 2);
        if (isAstronomicallyDark(midnight, site.latitudeDeg, site.longitudeDeg)) {
            night.darkFrom = night.from;
            night.darkTo = night.to;
        }
    } else if (!night.darkFrom.isValid()) {
        night.darkFrom = night.from;
    } else if (!night.darkTo.isValid()) {
        night.darkTo = night.to;
    }
    night.darkHours = night.darkFrom.isValid() ? night.darkFrom.msecsTo(night.darkTo) / 3.6e6 : 0;
    return night;
}

NightsReport queryNights(const QSqlDatabase &db, const SiteLocation &site, const QDateTime &nowUtc, int count)
{
    NightsReport report;
    NightCounter counter(db);
    const QDateTime tonightNoon = solarNoonBefore(nowUtc, site.longitudeDeg);
    report.tonight = nightAt(tonightNoon, site);
    endAt(report.tonight, nowUtc);
    counter.count(report.tonight);
    QDateTime noon = tonightNoon;
    for (int i = 0; i < count; ++i) {
        noon = previousNoon(noon, site);
        NightStats night = nightAt(noon, site);
        counter.count(night);
        report.nights.push_back(night);
    }
    std::reverse(report.nights.begin(), report.nights.end());
    return report;
}

NightsReport queryNightsSince(const QSqlDatabase &db, const SiteLocation &site, const QDateTime &sinceUtc,
                              const QDateTime &nowUtc, int maxNights)
{
    int count = 0;
    for (QDateTime noon = solarNoonBefore(nowUtc, site.longitudeDeg); count < maxNights;) {
        noon = previousNoon(noon, site);
        if (noon < sinceUtc)
            break;
        ++count;
    }
    return queryNights(db, site, nowUtc, count);
}
