// One station cycle per tick of the main timer: the command step and the poll,
// then the record's processing in its fixed order (rain, heater, relay, raw
// sky and humidity, temperature window with humidity and dew point, sky
// brightness, sky values and cloud class, wind). A failure is absorbed once per
// cycle by processing the last good record again; a second one ends the cycle.
#pragma once

#include "watch/observation.h"
#include "station/sample_window.h"
#include "station/station_context.h"

class StationLink;
class HandBoxApi;

class StationCycle {
public:
    StationCycle(StationLink &link, const StationContext &context);

    // Receives one Observation at the end of every processed record.
    void addObserver(ObservationSink sink) { m_observers.push_back(std::move(sink)); }

    // The main timer's tick. Does nothing while the port is in use (a search,
    // or an earlier cycle waiting between characters).
    void run();
    // Called at the end of every tick that held the port, however it ended:
    // the watch's loop is alive (the service watchdog listens).
    void setCycleEnded(std::function<void()> ended) { m_cycleEnded = std::move(ended); }

    // The record the board search has just read, shown in the hand box and
    // handed to `show` at once instead of a tick later, but counted nowhere:
    // every window, count and report starts with the first tick's record.
    // Nothing happens when the search read none.
    void processSearchRecord(const ObservationSink &show);

    // The record processing alone, on StationRecord; throws on a failure.
    void processRecord(ObservationSource source = ObservationSource::Live);

    // After the setup dialog: both windows start again at slot 1.
    void restartWindows();

    // Brings the window sizes into 1..300, with one message per size changed.
    void limitWindowSizes();

    // What the record being processed gives as readings rather than the
    // station's placeholders (the fifth-window reports ask while it is).
    // Temperatures: processing on and its window filled since then.
    bool ambientIsReading() const { return m_ctx.weather.TempEnabled && m_temperaturesFilled; }
    bool skyIsReading() const { return m_ctx.weather.TempEnabled; }
    bool humidityIsReading() const { return ambientIsReading() && !m_humidityMissing; }

private:
    // Reprocessed while the last record is recent, else stale.
    ObservationSource reprocessedSource() const;
    // Completes the record's observation from the windows and hands it out.
    void publish(Observation &o);
    void temperatureStep(const QString &record);
    void humidityAndDewPoint();
    void skyValues();
    void windStep(const QString &record);

    StationLink &m_link;
    const StationContext &m_ctx; // outlives the link and the cycle
    std::vector<ObservationSink> m_observers;
    std::function<void()> m_cycleEnded;
    SampleWindow m_thermopile;
    SampleWindow m_ambient;
    SampleWindow m_rain;
    SampleWindow m_wind;
    double m_skyDifference = 0;
    double m_measuredSky = 0;
    double m_humidity = 0;
    double m_windCurrent = 0;
    double m_windAverage = 0;
    bool m_windy = false;
    bool m_windAveraged = false; // a wind window completed: its mean is a reading
    bool m_temperaturesFilled = false; // a temperature window completed on live records
    bool m_humidityMissing = false;    // the record in hand has the no-humidity marker
    bool m_lastLive = false;           // the previous record processed was a live one
    bool m_reportDue = false;          // this record completed every fifth wind window
};
