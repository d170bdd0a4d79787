// The quantities the watch measures, and one table that says how each is
// named, in which unit and with how many decimals it is shown. Every output
// (the archive, the web page, MQTT, the devices for clients, the feeds,
// metrics) walks this table instead of keeping a list of its own.
#pragma once

#include <array>
#include <optional>
#include <span>

// In table order. The first kStoredQuantityCount are the archive's columns,
// in column order.
enum class Quantity {
    Ambient,     // °C, temperature window mean
    Thermopile,  // °C, temperature window mean
    Sky,         // °C, measured sky
    AmbMinusSky, // °C
    Humidity,    // %, 0 to 100
    DewPoint,    // °C
    Rain,        // board counts, this record
    RainMean,    // board counts, temperature window mean
    Brightness,  // board counts, lower is brighter
    Wind,        // station wind units (reported as mph)
    WindAverage, // station wind units, last completed wind window
    Gust,        // station wind units
    CloudCover,  // %, from Amb - Sky between the cloudy thresholds
};
inline constexpr int kQuantityCount = 13;
// Cloud cover follows from the stored sky difference and is not a column.
inline constexpr int kStoredQuantityCount = 12;

struct QuantityInfo {
    Quantity quantity;
    const char *key;   // JSON key, SQL column, MQTT topic and metric name: "ambient_c"
    const char *label; // for people and CSV headings, without the unit: "ambient"
    const char *unit;  // "°C", "%", "counts", "mph"
    int decimals;      // shown with this many decimals
    int scale;         // stored as a whole number of 1/scale units
};

const QuantityInfo &quantityInfo(Quantity q);
// Every quantity, in table order.
std::span<const QuantityInfo, kQuantityCount> quantities();
// The archive's columns: the table without cloud cover.
std::span<const QuantityInfo, kStoredQuantityCount> storedQuantities();
inline Quantity quantityAt(int i) { return static_cast<Quantity>(i); }
