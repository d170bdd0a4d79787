#include "web/live_extras.h"

#include "archive/history_text.h"
#include "core/solar.h"
#include "watch/board_words.h"

#include <cmath>

namespace {

QJsonValue isoOrNull(const QDateTime &t)
{
    return t.isValid() ? QJsonValue(isoUtc(t)) : QJsonValue();
}

double valueOf(const ArchiveSummary &m, ArchiveValue v)
{
    return m.mean[size_t(v)];
}

// A minute counts as clear when under half of it was cloudy, raining or in
// daylight, and as safe when the verdict was safe for at least half of it.
bool clearAndSafe(const ArchiveSummary &m)
{
    return m.count > 0 && m.cloudy < 0.5 && m.raining < 0.5 && m.daylight < 0.5 && !std::isnan(m.safe) && m.safe >= 0.5;
}

} // namespace

LiveRules liveRulesFrom(const Settings &s)
{
    return {staleLimitSeconds(s), s.RainThreshold, s.LightThreshold, siteLocation(s)};
}

QString rainWords(int reading, double windowMean, int threshold)
{
    if (reading > threshold)
        return QStringLiteral("Raining");
    if (windowMean > threshold || reading > threshold - std::abs(threshold) / 10)
        return QStringLiteral("Wet");
    return QStringLiteral("Dry");
}

QString brightnessWords(int brightness, int lightThreshold)
{
    constexpr int kScaleEnd = 1023;
    if (brightness <= lightThreshold)
        return QStringLiteral("Daylight");
    if (brightness < lightThreshold + (kScaleEnd - lightThreshold) / 2.0)
        return QStringLiteral("Twilight");
    return QStringLiteral("Dark");
}

QJsonObject freshnessJson(const WatchStatus &status, const QDateTime &nowUtc, int staleAfterSeconds)
{
    const BoardStatus &b = status.board;
    const bool fresh = currentObservation(status, nowUtc, staleAfterSeconds) != nullptr;
    QJsonObject out{{QStringLiteral("fresh"), fresh},
                    {QStringLiteral("values_from"), isoOrNull(status.lastLive ? status.lastLive->utc : QDateTime())},
                    {QStringLiteral("stale_after_s"), staleAfterSeconds}};
    if (!fresh) {
        // A board that delivers but whose last record is this old counts as silent.
        const BoardState shown = deliversReadings(b.state) ? BoardState::Silent : b.state;
        out.insert(QStringLiteral("why"), QStringLiteral("board ") + boardStateName(shown));
        out.insert(QStringLiteral("reason"), notLiveReason(status, nowUtc, staleAfterSeconds));
    }
    return out;
}

QJsonObject todayJson(std::span<const ArchiveSummary> minutes, const QDateTime &fromUtc)
{
    QJsonObject out{{QStringLiteral("from"), isoUtc(fromUtc)}};
    for (ArchiveValue v : {ArchiveValue::Ambient, ArchiveValue::DewPoint, ArchiveValue::Humidity,
                           ArchiveValue::AmbMinusSky, ArchiveValue::Gust}) {
        const DayExtreme e = dayExtreme(minutes, v);
        QJsonObject range{{QStringLiteral("high"), jsonNumber(e.high)}, {QStringLiteral("high_at"), isoOrNull(e.highAt)}};
        if (v != ArchiveValue::Gust) {
            range.insert(QStringLiteral("low"), jsonNumber(e.low));
            range.insert(QStringLiteral("low_at"), isoOrNull(e.lowAt));
        }
        out.insert(QString::fromLatin1(archiveValueInfo(v).key), range);
    }
    return out;
}

QJsonObject trendsJson(std::span<const ArchiveSummary> minutes)
{
    auto column = [](ArchiveValue v) { return [v](const ArchiveSummary &m) { return valueOf(m, v); }; };
    return {{QStringLiteral("ambient_c"), jsonNumber(changePerHour(minutes, column(ArchiveValue::Ambient)))},
            {QStringLiteral("humidity_pct"), jsonNumber(changePerHour(minutes, column(ArchiveValue::Humidity)))},
            {QStringLiteral("dew_margin_c"), jsonNumber(changePerHour(minutes, [](const ArchiveSummary &m) {
                 return valueOf(m, ArchiveValue::Ambient) - valueOf(m, ArchiveValue::DewPoint);
             }))},
            {QStringLiteral("amb_minus_sky_c"), jsonNumber(changePerHour(minutes, column(ArchiveValue::AmbMinusSky)))}};
}

NightSummary summarizeNight(const std::vector<ArchiveSummary> &minutes, const QDateTime &fromUtc,
                            const QDateTime &toUtc, const SiteLocation &site)
{
    NightSummary s{fromUtc, toUtc};
    // Whole minutes of darkness, judged at each minute's middle.
    for (qint64 t = fromUtc.toSecsSinceEpoch() / 60 * 60; t < toUtc.toSecsSinceEpoch(); t += 60)
        if (isAstronomicallyDark(QDateTime::fromSecsSinceEpoch(t + 30, Qt::UTC), site.latitudeDeg, site.longitudeDeg))
            ++s.darkMinutes;
    for (const ArchiveSummary &m : minutes)
        if (m.utc >= fromUtc && m.utc < toUtc && clearAndSafe(m)
            && isAstronomicallyDark(m.utc.addSecs(30), site.latitudeDeg, site.longitudeDeg))
            ++s.clearDarkMinutes;
    return s;
}

QJsonObject nightJson(const SiteLocation &site, const QDateTime &nowUtc,
                      const std::function<std::vector<ArchiveSummary>(const QDateTime &, const QDateTime &)> &minutes)
{
    if (!site.known)
        return site.problem.isEmpty() ? QJsonObject{} : QJsonObject{{QStringLiteral("problem"), site.problem}};
    const QDateTime noon = solarNoonBefore(nowUtc, site.longitudeDeg);
    const NightTimes tonight = nightAfter(noon, site.latitudeDeg, site.longitudeDeg);
    const QDateTime lastNoon = solarNoonBefore(noon.addSecs(-3600), site.longitudeDeg);
    const NightSummary last = summarizeNight(minutes ? minutes(lastNoon, noon) : std::vector<ArchiveSummary>{},
                                             lastNoon, noon, site);
    return {{QStringLiteral("latitude"), site.latitudeDeg},
            {QStringLiteral("longitude"), site.longitudeDeg},
            {QStringLiteral("sunset"), isoOrNull(tonight.sunset)},
            {QStringLiteral("dark_from"), isoOrNull(tonight.darkFrom)},
            {QStringLiteral("dark_to"), isoOrNull(tonight.darkTo)},
            {QStringLiteral("sunrise"), isoOrNull(tonight.sunrise)},
            {QStringLiteral("last_night"), QJsonObject{{QStringLiteral("from"), isoUtc(last.from)},
                                                       {QStringLiteral("to"), isoUtc(last.to)},
                                                       {QStringLiteral("dark_minutes"), last.darkMinutes},
                                                       {QStringLiteral("clear_dark_minutes"), last.clearDarkMinutes}}}};
}
