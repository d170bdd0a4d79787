#include "feeds/indi_feeds.h"

#include "core/cloud_cover.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace {
// The station's wind unit is the one its upload reports as miles per hour;
// the watcher driver labels wind in km/h.
constexpr double kKmPerMile = 1.609344;

QByteArray line(const char *key, double value, int decimals)
{
    return QByteArray(key) + '=' + QByteArray::number(value, 'f', decimals) + '\n';
}

} // namespace

QStringList closedReasons(const WatchStatus &status, const QDateTime &nowUtc, int staleAfterSeconds)
{
    QStringList reasons;
    const QString board = boardProblem(status, nowUtc, staleAfterSeconds);
    if (!board.isEmpty())
        reasons << board;
    const SafetyVerdict &v = status.safety;
    if (!v.known)
        reasons << QStringLiteral("No safety verdict yet");
    if (!v.known || v.safe)
        return reasons;
    for (const UnsafeCondition &c : v.unsafe) {
        // The board's state now says it better than an older judgement.
        if (c.name != QLatin1String("board") || board.isEmpty())
            reasons << c.text;
    }
    if (reasons.isEmpty())
        reasons << QStringLiteral("Unsafe");
    return reasons;
}

QByteArray watcherFeed(const WatchStatus &status, const QDateTime &nowUtc, const FeedSettings &settings)
{
    QByteArray out;
    // Every line ends in a newline: the driver keeps appending what it reads.
    if (status.lastLive) {
        const Observation &o = *status.lastLive;
        if (o.temperaturesOn) {
            out += line("temperature", o.ambientC, 1);
            if (!o.humidityMissing) {
                // The computed humidity may pass 100 on humid nights; the driver's range ends there.
                out += line("humidity", std::clamp(o.humidityPercent, 0.0, 100.0), 1);
                out += line("dewpoint", o.dewPointC, 1);
            }
            out += line("sky_minus_ambient", -o.ambientMinusSkyC, 1);
            out += line("clouds",
                        cloudCoverPercent(o.ambientMinusSkyC, settings.partCloudyDegC, settings.fullCloudyDegC), 0);
        }
        out += line("precip", o.raining ? 1 : 0, 0);
        if (o.windOn) {
            out += line("wind", std::max(0.0, o.windAverage) * kKmPerMile, 1);
            out += line("gust", std::max(0.0, o.windGust) * kKmPerMile, 1);
        }
        out += line("daylight", o.daylight ? 1 : 0, 0);
    }
    out += line("forecast", closedReasons(status, nowUtc, settings.staleAfterSeconds).isEmpty() ? 0 : 2, 0);
    return out;
}

QByteArray safetyFeed(const WatchStatus &status, const QDateTime &nowUtc, const FeedSettings &settings)
{
    const QStringList reasons = closedReasons(status, nowUtc, settings.staleAfterSeconds);
    QJsonObject roof;
    roof.insert(QStringLiteral("open_ok"), reasons.isEmpty() ? 1 : 0);
    roof.insert(QStringLiteral("reasons"), reasons.join(QStringLiteral("; ")));
    QJsonObject top;
    top.insert(QStringLiteral("roof_status"), roof);
    top.insert(QStringLiteral("board"), boardStateName(status.board.state));
    return QJsonDocument(top).toJson(QJsonDocument::Compact) + '\n';
}
