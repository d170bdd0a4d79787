// observingconditions/0: the station's weather in the standard units, read
// from the watch feed. Values exist only while the board delivers fresh
// readings; each sensor remembers when it last had a real one.
#pragma once

#include "alpaca/alpaca_device.h"
#include "alpaca/devices/observing_values.h"
#include "watch/watch_status.h"

#include <functional>
#include <map>
#include <memory>

class ObservingConditionsDevice : public AlpacaDevice {
public:
    // StaleAfterSeconds as in force, asked at each reading.
    using StaleLimit = std::function<int()>;
    // clock gives UTC.
    ObservingConditionsDevice(WatchFeed &feed, StaleLimit staleAfterSeconds, const QString &uniqueId, Clock clock = {});
    ~ObservingConditionsDevice() override;

private:
    QJsonArray operationalState() override;
    // The reading now, or AlpacaError (1024 unmeasured, 1035 none yet or the board not live).
    double reading(Sensor sensor) const;
    std::optional<double> readingIfLive(Sensor sensor) const;
    double secondsSinceUpdate(const QString &name) const;
    const SensorInfo &sensorNamed(const QString &name) const;
    void remember(const WatchStatus &status);

    WatchFeed &m_feed;
    StaleLimit m_staleAfterSeconds;
    std::map<Sensor, QDateTime> m_updated;
    QDateTime m_lastLive;
    WatchFeed::ListenerId m_listening = 0;
};
