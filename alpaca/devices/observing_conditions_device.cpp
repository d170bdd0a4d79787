#include "alpaca/devices/observing_conditions_device.h"

#include "watch/watch_status.h"

namespace {
using V = AlpacaDevice::Value;
using P = AlpacaDevice::Param;
using Request = AlpacaDevice::Request;
} // namespace

ObservingConditionsDevice::ObservingConditionsDevice(WatchFeed &feed, StaleLimit staleAfterSeconds,
                                                     const QString &uniqueId, Clock clock)
    : AlpacaDevice(
          Identity{QStringLiteral("ObservingConditions"), QStringLiteral("Tarnwick weather"),
                   QStringLiteral("Tarnwick weather watch: cloud, rain, wind, temperature and humidity"),
                   QStringLiteral("Tarnwick observing conditions: the cloud and rain sensor board's readings in "
                                  "standard units"),
                   2, uniqueId},
          std::move(clock)),
      m_feed(feed), m_staleAfterSeconds(std::move(staleAfterSeconds))
{
    addCommonMembers();
    m_listening = m_feed.listen([this](const WatchStatus &status, WatchFeed::Change change) {
        if (change == WatchFeed::Change::Observation)
            remember(status);
    });
    remember(m_feed.status());

    std::vector<Member> members = {
        {"averageperiod", false, nullptr, P::None, V::Double, true, [](Request &) { return QJsonValue(0.0); }},
        {"averageperiod", true, "AveragePeriod", P::Double, V::None, true,
         [](Request &r) -> QJsonValue {
             if (r.number != 0)
                 throw AlpacaError(kAlpacaInvalidValue,
                                   QStringLiteral("AveragePeriod %1 is not available: readings are instantaneous (0 only)")
                                       .arg(r.text.left(40)));
             return QJsonValue();
         }},
        {"refresh", true, nullptr, P::None, V::None, true, [](Request &) { return QJsonValue(); }},
        {"sensordescription", false, "SensorName", P::Text, V::String, true,
         [this](Request &r) {
             const SensorInfo &s = sensorNamed(r.text);
             if (!s.source)
                 throw AlpacaError(kAlpacaNotImplemented, QStringLiteral("%1 is not measured").arg(QLatin1String(s.name)));
             return QJsonValue(QString::fromLatin1(s.source));
         }},
        {"timesincelastupdate", false, "SensorName", P::Text, V::Double, true,
         [this](Request &r) { return QJsonValue(secondsSinceUpdate(r.text)); }},
    };
    for (const SensorInfo &s : sensorTable()) {
        const Sensor sensor = s.sensor;
        members.push_back({QByteArray(s.name).toLower(), false, nullptr, P::None, V::Double, true,
                           [this, sensor](Request &) { return QJsonValue(reading(sensor)); }});
    }
    addMembers(std::move(members));
}

ObservingConditionsDevice::~ObservingConditionsDevice()
{
    m_feed.unlisten(m_listening);
}

void ObservingConditionsDevice::remember(const WatchStatus &status)
{
    if (!status.lastLive || status.lastLive->utc == m_lastLive)
        return;
    const Observation &o = *status.lastLive;
    m_lastLive = o.utc;
    for (const SensorInfo &s : sensorTable())
        if (s.source && sensorReading(s.sensor, o))
            m_updated[s.sensor] = o.utc;
}

std::optional<double> ObservingConditionsDevice::readingIfLive(Sensor sensor) const
{
    const Observation *current = currentObservation(m_feed.status(), now(), m_staleAfterSeconds());
    return current ? sensorReading(sensor, *current) : std::nullopt;
}

double ObservingConditionsDevice::reading(Sensor sensor) const
{
    const SensorInfo *info = nullptr;
    for (const SensorInfo &s : sensorTable())
        if (s.sensor == sensor)
            info = &s;
    if (!info->source)
        throw AlpacaError(kAlpacaNotImplemented, QStringLiteral("%1 is not measured").arg(QLatin1String(info->name)));
    if (const auto value = readingIfLive(sensor))
        return *value;
    const WatchStatus &status = m_feed.status();
    if (!deliversReadings(status.board.state))
        throw AlpacaError(kAlpacaInvalidOperation, QStringLiteral("%1 has no value: the board is %2")
                                                       .arg(QLatin1String(info->name), boardStateName(status.board.state)));
    throw AlpacaError(kAlpacaInvalidOperation,
                      QStringLiteral("%1 has no current reading").arg(QLatin1String(info->name)));
}

const SensorInfo &ObservingConditionsDevice::sensorNamed(const QString &name) const
{
    const SensorInfo *s = findSensor(name);
    if (!s)
        throw AlpacaError(kAlpacaInvalidValue, QStringLiteral("\"%1\" is not a sensor name").arg(name.left(40)));
    return *s;
}

double ObservingConditionsDevice::secondsSinceUpdate(const QString &name) const
{
    QDateTime last;
    if (name.isEmpty()) {
        for (const auto &[sensor, at] : m_updated)
            if (!last.isValid() || at > last)
                last = at;
    } else {
        const SensorInfo &s = sensorNamed(name);
        if (!s.source)
            throw AlpacaError(kAlpacaNotImplemented, QStringLiteral("%1 is not measured").arg(QLatin1String(s.name)));
        if (auto it = m_updated.find(s.sensor); it != m_updated.end())
            last = it->second;
    }
    if (!last.isValid())
        return -1;
    return double(last.msecsTo(now())) / 1000.0;
}

QJsonArray ObservingConditionsDevice::operationalState()
{
    QJsonArray items;
    for (const SensorInfo &s : sensorTable())
        if (s.source)
            if (const auto value = readingIfLive(s.sensor))
                items.append(stateItem(QString::fromLatin1(s.name), *value));
    return items;
}
