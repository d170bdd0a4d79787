#include "windows/connection_checks.h"

#include "core/setting_rules.h"

bool wholeInRange(const QString &text, int least, int most, int *value)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < least || v > most)
        return false;
    if (value)
        *value = v;
    return true;
}

// Whether the table's rules take the text; the sentences are the page's own.
QStringList mqttFieldProblems(const MqttFieldTexts &t)
{
    const auto refused = [](const char *key, const QString &text) { return !settingProblem(QLatin1String(key), text).isEmpty(); };
    QStringList problems;
    if (refused("Mqtt/Port", t.port.trimmed()))
        problems << QStringLiteral("MQTT port \"%1\": a whole number from 1 to 65535 is needed").arg(t.port.trimmed());
    if (refused("Mqtt/KeepAliveSeconds", t.keepAliveSeconds.trimmed()))
        problems << QStringLiteral("MQTT keep-alive \"%1\": a whole number of seconds from 6 to 3600 is needed")
                        .arg(t.keepAliveSeconds.trimmed());
    // Wildcards are for subscribers: a topic published under them is refused by the broker.
    const auto topicProblem = [](const QString &text) {
        return text.trimmed().startsWith(QLatin1Char('/'))
                   ? QStringLiteral("it cannot start with \"/\"")
                   : QStringLiteral("\"+\" and \"#\" are wildcards and cannot be part of a topic");
    };
    if (refused("Mqtt/TopicPrefix", t.topicPrefix))
        problems << QStringLiteral("MQTT topic prefix \"%1\": %2").arg(t.topicPrefix.trimmed(), topicProblem(t.topicPrefix));
    if (refused("Mqtt/DiscoveryPrefix", t.discoveryPrefix))
        problems << QStringLiteral("MQTT discovery prefix \"%1\": %2")
                        .arg(t.discoveryPrefix.trimmed(), topicProblem(t.discoveryPrefix));
    return problems;
}
