// What goes on the broker, as topics and payloads: pure functions of the
// watch, so the link to the broker only carries them.
#pragma once

#include "watch/watch_status.h"

#include <QByteArray>
#include <QString>
#include <vector>

struct Settings;

struct MqttMessage {
    QByteArray topic; // UTF-8
    QByteArray payload;
    bool retain = false;
    // 1 where a lost message would leave subscribers wrong until the next
    // change (status, safety, board, discovery). Readings replaced every cycle
    // go with 0: the broker's acknowledgement of each would only cost a wake-up.
    int qos = 0;
};

// The settings the link uses, checked and with the prefix worked out.
struct MqttOptions {
    QString host;
    int port = 1883;
    QString user;
    QString password;
    QString topicPrefix;     // "tarnwick/KXXTOWN99", no trailing slash
    bool tls = false;
    QString caFile;          // empty with tls: the system's authorities
    bool retain = false;     // for observations and values
    QString discoveryPrefix; // empty: no Home Assistant discovery
    int keepAliveSeconds = 30;
    int staleAfterSeconds = 30;
    // Home Assistant's "online" announcements re-send the configs at most this often.
    int rediscoverySeconds = 60;
};

// "tarnwick/<station>": the upload's station ID, or the host name while that
// is still the placeholder; characters a topic level cannot hold become "_".
QString defaultTopicPrefix(const QString &stationId, const QString &hostName);

// The options from the settings; problem says, in one sentence, why they
// cannot be used (then the link is not started).
MqttOptions mqttOptionsFrom(const Settings &s, const QString &hostName, QString &problem);

// "<prefix>/status"
QString statusTopic(const MqttOptions &o);

// The observation as one JSON object on "<prefix>/observation" (the live
// page's values, their units, the cloud cover) and each value on its own
// topic; the object comes first.
std::vector<MqttMessage> observationMessages(const MqttOptions &o, const WatchStatus &status, const Observation &obs);

// "<prefix>/safety", retained: {"state":"safe"|"unsafe","reasons":[...]}.
// No verdict yet reads unsafe, with that as the reason.
MqttMessage safetyMessage(const MqttOptions &o, const SafetyVerdict &verdict);

// "<prefix>/board", retained: the board's state and, while its readings may
// not go out, why (notLive, empty when they may).
MqttMessage boardMessage(const MqttOptions &o, const BoardStatus &board, const QString &notLive);

// Retained Home Assistant configs under the discovery prefix, one per entity.
std::vector<MqttMessage> discoveryMessages(const MqttOptions &o, const QString &version);
