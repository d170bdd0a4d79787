#include "windows/connection_checks.h"

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

QStringList mqttFieldProblems(const MqttFieldTexts &t)
{
    QStringList problems;
    if (!wholeInRange(t.port, 1, 65535))
        problems << QStringLiteral("MQTT port \"%1\": a whole number from 1 to 65535 is needed").arg(t.port.trimmed());
    if (!wholeInRange(t.keepAliveSeconds, 6, 3600))
        problems << QStringLiteral("MQTT keep-alive \"%1\": a whole number of seconds from 6 to 3600 is needed")
                        .arg(t.keepAliveSeconds.trimmed());
    // Wildcards are for subscribers: a topic published under them is refused by the broker.
    const auto wildcard = [](const QString &s) { return s.contains(QLatin1Char('+')) || s.contains(QLatin1Char('#')); };
    if (wildcard(t.topicPrefix))
        problems << QStringLiteral("MQTT topic prefix \"%1\": \"+\" and \"#\" are wildcards and cannot be part of a topic")
                        .arg(t.topicPrefix.trimmed());
    if (t.topicPrefix.trimmed().startsWith(QLatin1Char('/')))
        problems << QStringLiteral("MQTT topic prefix \"%1\": it cannot start with \"/\"").arg(t.topicPrefix.trimmed());
    if (wildcard(t.discoveryPrefix))
        problems << QStringLiteral("MQTT discovery prefix \"%1\": \"+\" and \"#\" are wildcards and cannot be part of a topic")
                        .arg(t.discoveryPrefix.trimmed());
    return problems;
}
