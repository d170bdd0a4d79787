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

// The unsafe conditions of a known unsafe verdict, in words.
QStringList unsafeReasons(const SafetyVerdict &v)
{
    QStringList reasons;
    if (!v.known || v.safe)
        return reasons;
    for (const UnsafeCondition &c : v.unsafe)
        reasons << c.text;
    if (reasons.isEmpty())
        reasons << QStringLiteral("Unsafe");
    return reasons;
}
} // namespace

QString boardProblem(const WatchStatus &status, const QDateTime &nowUtc, const FeedSettings &settings)
{
    const BoardStatus &b = status.board;
    if (!deliversReadings(b.state)) {
        QString text = QStringLiteral("Board %1").arg(boardStateName(b.state));
        if (!b.reason.isEmpty())
            text += QStringLiteral(" (%1)").arg(b.reason);
        return text;
    }
    if (!status.lastLive || !b.lastRecord.isValid())
        return QStringLiteral("No reading from the board yet");
    if (!recordFresh(b, nowUtc, settings.staleAfterSeconds))
        return QStringLiteral("Last reading is %1 s old").arg(b.lastRecord.secsTo(nowUtc));
    return {};
}

QStringList watcherAlerts(const WatchStatus &status, const QDateTime &nowUtc, const FeedSettings &settings)
{
    QStringList alerts;
    const QString board = boardProblem(status, nowUtc, settings);
    if (!board.isEmpty())
        alerts << board;
    alerts << unsafeReasons(status.safety);
    if (!status.lastLive)
        return alerts;
    const Observation &o = *status.lastLive;
    if (o.raining)
        alerts << QStringLiteral("Rain");
    if (!o.temperaturesOn)
        alerts << QStringLiteral("Cloud cover unknown: temperature processing is off");
    else if (o.cloudy)
        alerts << QStringLiteral("Clouds");
    if (o.windOn && o.windy)
        alerts << QStringLiteral("Wind");
    return alerts;
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
    out += line("forecast", watcherAlerts(status, nowUtc, settings).isEmpty() ? 0 : 2, 0);
    return out;
}

QByteArray safetyFeed(const WatchStatus &status, const QDateTime &nowUtc, const FeedSettings &settings)
{
    QStringList reasons;
    const QString board = boardProblem(status, nowUtc, settings);
    if (!board.isEmpty())
        reasons << board;
    if (!status.safety.known)
        reasons << QStringLiteral("No safety verdict yet");
    reasons << unsafeReasons(status.safety);
    QJsonObject roof;
    roof.insert(QStringLiteral("open_ok"), reasons.isEmpty() ? 1 : 0);
    roof.insert(QStringLiteral("reasons"), reasons.join(QStringLiteral("; ")));
    QJsonObject top;
    top.insert(QStringLiteral("roof_status"), roof);
    top.insert(QStringLiteral("board"), boardStateName(status.board.state));
    return QJsonDocument(top).toJson(QJsonDocument::Compact) + '\n';
}
