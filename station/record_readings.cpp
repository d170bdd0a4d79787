#include "station/record_readings.h"

#include "watch/cloud_cover.h"

#include <algorithm>

Readings recordReadings(const Observation &o, const ReadingState &state, int partCloudyDegC, int fullCloudyDegC)
{
    Readings r;
    // Only a record the board just sent, or one recent enough to stand for
    // it, from a board that delivers readings, holds any.
    const bool recent = o.source == ObservationSource::Live || o.source == ObservationSource::Reprocessed;
    if (!recent || !state.boardDelivers)
        return r;
    r.set(Quantity::Rain, o.rainReading);
    r.set(Quantity::Brightness, o.skyBrightness);
    if (state.skyMeasured)
        r.set(Quantity::Sky, o.skyC);
    const bool temperatures = state.skyMeasured && state.temperaturesFilled;
    if (temperatures) {
        r.set(Quantity::Ambient, o.ambientC);
        r.set(Quantity::Thermopile, o.thermopileC);
        r.set(Quantity::AmbMinusSky, o.ambientMinusSkyC);
        r.set(Quantity::RainMean, o.rainMean);
        r.set(Quantity::CloudCover, cloudCoverPercent(o.ambientMinusSkyC, partCloudyDegC, fullCloudyDegC));
        r.sky = o.sky;
    }
    if (temperatures && !state.humidityMarker) {
        // The station's formulas run past saturation on humid nights; no reading does.
        r.set(Quantity::Humidity, std::clamp(o.humidityPercent, 0.0, 100.0));
        r.set(Quantity::DewPoint, std::min(o.dewPointC, o.ambientC));
    }
    if (o.windOn) {
        r.set(Quantity::Wind, o.windCurrent);
        if (state.windAveraged)
            r.set(Quantity::WindAverage, o.windAverage);
        if (o.windGust >= 0) // below zero until the first sample
            r.set(Quantity::Gust, o.windGust);
    }
    return r;
}
