// Weather for the built-in board simulator: a compressed day with dusk and
// dawn, cloud cover drifting between clear and overcast, showers from heavy
// cloud, and gusty wind. Advanced in seconds; the same seed gives the same weather.
#pragma once

#include <QRandomGenerator>
#include <QString>
#include <optional>

// One reading in the board's own units.
struct BoardReading {
    int humidityCounts = 676;  // HUM
    int brightness = 1;        // LGT, lower is brighter, at most 1023
    int rainCount = 321;       // R, lower is drier
    int windCount = 0;         // WND
    int skyHundredths = 146;   // TP
    int thermopileHundredths = 4432; // TTP
    int ambientHundredths = 2631;    // TA
    int heaterAllowed = 0, heaterOn = 0, relayAllowed = 0, relayOn = 0, windAllowed = 0, lightAllowed = 0;
    int trigger = 3691;        // Trg
};

// The 106-character record, every field clamped to its width.
QString formatBoardRecord(const BoardReading &r);

// Conditions held fixed instead of simulated, for trying out clients and for
// tests: cloud 0..1, rain on or off, wind in board counts.
struct WeatherForcing {
    std::optional<double> cloud;
    std::optional<bool> rain;
    std::optional<double> wind;
};

// "cloud=0.2", "rain=1", "wind=0" lines; other lines and bad values are ignored.
WeatherForcing parseWeatherForcing(const QString &text);

class SimulatedWeather {
public:
    // Seconds of simulated time per real second: one day passes in about 48 minutes.
    static constexpr double kTimeScale = 30;

    explicit SimulatedWeather(quint32 seed = 1);

    // Advances by real seconds (the day runs kTimeScale times faster).
    void advance(double seconds);

    double cloudCover() const { return m_cloud; } // 0 clear .. 1 overcast
    bool raining() const { return m_rain > 0.5; }
    double windSpeedCounts() const { return m_wind; }
    double dayFraction() const { return m_dayFraction; } // 0 midnight .. 0.5 noon
    double ambientC() const;
    double skyC() const;
    double relativeHumidity() const;
    int brightness() const;

    // Holds the given conditions from now on; the others keep being simulated.
    void force(const WeatherForcing &forcing);

    // Fills the weather fields of a reading (the switch flags are the board's).
    void fill(BoardReading &r) const;

private:
    double noise(double amplitude);
    void applyForcing();

    QRandomGenerator m_rng;
    double m_dayFraction = 0.7; // late afternoon: dusk within a few minutes
    double m_cloud = 0.2;
    double m_cloudTrend = 0;
    double m_rain = 0;
    double m_wind = 250;
    double m_gust = 0;
    WeatherForcing m_forcing;
};
