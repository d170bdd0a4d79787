// The one-line weather data file's line: the watch as space-separated fields
// for roof and automation programs that poll a file rather than a device.
// Pure: status, rain memory and clock in, text out.
#pragma once

#include "watch/watch_status.h"

#include <QDateTime>
#include <QString>

struct DataLineSettings {
    int staleLimitSeconds = 30; // freshness of the board's last record
    double veryWindyLimit = 17; // window average, station units (mph), for "very windy"
};

// Fields, in order: local date yyyy-mm-dd; local time hh:mm:ss.ss; "C"; "M"
// (the station's wind is in mph); sky minus ambient; ambient; sensor
// (thermopile) temperature; wind; humidity %; dew point; heater % (0 or 100);
// rain flag and wet flag (0 dry, 1 within the last minute, 2 now; one sensor
// gives both); age of the values in seconds (5 digits, 99999 when none);
// local time as days since 1899-12-30; cloud (0 unknown, 1 clear, 2 cloudy,
// 3 very cloudy), wind (0, 1 calm, 2 windy, 3 very windy), rain (0, 1 dry,
// 2 wet, 3 rain) and daylight (0, 1 dark, 2 light) conditions; roof-close
// flag; alert flag. Values are those of the last live observation. While the
// board is not live the conditions read 0 and both flags 1; the flags read 1
// whenever the safety verdict is not a known "safe".
// lastRainUtc: when the rain sensor last read rain (invalid: never).
QString weatherDataLine(const WatchStatus &status, const QDateTime &nowUtc, const QDateTime &lastRainUtc,
                        const DataLineSettings &settings);

// Days since 1899-12-30 00:00 of the local wall-clock time, with its fraction.
double daysSince1899(const QDateTime &local);
