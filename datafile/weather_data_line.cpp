#include "datafile/weather_data_line.h"

#include "watch/board_words.h"

#include <algorithm>
#include <cmath>

namespace {

int rainFlag(bool rainingNow, const QDateTime &lastRainUtc, const QDateTime &nowUtc)
{
    if (rainingNow)
        return 2;
    if (lastRainUtc.isValid() && lastRainUtc.secsTo(nowUtc) < 60)
        return 1;
    return 0;
}

int cloudCondition(const Readings &r)
{
    if (!r.sky)
        return 0;
    switch (*r.sky) {
    case SkyClass::Clear:
        return 1;
    case SkyClass::PartlyCloudy:
        return 2;
    case SkyClass::Overcast:
        return 3;
    }
    return 0;
}

int windCondition(const Observation &o, double veryWindyLimit)
{
    const std::optional<double> average = o.readings[Quantity::WindAverage];
    if (!average)
        return 0;
    if (*average >= veryWindyLimit)
        return 3;
    return o.windy ? 2 : 1;
}

// A quantity that is not a reading writes 0 (its condition reads 0, unknown).
QString number(const Readings &r, Quantity q, int decimals, double sign = 1)
{
    const double v = sign * r.valueOr(q, 0);
    // "-0.0" would read as a different value to some parsers.
    const QString text = QString::number(v, 'f', decimals);
    return text == QStringLiteral("-0.0") ? QStringLiteral("0.0") : text;
}

} // namespace

double daysSince1899(const QDateTime &local)
{
    const QDate epoch(1899, 12, 30);
    const QTime t = local.time();
    return double(epoch.daysTo(local.date())) + t.msecsSinceStartOfDay() / 86400000.0;
}

QString weatherDataLine(const WatchStatus &status, const QDateTime &nowUtc, const QDateTime &lastRainUtc,
                        const DataLineSettings &settings)
{
    const bool live = status.lastLive && notLiveReason(status, nowUtc, settings.staleLimitSeconds).isEmpty();
    const Observation o = status.lastLive.value_or(Observation{});
    const Readings &r = o.readings;
    const bool safe = live && status.safety.known && status.safety.safe;

    // The age of the values written, not of the board's last record: a board
    // found again has a fresh record before its first new observation.
    qint64 age = 99999;
    if (status.lastLive && status.lastLive->utc.isValid())
        age = std::clamp<qint64>(status.lastLive->utc.secsTo(nowUtc), 0, 99999);

    const QDateTime local = nowUtc.toLocalTime();
    const int rain = rainFlag(live && o.raining, lastRainUtc, nowUtc);
    const int rainCondition = !live ? 0 : o.raining ? 3 : rain == 1 ? 2 : 1;

    QStringList f;
    f << local.toString(QStringLiteral("yyyy-MM-dd"))
      << local.toString(QStringLiteral("HH:mm:ss.")) + QStringLiteral("%1").arg(local.time().msec() / 10, 2, 10, QLatin1Char('0'))
      << QStringLiteral("C") << QStringLiteral("M")
      << number(r, Quantity::AmbMinusSky, 1, -1) << number(r, Quantity::Ambient, 1)
      << number(r, Quantity::Thermopile, 1) << number(r, Quantity::Wind, 1) << number(r, Quantity::Humidity, 0)
      << number(r, Quantity::DewPoint, 1) << QString::number(o.heater == 1 ? 100 : 0) << QString::number(rain)
      << QString::number(rain) << QStringLiteral("%1").arg(age, 5, 10, QLatin1Char('0'))
      << QString::number(daysSince1899(local), 'f', 5)
      << QString::number(live ? cloudCondition(r) : 0) << QString::number(live ? windCondition(o, settings.veryWindyLimit) : 0)
      << QString::number(rainCondition) << QString::number(!live ? 0 : o.daylight ? 2 : 1)
      << QString::number(safe ? 0 : 1) << QString::number(safe ? 0 : 1);
    return f.join(QLatin1Char(' '));
}
