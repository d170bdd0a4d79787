// What one record gave as readings: a value per quantity, empty whenever the
// station holds no reading of it (processing off, the board's no-humidity
// marker, no gust yet, wind off, the test record, a board not live or a record
// gone stale). Filled once, by the station; outputs only format it.
#pragma once

#include "watch/quantity.h"

#include <QString>

// The sky's class from Amb - Sky and the cloudy thresholds.
enum class SkyClass { Clear, PartlyCloudy, Overcast };

// "clear", "partly cloudy", "overcast"
QString skyClassName(SkyClass sky);

class Readings {
public:
    std::optional<double> operator[](Quantity q) const { return m_values[static_cast<size_t>(q)]; }
    bool has(Quantity q) const { return m_values[static_cast<size_t>(q)].has_value(); }
    // The value, or fallback when there is none.
    double valueOr(Quantity q, double fallback) const { return (*this)[q].value_or(fallback); }
    void set(Quantity q, std::optional<double> value) { m_values[static_cast<size_t>(q)] = value; }
    bool empty() const;

    std::optional<SkyClass> sky;

    friend bool operator==(const Readings &, const Readings &) = default;

private:
    std::array<std::optional<double>, kQuantityCount> m_values{};
};
