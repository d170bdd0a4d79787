#include "mqtt/mqtt_payloads.h"

#include "archive/history_text.h"
#include "core/settings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRegularExpression>
#include <cmath>

namespace {

QByteArray compact(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

// One topic level: no separators, no wildcards, no spaces.
QString topicLevel(const QString &text)
{
    static const QRegularExpression unfit(QStringLiteral("[^A-Za-z0-9_.-]"));
    QString level = text.trimmed();
    level.replace(unfit, QStringLiteral("_"));
    return level;
}

// Home Assistant's node and object ids take letters, digits, "_" and "-".
QString nodeId(const MqttOptions &o)
{
    static const QRegularExpression unfit(QStringLiteral("[^A-Za-z0-9_-]"));
    return QString(o.topicPrefix).replace(unfit, QStringLiteral("_"));
}

QByteArray valueText(const QJsonValue &v)
{
    if (v.isBool())
        return v.toBool() ? "true" : "false";
    if (v.isDouble())
        return QByteArray::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
    return v.toString().toUtf8();
}

QByteArray jsonText(const QJsonValue &v)
{
    if (v.isArray())
        return QJsonDocument(v.toArray()).toJson(QJsonDocument::Compact);
    if (v.isString()) {
        QByteArray text = "\"";
        for (const char c : v.toString().toUtf8()) {
            if (c == '"' || c == '\\')
                text += '\\';
            if (uchar(c) < 0x20)
                text += "\\u00" + QByteArray::number(uchar(c), 16).rightJustified(2, '0');
            else
                text += c;
        }
        return text + '"';
    }
    return v.isNull() ? QByteArray("null") : valueText(v);
}

// Keys of the observation that have topics of their own with a JSON payload,
// or that are no single value.
bool ownTopic(QLatin1String key)
{
    return key == QLatin1String("board") || key == QLatin1String("safety") || key == QLatin1String("unsafe")
           || key == QLatin1String("time");
}

struct Entity {
    const char *component; // "sensor" or "binary_sensor"
    const char *object;    // value key, also the last topic level
    const char *name;
    const char *deviceClass; // may be empty
    const char *unit;        // sensors; empty for none
};

const Entity kEntities[] = {
    {"sensor", "ambient_c", "Ambient temperature", "temperature", "°C"},
    {"sensor", "sky_c", "Sky temperature", "temperature", "°C"},
    {"sensor", "dew_point_c", "Dew point", "temperature", "°C"},
    {"sensor", "humidity_pct", "Humidity", "humidity", "%"},
    {"sensor", "wind_avg", "Wind", "wind_speed", "mph"},
    {"sensor", "gust", "Gust", "wind_speed", "mph"},
    {"sensor", "sky_minus_ambient_c", "Sky minus ambient", "", "°C"},
    {"sensor", "cloud_cover_pct", "Cloud cover", "", "%"},
    {"sensor", "brightness", "Sky brightness", "", "counts"},
    {"binary_sensor", "safety", "Unsafe", "safety", ""},
    {"binary_sensor", "raining", "Rain", "moisture", ""},
    {"binary_sensor", "board", "Board problem", "problem", ""},
};

} // namespace

QString defaultTopicPrefix(const QString &stationId, const QString &hostName)
{
    QString station = stationId.trimmed();
    if (station.isEmpty() || station == QLatin1String(kDefaultPwsName))
        station = hostName;
    station = topicLevel(station);
    return QStringLiteral("tarnwick/") + (station.isEmpty() ? QStringLiteral("station") : station);
}

MqttOptions mqttOptionsFrom(const Settings &s, const QString &hostName, QString &problem)
{
    MqttOptions o;
    o.host = s.MqttHost.trimmed();
    o.port = s.MqttPort;
    o.user = s.MqttUser;
    o.password = s.MqttPassword;
    o.topicPrefix = s.MqttTopicPrefix.trimmed();
    while (o.topicPrefix.endsWith(QLatin1Char('/')))
        o.topicPrefix.chop(1);
    if (o.topicPrefix.isEmpty())
        o.topicPrefix = defaultTopicPrefix(s.g_sPWS_name, hostName);
    o.tls = s.MqttTls;
    o.caFile = s.MqttCaFile.trimmed();
    o.retain = s.MqttRetain;
    o.discoveryPrefix = s.MqttDiscoveryPrefix.trimmed();
    o.keepAliveSeconds = s.MqttKeepAliveSeconds;
    o.staleAfterSeconds = staleLimitSeconds(s);

    const auto wildcard = [](const QString &t) { return t.contains(QLatin1Char('+')) || t.contains(QLatin1Char('#')); };
    if (o.host.isEmpty())
        problem = QStringLiteral("no broker host is set (Mqtt/Host)");
    else if (o.port < 1 || o.port > 65535)
        problem = QStringLiteral("the broker port %1 is not a port number from 1 to 65535 (Mqtt/Port)").arg(o.port);
    else if (o.keepAliveSeconds < 6 || o.keepAliveSeconds > 3600)
        problem = QStringLiteral("the keep-alive of %1 s is outside 6 to 3600 s (Mqtt/KeepAliveSeconds)").arg(o.keepAliveSeconds);
    else if (wildcard(o.topicPrefix) || o.topicPrefix.startsWith(QLatin1Char('/')))
        problem = QStringLiteral("the topic prefix \"%1\" holds a wildcard or starts with \"/\" (Mqtt/TopicPrefix)").arg(o.topicPrefix);
    else if (wildcard(o.discoveryPrefix))
        problem = QStringLiteral("the discovery prefix \"%1\" holds a wildcard (Mqtt/DiscoveryPrefix)").arg(o.discoveryPrefix);
    return o;
}

QString statusTopic(const MqttOptions &o)
{
    return o.topicPrefix + QStringLiteral("/status");
}

std::vector<MqttMessage> observationMessages(const MqttOptions &o, const WatchStatus &status, const Observation &obs)
{
    // Written straight from the fields rather than through a QJsonObject:
    // this runs on every record, and a document costs more than the sending.
    static const QByteArray unitsText = [] {
        QJsonObject units = archiveUnits();
        units.insert(QStringLiteral("sky_minus_ambient_c"), QStringLiteral("°C"));
        const QuantityInfo &cover = quantityInfo(Quantity::CloudCover);
        units.insert(QLatin1String(cover.key), QString::fromUtf8(cover.unit));
        return compact(units);
    }();
    const QByteArray levelPrefix = o.topicPrefix.toUtf8() + '/';
    std::vector<MqttMessage> out;
    out.reserve(24);
    out.push_back({levelPrefix + "observation", QByteArray(), o.retain});
    QByteArray json;
    json.reserve(1024);
    json += '{';
    const auto add = [&](QLatin1String key, const QJsonValue &v) {
        const QByteArray text = jsonText(v);
        json.append('"').append(key.data(), key.size()).append("\":").append(text).append(',');
        // A value not measured (null) is left out rather than sent as a reading.
        if (ownTopic(key) || v.isNull())
            return;
        QByteArray topic;
        topic.reserve(levelPrefix.size() + key.size());
        topic.append(levelPrefix).append(key.data(), key.size());
        out.push_back({std::move(topic), v.isString() ? v.toString().toUtf8() : text, o.retain});
    };
    forEachObservationField(archivedFrom(obs, status.board.state, status.safety), add);
    const Readings &r = obs.readings;
    if (const std::optional<double> d = r[Quantity::AmbMinusSky])
        add(QLatin1String("sky_minus_ambient_c"), jsonNumber(-*d));
    if (const std::optional<double> cover = r[Quantity::CloudCover])
        add(QLatin1String(quantityInfo(Quantity::CloudCover).key), jsonNumber(*cover));
    json.append("\"units\":").append(unitsText).append('}');
    out.front().payload = std::move(json);
    return out;
}

MqttMessage safetyMessage(const MqttOptions &o, const SafetyVerdict &verdict)
{
    QJsonArray reasons;
    for (const UnsafeCondition &c : verdict.unsafe)
        reasons.append(QJsonObject{{QStringLiteral("name"), c.name},
                                   {QStringLiteral("text"), c.text},
                                   {QStringLiteral("since"), c.since.isValid() ? QJsonValue(isoUtc(c.since)) : QJsonValue()}});
    if (!verdict.known)
        reasons.append(QJsonObject{{QStringLiteral("name"), QStringLiteral("unknown")},
                                   {QStringLiteral("text"), QStringLiteral("No safety verdict yet")}});
    const bool safe = verdict.known && verdict.safe;
    QJsonObject json{{QStringLiteral("state"), safe ? QStringLiteral("safe") : QStringLiteral("unsafe")},
                     {QStringLiteral("reasons"), reasons}};
    if (verdict.changed.isValid())
        json.insert(QStringLiteral("changed"), isoUtc(verdict.changed));
    return {(o.topicPrefix + QStringLiteral("/safety")).toUtf8(), compact(json), true, 1};
}

MqttMessage boardMessage(const MqttOptions &o, const BoardStatus &board, const QString &notLive)
{
    QJsonObject json{{QStringLiteral("state"), boardStateName(board.state)},
                     {QStringLiteral("problem"), !notLive.isEmpty()},
                     {QStringLiteral("why"), notLive},
                     {QStringLiteral("device"), board.device},
                     {QStringLiteral("reason"), board.reason}};
    if (board.since.isValid())
        json.insert(QStringLiteral("since"), isoUtc(board.since));
    if (board.lastRecord.isValid())
        json.insert(QStringLiteral("last_record"), isoUtc(board.lastRecord));
    return {(o.topicPrefix + QStringLiteral("/board")).toUtf8(), compact(json), true, 1};
}

std::vector<MqttMessage> discoveryMessages(const MqttOptions &o, const QString &version)
{
    std::vector<MqttMessage> out;
    if (o.discoveryPrefix.isEmpty())
        return out;
    const QString node = nodeId(o);
    const QJsonObject device{{QStringLiteral("identifiers"), QJsonArray{node}},
                             {QStringLiteral("name"), QStringLiteral("Tarnwick ") + o.topicPrefix.section(QLatin1Char('/'), -1)},
                             {QStringLiteral("model"), QStringLiteral("Tarnwick weather watch")},
                             {QStringLiteral("sw_version"), version}};
    for (const Entity &e : kEntities) {
        const QString object = QString::fromLatin1(e.object);
        QJsonObject c{{QStringLiteral("name"), QString::fromUtf8(e.name)},
                      {QStringLiteral("unique_id"), node + QLatin1Char('_') + object},
                      {QStringLiteral("state_topic"), o.topicPrefix + QLatin1Char('/') + object},
                      {QStringLiteral("availability_topic"), statusTopic(o)},
                      {QStringLiteral("payload_available"), QStringLiteral("online")},
                      {QStringLiteral("payload_not_available"), QStringLiteral("offline")},
                      {QStringLiteral("expire_after"), 2 * o.staleAfterSeconds},
                      {QStringLiteral("device"), device}};
        if (*e.deviceClass)
            c.insert(QStringLiteral("device_class"), QString::fromLatin1(e.deviceClass));
        if (*e.unit) {
            c.insert(QStringLiteral("unit_of_measurement"), QString::fromUtf8(e.unit));
            c.insert(QStringLiteral("state_class"), QStringLiteral("measurement"));
        }
        if (object == QLatin1String("safety")) {
            c.insert(QStringLiteral("value_template"), QStringLiteral("{{ value_json.state }}"));
            c.insert(QStringLiteral("payload_on"), QStringLiteral("unsafe"));
            c.insert(QStringLiteral("payload_off"), QStringLiteral("safe"));
        } else if (object == QLatin1String("board")) {
            c.insert(QStringLiteral("value_template"), QStringLiteral("{{ 'ON' if value_json.problem else 'OFF' }}"));
        } else if (object == QLatin1String("raining")) {
            c.insert(QStringLiteral("payload_on"), QStringLiteral("true"));
            c.insert(QStringLiteral("payload_off"), QStringLiteral("false"));
        }
        out.push_back({(o.discoveryPrefix + QLatin1Char('/') + QString::fromLatin1(e.component) + QLatin1Char('/') + node
                        + QLatin1Char('/') + object + QStringLiteral("/config")).toUtf8(),
                       compact(c), true, 1});
    }
    return out;
}
