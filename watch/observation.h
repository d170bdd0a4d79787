// One processed station record as a typed value: what every consumer of the
// weather (devices for clients, the archive, the web page, feeds) reads,
// instead of the hand box's texts.
#pragma once

#include "watch/readings.h"

#include <QDateTime>
#include <functional>

enum class ObservationSource {
    Live,        // a record the board just sent
    Reprocessed, // the last good record processed again after a failed poll
    TestRecord,  // the built-in test record: no board is connected
    Stale        // the last good record processed again while no record has
                 // been accepted for StaleAfterSeconds (board silent or lost)
};

// Texts as the hand box shows them, where a reader needs the exact shown text
// (the diagnostic log writes these, not the full-precision values).
struct ShownTexts {
    QString humidity;      // "RH"
    QString measuredSky;   // "LabelClouds"
    QString calculatedSky; // "LabelCloudsNarrow"
    QString skyDifference; // "Cloud_Sky"
    QString rawSky;        // "Raw_TP"
    QString rawHumidity;   // "Raw_RH"
    QString brightness;    // "Label_SkyBright"
};

// The board's switch flags as its first record gave them.
struct BoardStartFlags {
    int heaterAllowed = 0;
    int heaterOn = 0;
    int relayAllowed = 0;
    int relayOn = 0;
    int lightAllowed = 0;
    int windAllowed = 0;
};

// What a record's observation adds for the readers that report periodically.
struct ObservationExtras {
    ShownTexts shown;
    BoardStartFlags start;
    // This record completed every fifth wind window: the log line and the
    // weather service's report are due.
    bool reportDue = false;
};

struct Observation {
    QDateTime utc;
    ObservationSource source = ObservationSource::Live;

    // What goes out as readings: every output formats these and nothing else.
    Readings readings;

    // The station's own values as it holds them, placeholders included (-99
    // while temperature processing is off, a humidity past 100 on humid
    // nights, the gust's -10 before its first sample): for the hand box's
    // mirror, its graphs and the diagnostic log line, which show what the
    // station holds. Not readings: outputs take `readings`.
    double ambientC = 0;       // temperature window mean
    double thermopileC = 0;    // temperature window mean
    double skyC = 0;           // measured sky temperature, as shown
    double ambientMinusSkyC = 0;
    double humidityPercent = 0; // as computed; may pass 100 on humid nights
    double dewPointC = 0;

    int rainReading = 0;       // this record's rain count
    double rainMean = 0;       // temperature window mean of the rain count
    int skyBrightness = 0;     // board counts, lower is brighter

    // Wind in the station's units. windAverage is the last completed window's
    // mean (0 before the first); windGust starts at -10 before the first sample.
    bool windOn = true;        // wind processing is on
    double windCurrent = 0;
    double windAverage = 0;
    double windGust = 0;

    SkyClass sky = SkyClass::Clear;
    bool raining = false;
    bool cloudy = false;
    bool daylight = false;
    bool windy = false;        // as of the last completed wind window

    int heater = 0;            // board digits: 1 on, 2 undetermined, other off
    int relay = 0;

    ObservationExtras extras;
};

using ObservationSink = std::function<void(const Observation &)>;
