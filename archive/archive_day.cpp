#include "archive/archive_day.h"

#include <cmath>

DayExtreme dayExtreme(std::span<const ArchiveSummary> minutes, ArchiveValue value)
{
    DayExtreme e;
    const size_t i = size_t(value);
    for (const ArchiveSummary &m : minutes) {
        if (!std::isnan(m.max[i]) && (std::isnan(e.high) || m.max[i] > e.high)) {
            e.high = m.max[i];
            e.highAt = m.utc;
        }
        if (!std::isnan(m.min[i]) && (std::isnan(e.low) || m.min[i] < e.low)) {
            e.low = m.min[i];
            e.lowAt = m.utc;
        }
    }
    return e;
}

double changePerHour(std::span<const ArchiveSummary> minutes, const MinuteValue &value)
{
    // Hours from the first minute keep the sums small and exact enough.
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0, first = NAN, last = NAN;
    for (const ArchiveSummary &m : minutes) {
        const double y = value(m);
        if (std::isnan(y))
            continue;
        const double x = m.utc.toSecsSinceEpoch() / 3600.0;
        if (std::isnan(first))
            first = x;
        last = x;
        const double dx = x - first;
        n += 1;
        sx += dx;
        sy += y;
        sxx += dx * dx;
        sxy += dx * y;
    }
    const double spread = n * sxx - sx * sx;
    if (n < 10 || last - first < 10.0 / 60 || spread <= 0)
        return NAN;
    return (n * sxy - sx * sy) / spread;
}
