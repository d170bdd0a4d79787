// What the archive gives back: one stored observation, or one summary (a
// minute, or any span of whole seconds) of the observations in it.
#pragma once

#include "core/board_state.h"
#include "core/observation.h"

#include <QDateTime>
#include <QStringList>
#include <array>
#include <cmath>
#include <optional>

// The numeric values the archive keeps, in column order.
enum class ArchiveValue {
    Ambient,      // °C, temperature window mean
    Thermopile,   // °C
    Sky,          // °C, measured sky
    AmbMinusSky,  // °C
    Humidity,     // %
    DewPoint,     // °C
    Rain,         // board counts, this record
    RainMean,     // board counts, window mean
    Brightness,   // board counts, lower is brighter
    Wind,         // station wind units (reported as mph)
    WindAverage,  // station wind units
    Gust,         // station wind units
};
inline constexpr int kArchiveValueCount = 12;

struct ArchiveValueInfo {
    const char *column; // SQL column and JSON key
    const char *label;  // CSV heading, without the unit
    const char *unit;   // "°C", "%", "counts", "mph"
    int scale;          // stored as a whole number of 1/scale units
};
const ArchiveValueInfo &archiveValueInfo(ArchiveValue v);
inline ArchiveValue archiveValueAt(int i) { return static_cast<ArchiveValue>(i); }

using ArchiveValues = std::array<double, kArchiveValueCount>; // NaN: not measured

struct ArchivedObservation {
    QDateTime utc;
    ArchiveValues values{}; // NaN where the board gave no reading (humidity marker, processing off)
    SkyClass sky = SkyClass::Clear;
    bool raining = false;
    bool cloudy = false;
    bool daylight = false;
    bool windy = false;
    int heater = 0;
    int relay = 0;
    BoardState board = BoardState::Live;
    std::optional<bool> safe; // empty while no monitor had judged
    QStringList unsafe;       // names of the conditions that made it unsafe

    double value(ArchiveValue v) const { return values[static_cast<int>(v)]; }
    bool has(ArchiveValue v) const { return !std::isnan(value(v)); }
};

// Mean, lowest and highest of each value over a span, and the share of the
// span's observations that were raining, cloudy, in daylight, windy or safe.
struct ArchiveSummary {
    QDateTime utc;    // start of the span
    int seconds = 60; // length of the span
    int count = 0;    // observations in it
    ArchiveValues mean{}, min{}, max{};
    double raining = 0, cloudy = 0, daylight = 0, windy = 0;
    double safe = NAN; // NaN: no verdict was known during the span
};

// "clear", "partly cloudy", "overcast"
QString skyClassName(SkyClass sky);

// A live observation as archived: a value the board did not give reads 0 with
// its flag (humidityMissing, temperaturesOn) saying so.
Observation toObservation(const ArchivedObservation &row);

struct BoardStatus;
struct SafetyVerdict;
// An observation as the archive keeps it: placeholders (temperature or wind
// processing off, the no-humidity marker, the gust before the first sample)
// become NaN.
ArchivedObservation archivedFrom(const Observation &o, BoardState board, const SafetyVerdict &safety);
