#include "feeds/indi_feeds.h"

#include <QJsonDocument>
#include <QJsonObject>

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
    // Only readings of now: a stale observation leaves the driver its "forecast".
    if (const Observation *o = currentObservation(status, nowUtc, settings.staleAfterSeconds)) {
        const Readings &r = o->readings;
        const auto put = [&out, &r](const char *key, Quantity q, int decimals, double factor = 1) {
            if (const std::optional<double> v = r[q])
                out += line(key, *v * factor, decimals);
        };
        put("temperature", Quantity::Ambient, 1);
        put("humidity", Quantity::Humidity, 1);
        put("dewpoint", Quantity::DewPoint, 1);
        put("sky_minus_ambient", Quantity::AmbMinusSky, 1, -1);
        put("clouds", Quantity::CloudCover, 0);
        out += line("precip", o->raining ? 1 : 0, 0);
        put("wind", Quantity::WindAverage, 1, kKmPerMile);
        put("gust", Quantity::Gust, 1, kKmPerMile);
        out += line("daylight", o->daylight ? 1 : 0, 0);
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
