// Weather conditions and indicator rules: plain decisions from readings and
// thresholds; the cycle turns them into hand box colours and alerts.
#pragma once

#include "watch/observation.h"

#include <QString>
#include <cstdint>

bool isRaining(int rainReading, int rainThreshold);
// Cloudy for the alert: the difference is at or below the partly-cloudy level.
bool isCloudy(double difference, int partCloudy);
// Lower brightness counts are brighter.
bool isDaylight(int brightness, int lightThreshold);
// The window mean compared in board counts. A step time of 0 makes every
// wind sample 0, so there is no wind to report.
bool isWindy(double windMean, double stepTime, int windThreshold);

// Later rules override earlier ones: overcast at or below full, clear at or
// above partly, partly in between.
SkyClass skyClass(double difference, int partCloudy, int fullCloudy);
uint32_t skyColor(SkyClass c);

// Heater and relay digits from the board: 1 on, 2 undetermined, other off.
struct Indicator {
    uint32_t backColor;
    QString caption;
};
Indicator switchIndicator(int status);
