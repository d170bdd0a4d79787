#include "station/simulated_weather.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

namespace {
constexpr double kPi = 3.14159265358979323846;

int clampInt(double v, int lo, int hi)
{
    if (!std::isfinite(v))
        return lo;
    return int(std::clamp(std::lround(v), long(lo), long(hi)));
}
} // namespace

QString formatBoardRecord(const BoardReading &r)
{
    char buf[160];
    std::snprintf(buf, sizeof buf,
                  "HUM=%04d LGT=%04d R=%04d WND=%04d TP=%+06d TTP=%+06d TA=%+06d AH=%d HB=%d AR=%d RB=%d AW=%d AL=%d "
                  "Trg=%+06d#",
                  clampInt(r.humidityCounts, 0, 9999), clampInt(r.brightness, 0, 1023), clampInt(r.rainCount, 0, 9999),
                  clampInt(r.windCount, 0, 9999), clampInt(r.skyHundredths, -99999, 99999),
                  clampInt(r.thermopileHundredths, -99999, 99999), clampInt(r.ambientHundredths, -99999, 99999),
                  clampInt(r.heaterAllowed, 0, 9), clampInt(r.heaterOn, 0, 9), clampInt(r.relayAllowed, 0, 9),
                  clampInt(r.relayOn, 0, 9), clampInt(r.windAllowed, 0, 9), clampInt(r.lightAllowed, 0, 9),
                  clampInt(r.trigger, -99999, 99999));
    return QString::fromLatin1(buf);
}

WeatherForcing parseWeatherForcing(const QString &text)
{
    WeatherForcing f;
    for (const QString &raw : text.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString key = line.left(eq).trimmed();
        bool ok = false;
        const double v = line.mid(eq + 1).trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(v))
            continue;
        if (key == QLatin1String("cloud"))
            f.cloud = std::clamp(v, 0.0, 1.0);
        else if (key == QLatin1String("rain"))
            f.rain = v != 0;
        else if (key == QLatin1String("wind"))
            f.wind = std::clamp(v, 0.0, 9999.0);
    }
    return f;
}

SimulatedWeather::SimulatedWeather(quint32 seed) : m_rng(seed) {}

double SimulatedWeather::noise(double amplitude)
{
    return (m_rng.generateDouble() * 2 - 1) * amplitude;
}

void SimulatedWeather::advance(double seconds)
{
    if (!(seconds > 0))
        return;
    seconds = std::min(seconds, 60.0); // after a long pause, carry on rather than jump
    m_dayFraction = std::fmod(m_dayFraction + seconds * kTimeScale / 86400.0, 1.0);

    // Cloud cover follows a slowly turning trend: clear spells and overcast spells.
    m_cloudTrend = std::clamp(m_cloudTrend + noise(0.002) * seconds, -0.004, 0.004);
    m_cloud = std::clamp(m_cloud + m_cloudTrend * seconds + noise(0.003) * std::sqrt(seconds), 0.0, 1.0);
    if (m_cloud <= 0 || m_cloud >= 1)
        m_cloudTrend = -m_cloudTrend;

    // Showers start only under heavy cloud and die away when it breaks.
    const double rainTarget = m_cloud > 0.8 ? 1.0 : 0.0;
    m_rain += (rainTarget - m_rain) * std::min(1.0, 0.02 * seconds) + noise(0.01);
    m_rain = std::clamp(m_rain, 0.0, 1.0);

    // Wind: a wandering base with short gusts.
    m_wind = std::clamp(m_wind + noise(15) * std::sqrt(seconds), 0.0, 900.0);
    if (m_rng.bounded(30) == 0)
        m_gust = 200 + m_rng.bounded(500);
    m_gust *= std::pow(0.6, seconds);
    applyForcing();
}

void SimulatedWeather::force(const WeatherForcing &forcing)
{
    m_forcing = forcing;
    applyForcing();
}

void SimulatedWeather::applyForcing()
{
    if (m_forcing.cloud) {
        m_cloud = *m_forcing.cloud;
        m_cloudTrend = 0;
    }
    if (m_forcing.rain)
        m_rain = *m_forcing.rain ? 1.0 : 0.0;
    if (m_forcing.wind) {
        m_wind = *m_forcing.wind;
        m_gust = 0;
    }
}

double SimulatedWeather::ambientC() const
{
    // Warmest in mid-afternoon, cooler under a clear night sky.
    return 12 + 7 * std::sin(2 * kPi * (m_dayFraction - 0.35)) - (1 - m_cloud) * 1.5;
}

double SimulatedWeather::skyC() const
{
    // A clear sky reads some 25 degrees below the air, an overcast one a few.
    return ambientC() - (25 - 22 * m_cloud);
}

double SimulatedWeather::relativeHumidity() const
{
    return std::clamp(55 + 30 * m_cloud + 10 * m_rain - 10 * std::sin(2 * kPi * (m_dayFraction - 0.35)), 20.0, 99.0);
}

int SimulatedWeather::brightness() const
{
    // Sun height from the time of day: night reads near 1000, full day near 60.
    const double sun = -std::cos(2 * kPi * m_dayFraction); // -1 midnight, +1 noon
    const double light = std::clamp((sun + 0.15) / 0.4, 0.0, 1.0) * (1 - 0.5 * m_cloud);
    return clampInt(1005 - light * 940, 0, 1023);
}

void SimulatedWeather::fill(BoardReading &r) const
{
    const double ambient = ambientC();
    // The board's humidity counts for this relative humidity near room temperature.
    const double k = ambient + 273;
    const double e = ambient >= 2 ? 1.0305 : 1.1305;
    const double sensor = relativeHumidity() * (e + 0.000044 * k - 0.0000011 * k * k);
    r.humidityCounts = clampInt((sensor * 0.034 + 0.958) / 5.02 * 1024, 0, 9998);
    r.brightness = brightness();
    r.rainCount = clampInt(300 + m_rain * 450, 0, 9999);
    r.windCount = m_wind + m_gust < 20 ? 0 : clampInt(m_wind + m_gust, 0, 9999);
    r.skyHundredths = clampInt(skyC() * 100, -99999, 99999);
    r.thermopileHundredths = clampInt((ambient + 0.4) * 100, -99999, 99999);
    r.ambientHundredths = clampInt(ambient * 100, -99999, 99999);
}
