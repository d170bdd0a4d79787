// An observation with the values a report reads, as the station would publish it.
#pragma once

#include "watch/observation.h"
#include "observation_fixture.h"
#include "app/program.h"
#include "upload/upload_form.h"

inline Observation observationFor(double ambientC, double wind, double gust, double humidity, double skyC)
{
    Observation o;
    o.utc = QDateTime::currentDateTimeUtc();
    o.ambientC = ambientC;
    o.windAverage = wind;
    o.windGust = gust;
    o.humidityPercent = humidity;
    o.skyC = skyC;
    return withReadings(o);
}

// The form over the program's settings, saving to its profile, as start-up makes it.
inline SettingSaver profileSaver()
{
    return [](const QString &key) { return saveSettingNow(key); };
}
