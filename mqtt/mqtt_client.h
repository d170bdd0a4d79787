// One link to an MQTT broker through libmosquitto, driven from the event loop:
// the broker's socket is watched by socket notifiers and the keep-alive by a
// timer, so nothing blocks and no thread spins. The host is looked up without
// blocking first; a lost or refused link is tried again after 1 s, 2 s, ...
// up to 60 s.
#pragma once

#include "mqtt/mqtt_payloads.h"

#include <QObject>
#include <QSocketNotifier>
#include <QStringList>
#include <QTimer>
#include <memory>
#include <thread>

struct mosquitto;
struct mosquitto_message;

class MqttClient : public QObject {
    Q_OBJECT
public:
    // will: sent by the broker for us when the link dies without a goodbye.
    MqttClient(const MqttOptions &options, MqttMessage will, QObject *parent = nullptr);
    ~MqttClient() override;

    // Starts connecting. False, with setupError() saying why, when the
    // settings cannot be used at all (a CA file that cannot be read).
    bool start();
    QString setupError() const { return m_setupError; }
    bool isConnected() const { return m_connected; }
    // Seconds before the next try after a failure (1 to 60).
    int backoffSeconds() const { return m_backoff; }
    // Subscribed on every connect.
    void subscribe(const QString &topic);
    // Sends at once while connected; false (and nothing queued) otherwise.
    bool publish(const MqttMessage &m);
    // Sends them as one burst: the kernel puts them in as few segments as it can.
    void publishAll(const std::vector<MqttMessage> &messages);
    // Sends last, says goodbye and waits at most timeoutMs for it to leave.
    void finish(const MqttMessage &last, int timeoutMs);

signals:
    void connected();
    void messageReceived(const QString &topic, const QByteArray &payload);
    // A try failed or the link was lost; the next try follows by itself.
    void problem(const QString &text);

private:
    static void onConnectCallback(mosquitto *, void *self, int rc);
    static void onDisconnectCallback(mosquitto *, void *self, int rc);
    static void onMessageCallback(mosquitto *, void *self, const mosquitto_message *m);

    int send(const MqttMessage &m); // libmosquitto's result
    void attempt();
    void connectTo(const QString &address);
    void connectStarted(int rc, int savedErrno);
    void watchSocket();
    void service(int rc);
    void updateWriteWatch();
    void onWritable();
    void dropLink(const QString &why);
    void retryLater();

    MqttOptions m_options;
    MqttMessage m_will;
    mosquitto *m_mosq = nullptr;
    std::unique_ptr<QSocketNotifier> m_readWatch;
    std::unique_ptr<QSocketNotifier> m_writeWatch;
    QTimer m_misc;
    QTimer m_retry;
    QTimer m_connectDeadline; // a broker that never answers the connect
    QTimer m_handshakePace;   // paces the write watch until the broker answered
    std::thread m_connector; // a TLS connect by name: libmosquitto looks the name up itself
    QStringList m_subscriptions;
    QString m_setupError;
    bool m_connected = false;
    bool m_finishing = false;
    bool m_closedEarly = false;        // the other side closed the connection before answering
    bool m_refused = false;            // the broker answered the connect with a refusal
    int m_backoff = 1;
};
