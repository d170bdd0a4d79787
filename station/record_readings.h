// Which of a processed record's values are readings: the one rule that every
// output relies on, applied once per record by the station cycle.
#pragma once

#include "watch/observation.h"

// What the station knows about the record beside its values.
struct ReadingState {
    bool boardDelivers = false;      // the board is live or simulated
    bool skyMeasured = false;        // temperature processing is on
    bool temperaturesFilled = false; // ...and its window has filled since
    bool humidityMarker = false;     // the board sent its no-humidity marker
    bool windAveraged = false;       // a wind window completed since the readings began
};

// The record's readings: none from the test record, a stale record or a board
// that does not deliver; humidity held to 0..100 and the dew point to the air
// temperature; cloud cover from Amb - Sky between the cloudy thresholds.
Readings recordReadings(const Observation &o, const ReadingState &state, int partCloudyDegC, int fullCloudyDegC);
