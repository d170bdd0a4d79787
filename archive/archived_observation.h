// What the archive gives back: one stored observation, or one summary (a
// minute, or any span of whole seconds) of the observations in it.
#pragma once

#include "watch/board_state.h"
#include "watch/observation.h"
#include "watch/quantity.h"

#include <QDateTime>
#include <QJsonValue>
#include <QStringList>
#include <array>
#include <cmath>
#include <optional>

// The numeric values the archive keeps, in column order: the quantity table
// without cloud cover.
using ArchiveValue = Quantity;
inline constexpr int kArchiveValueCount = kStoredQuantityCount;
using ArchiveValueInfo = QuantityInfo;
inline const ArchiveValueInfo &archiveValueInfo(ArchiveValue v) { return quantityInfo(v); }
inline ArchiveValue archiveValueAt(int i) { return quantityAt(i); }

using ArchiveValues = std::array<double, kArchiveValueCount>; // NaN: not measured

struct ArchivedObservation {
    QDateTime utc;
    ArchiveValues values{}; // NaN where the board gave no reading (humidity marker, processing off)
    std::optional<SkyClass> sky; // empty: the sky was not measured
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

// The same, or a null value when the sky was not measured.
QJsonValue skyClassJson(const std::optional<SkyClass> &sky);

// A live observation as archived, for the graphs: its readings as stored, and
// the station's values from them (0 where the board gave no reading).
Observation toObservation(const ArchivedObservation &row);

struct BoardStatus;
struct SafetyVerdict;
// An observation as the archive keeps it: a quantity that is not a reading
// becomes NaN (stored as NULL).
ArchivedObservation archivedFrom(const Observation &o, BoardState board, const SafetyVerdict &safety);
