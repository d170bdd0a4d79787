#include "mqtt/mqtt_publisher.h"

#include "watch/board_words.h"

#include <algorithm>
#include <climits>
#include <limits>

MqttPublisher::MqttPublisher(const MqttOptions &options, WatchFeed &watch, QString version, Report report)
    : m_options(options),
      m_watch(watch),
      m_version(std::move(version)),
      m_report(std::move(report)),
      m_client(options, {statusTopic(options).toUtf8(), "offline", true, 1})
{
    // The client and the timer go with this object to another thread.
    m_client.setParent(this);
    m_stateRefresh.setParent(this);
    connect(&m_client, &MqttClient::connected, this, &MqttPublisher::onConnected);
    connect(&m_client, &MqttClient::problem, this, [this](const QString &text) {
        if (m_reportedSinceConnect)
            return;
        m_reportedSinceConnect = true;
        m_report(QStringLiteral("MQTT: %1; trying again in the background").arg(text));
    });
    connect(&m_client, &MqttClient::messageReceived, this, [this](const QString &topic, const QByteArray &payload) {
        // Home Assistant came (back) up: it wants the configs again.
        if (topic == m_options.discoveryPrefix + QStringLiteral("/status") && payload.trimmed() == "online")
            onHomeAssistantOnline();
    });
    m_rediscovery.setParent(this);
    m_rediscovery.setSingleShot(true);
    connect(&m_rediscovery, &QTimer::timeout, this, [this] {
        publishDiscovery();
        publishState();
    });
    m_stateRefresh.setInterval(m_options.staleAfterSeconds * 1000);
    connect(&m_stateRefresh, &QTimer::timeout, this, &MqttPublisher::publishState);
    m_listening = m_watch.listen([this](const WatchStatus &, WatchFeed::Change change) { onWatch(change); });
}

MqttPublisher::~MqttPublisher()
{
    // Restarted from the setup dialog, a publisher goes long before the feed.
    m_watch.unlisten(m_listening);
    m_client.finish({statusTopic(m_options).toUtf8(), "offline", true, 1}, 1000);
}

bool MqttPublisher::start()
{
    if (!m_options.discoveryPrefix.isEmpty())
        m_client.subscribe(m_options.discoveryPrefix + QStringLiteral("/status"));
    if (m_client.start())
        return true;
    m_report(QStringLiteral("MQTT is not started: %1").arg(m_client.setupError()));
    return false;
}

QString MqttPublisher::notLiveNow() const
{
    return notLiveReason(m_watch.status(), QDateTime::currentDateTimeUtc(), m_options.staleAfterSeconds);
}

void MqttPublisher::onWatch(WatchFeed::Change change)
{
    if (!m_client.isConnected())
        return;
    const WatchStatus &status = m_watch.status();
    if (change != WatchFeed::Change::Observation) {
        publishState();
        return;
    }
    // Only a record of now goes out; the board's topic says why nothing does.
    // A record with no readings (test record, stale, board not live) sends none.
    const Observation &o = *status.latest;
    if (o.readings.empty() || !currentObservation(status, QDateTime::currentDateTimeUtc(), m_options.staleAfterSeconds))
        return;
    std::vector<MqttMessage> messages = observationMessages(m_options, status, o);
    const bool all = !m_sinceAllValues.isValid() || m_sinceAllValues.hasExpired(m_options.staleAfterSeconds * 1000LL);
    if (all)
        m_sinceAllValues.start();
    // The first is the whole record; the values follow.
    const auto unchanged = std::remove_if(messages.begin() + 1, messages.end(), [&](const MqttMessage &m) {
        QByteArray &last = m_lastValues[m.topic];
        if (!all && last == m.payload)
            return true;
        last = m.payload;
        return false;
    });
    messages.erase(unchanged, messages.end());
    m_client.publishAll(messages);
}

void MqttPublisher::onConnected()
{
    m_reportedSinceConnect = false;
    m_sinceAllValues.invalidate(); // the broker may have lost them
    m_client.publish({statusTopic(m_options).toUtf8(), "online", true, 1});
    publishDiscovery();
    publishState();
    m_stateRefresh.start();
}

void MqttPublisher::publishState()
{
    const WatchStatus &status = m_watch.status();
    m_client.publishAll({boardMessage(m_options, status.board, notLiveNow()), safetyMessage(m_options, status.safety)});
}

void MqttPublisher::onHomeAssistantOnline()
{
    if (m_rediscovery.isActive())
        return;
    const qint64 since = m_sinceDiscovery.isValid() ? m_sinceDiscovery.elapsed() : std::numeric_limits<qint64>::max();
    m_rediscovery.start(int(std::clamp<qint64>(qint64(m_options.rediscoverySeconds) * 1000 - since, 0, INT_MAX)));
}

void MqttPublisher::publishDiscovery()
{
    m_sinceDiscovery.start();
    m_client.publishAll(discoveryMessages(m_options, m_version));
}
