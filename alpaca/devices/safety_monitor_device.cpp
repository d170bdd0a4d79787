#include "alpaca/devices/safety_monitor_device.h"

#include "watch/watch_status.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {
struct EventKind {
    const char *name;
    const char *title;
    const char *type;
    const char *trigger;
};

// Types and triggers as the interface's safety events name them.
EventKind kindOf(const QString &name)
{
    static const EventKind kinds[] = {
        {"rain", "Rain", "RainRate", "AboveThreshold"},
        {"clouds", "Cloud cover", "CloudCover", "AboveThreshold"},
        {"wind", "Wind speed", "WindSpeed", "AboveThreshold"},
        {"daylight", "Daylight", "SkyBrightness", "AboveThreshold"},
        {"startup", "Wait after start", "Other", "Other"},
    };
    for (const EventKind &k : kinds)
        if (name == QLatin1String(k.name))
            return k;
    return {"board", "Weather board", "Other", "Other"};
}
} // namespace

SafetyMonitorDevice::SafetyMonitorDevice(const WatchFeed &feed, const QString &uniqueId, Clock clock)
    : AlpacaDevice(Identity{QStringLiteral("SafetyMonitor"), QStringLiteral("Tarnwick safety"),
                                    QStringLiteral("Tarnwick weather watch: safe when dry, clear, calm and dark"),
                                    QStringLiteral("Tarnwick safety monitor: unsafe at once on rain, cloud, wind, "
                                                   "daylight or stale data; safe after a settled delay"),
                                    3, uniqueId},
                           std::move(clock)),
      m_feed(feed)
{
    addCommonMembers();
    addMembers({{"issafe", false, nullptr, Param::None, Value::Bool, true,
                 [this](Request &) { return QJsonValue(isSafe()); }}});
}

bool SafetyMonitorDevice::isSafe() const
{
    const SafetyVerdict &v = m_feed.status().safety;
    return v.known && v.safe;
}

QJsonArray SafetyMonitorDevice::operationalState()
{
    if (!m_feed.status().safety.known)
        return {};
    return QJsonArray{stateItem(QStringLiteral("IsSafe"), isSafe())};
}

QString SafetyMonitorDevice::runAction(const QString &, const QString &)
{
    return safetyEventsJson(m_feed.status().safety);
}

QString SafetyMonitorDevice::safetyEventsJson(const SafetyVerdict &verdict)
{
    QJsonArray events;
    if (!verdict.known) {
        UnsafeCondition waiting{QStringLiteral("board"), QStringLiteral("The weather has not been judged yet"), {}};
        SafetyVerdict v;
        v.known = true;
        v.unsafe = {waiting};
        return safetyEventsJson(v);
    }
    for (const UnsafeCondition &c : verdict.unsafe) {
        const EventKind k = kindOf(c.name);
        QJsonObject e;
        e.insert(QStringLiteral("Source"), QStringLiteral("Tarnwick safety monitor"));
        e.insert(QStringLiteral("Name"), QString::fromLatin1(k.title));
        e.insert(QStringLiteral("Id"), QStringLiteral("tarnwick-") + c.name);
        e.insert(QStringLiteral("Type"), QString::fromLatin1(k.type));
        e.insert(QStringLiteral("Trigger"), QString::fromLatin1(k.trigger));
        e.insert(QStringLiteral("Description"), c.text);
        e.insert(QStringLiteral("EventTimeUtc"), c.since.isValid() ? alpacaTimeStamp(c.since) : QString());
        events.append(e);
    }
    return QString::fromUtf8(QJsonDocument(events).toJson(QJsonDocument::Compact));
}
