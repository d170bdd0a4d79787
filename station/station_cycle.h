// One station cycle per tick of the main timer: the command step and the poll,
// then the record's processing in its fixed order (rain, heater, relay, raw
// sky and humidity, temperature window with humidity and dew point, sky
// brightness, sky values and cloud class, wind). A failure is absorbed once per
// cycle by processing the last good record again; a second one ends the cycle.
#pragma once

#include "core/hand_box_fields.h"
#include "station/sample_window.h"

class StationLink;
class HandBoxApi;

class StationCycle {
public:
    explicit StationCycle(StationLink &link);

    // The main timer's tick. Does nothing while the port is in use (a search,
    // or an earlier cycle waiting between characters).
    void run();

    // The record processing alone, on StationRecord; throws on a failure.
    void processRecord();

    // After the setup dialog: both windows start again at slot 1.
    void restartWindows();

    // Brings the window sizes into 1..300, with one message per size changed.
    static void limitWindowSizes();

private:
    HandBoxApi &handBox();
    void temperatureStep(const QString &record);
    void humidityAndDewPoint();
    void skyValues();
    void windStep(const QString &record);

    StationLink &m_link;
    HandBoxFields m_detachedFields; // stands in while no hand box window exists
    SampleWindow m_thermopile;
    SampleWindow m_ambient;
    SampleWindow m_rain;
    SampleWindow m_wind;
    double m_skyDifference = 0;
};
