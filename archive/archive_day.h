// What a day of minute rows tells at a glance: each value's highest and
// lowest with the minute they came in, and how fast a value changes.
#pragma once

#include "archive/archived_observation.h"

#include <functional>
#include <span>
#include <vector>

struct DayExtreme {
    double high = NAN, low = NAN; // NaN: no minute measured it
    QDateTime highAt, lowAt;      // start of the minute (UTC)
};
// The highest of the minutes' maxima and the lowest of their minima; the
// earliest minute wins a tie.
DayExtreme dayExtreme(std::span<const ArchiveSummary> minutes, ArchiveValue value);

using MinuteValue = std::function<double(const ArchiveSummary &)>;
// Change per hour: the least-squares slope of the minute values (NaN skipped).
// NaN with fewer than ten minutes or when they span less than ten minutes.
double changePerHour(std::span<const ArchiveSummary> minutes, const MinuteValue &value);
