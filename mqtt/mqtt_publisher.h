// The watch on the broker: each live observation and its values, the safety
// verdict, the board's state, availability and Home Assistant discovery.
// Reads the watch feed only: safety is the verdict published there, freshness
// the one rule of notLiveReason.
#pragma once

#include "mqtt/mqtt_client.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QTimer>
#include <functional>

class MqttPublisher : public QObject {
    Q_OBJECT
public:
    // report: one line for the user, once per run of failures (after a
    // working link, the next failure is told again).
    using Report = std::function<void(const QString &)>;
    MqttPublisher(const MqttOptions &options, WatchFeed &watch, QString version, Report report);
    // Publishes "offline" and disconnects cleanly.
    ~MqttPublisher() override;

    // False, after reporting why, when the link cannot be set up at all.
    bool start();
    const MqttClient &client() const { return m_client; }

private:
    void onWatch(WatchFeed::Change change);
    void onConnected();
    void publishState();
    void publishDiscovery();
    void onHomeAssistantOnline();
    QString notLiveNow() const;

    MqttOptions m_options;
    WatchFeed &m_watch;
    WatchFeed::ListenerId m_listening = 0;
    QString m_version;
    Report m_report;
    MqttClient m_client;
    QTimer m_stateRefresh; // keeps board and safety within Home Assistant's expiry
    // A burst of announcements gets one re-send, at most one per rediscoverySeconds.
    QTimer m_rediscovery;
    QElapsedTimer m_sinceDiscovery;
    bool m_reportedSinceConnect = false;
    // A value's own topic gets a new message when the value changes, and
    // every one at least each StaleAfterSeconds (Home Assistant expires them).
    QHash<QByteArray, QByteArray> m_lastValues;
    QElapsedTimer m_sinceAllValues;
};
