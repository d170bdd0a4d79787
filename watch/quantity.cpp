#include "watch/quantity.h"
#include "watch/readings.h"

#include <algorithm>

namespace {
constexpr std::array<QuantityInfo, kQuantityCount> kQuantities{{
    {Quantity::Ambient, "ambient_c", "ambient", "°C", 1, 100},
    {Quantity::Thermopile, "thermopile_c", "thermopile", "°C", 1, 100},
    {Quantity::Sky, "sky_c", "sky", "°C", 1, 100},
    {Quantity::AmbMinusSky, "amb_minus_sky_c", "ambient - sky", "°C", 1, 100},
    {Quantity::Humidity, "humidity_pct", "humidity", "%", 0, 100},
    {Quantity::DewPoint, "dew_point_c", "dew point", "°C", 1, 100},
    {Quantity::Rain, "rain", "rain", "counts", 0, 1},
    {Quantity::RainMean, "rain_mean", "rain average", "counts", 1, 100},
    {Quantity::Brightness, "brightness", "sky brightness", "counts", 0, 1},
    {Quantity::Wind, "wind", "wind", "mph", 1, 100},
    {Quantity::WindAverage, "wind_avg", "wind average", "mph", 1, 100},
    {Quantity::Gust, "gust", "gust", "mph", 1, 100},
    {Quantity::CloudCover, "cloud_cover_pct", "cloud cover", "%", 0, 100},
}};

// The enum and the table must agree row by row.
constexpr bool inOrder()
{
    for (int i = 0; i < kQuantityCount; ++i)
        if (static_cast<int>(kQuantities[i].quantity) != i)
            return false;
    return true;
}
static_assert(inOrder(), "the quantity table is in enum order");
} // namespace

const QuantityInfo &quantityInfo(Quantity q)
{
    return kQuantities[static_cast<size_t>(q)];
}

std::span<const QuantityInfo, kQuantityCount> quantities()
{
    return kQuantities;
}

std::span<const QuantityInfo, kStoredQuantityCount> storedQuantities()
{
    return std::span<const QuantityInfo, kQuantityCount>(kQuantities).first<kStoredQuantityCount>();
}

bool Readings::empty() const
{
    return !sky && std::none_of(m_values.begin(), m_values.end(), [](const auto &v) { return v.has_value(); });
}

QString skyClassName(SkyClass sky)
{
    switch (sky) {
    case SkyClass::Clear:
        return QStringLiteral("clear");
    case SkyClass::PartlyCloudy:
        return QStringLiteral("partly cloudy");
    case SkyClass::Overcast:
        return QStringLiteral("overcast");
    }
    return QString();
}
