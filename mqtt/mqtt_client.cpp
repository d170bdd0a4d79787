#include "mqtt/mqtt_client.h"
#include "mqtt/mqtt_logging.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHostAddress>
#include <QHostInfo>
#include <QSslCertificate>
#include <cerrno>
#include <cstring>
#include <mosquitto.h>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

Q_LOGGING_CATEGORY(lcMqtt, "tarnwick.mqtt", QtInfoMsg)

namespace {
void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

QString errorText(int rc, int savedErrno)
{
    QString text = rc == MOSQ_ERR_ERRNO ? QString::fromLocal8Bit(std::strerror(savedErrno))
                                        : QString::fromUtf8(mosquitto_strerror(rc));
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

// A socket whose connect failed or that the broker closed, told apart from
// one still waiting for the broker's part of a handshake.
// closed: ended by the other side without an error of the connect itself
// (nobody listening reads as "Connection refused" instead).
bool socketDead(int fd, QString &why, bool &closed)
{
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error != 0) {
        closed = error == ECONNRESET;
        why = QString::fromLocal8Bit(std::strerror(error));
        return true;
    }
    char c;
    const ssize_t n = recv(fd, &c, 1, MSG_PEEK | MSG_DONTWAIT);
    closed = n == 0 || (n < 0 && errno == ECONNRESET);
    if (n == 0)
        why = QStringLiteral("the connection was refused or closed");
    else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
        why = QString::fromLocal8Bit(std::strerror(errno));
    return !why.isEmpty();
}

// The broker drops a client 1.5 keep-alives after its last packet and checks
// only about once a second; asking for three quarters of the setting keeps its
// "offline" well within 1.5 times the setting, also on a busy machine.
int brokerKeepAlive(const MqttOptions &o)
{
    return std::max(5, o.keepAliveSeconds * 3 / 4); // libmosquitto takes no less than 5 s
}

// libmosquitto's text for a refused connect, as part of our sentence:
// "Connection Refused: not authorised." becomes "not authorised".
QString refusalText(int rc)
{
    QString text = QString::fromUtf8(mosquitto_connack_string(rc));
    text.remove(QStringLiteral("Connection Refused: "), Qt::CaseInsensitive);
    while (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

QString clientId(const MqttOptions &o)
{
    QString id = QStringLiteral("tarnwick-%1-%2").arg(o.topicPrefix.section(QLatin1Char('/'), -1)).arg(QCoreApplication::applicationPid());
    return id.left(60);
}
} // namespace

MqttClient::MqttClient(const MqttOptions &options, MqttMessage will, QObject *parent)
    : QObject(parent), m_options(options), m_will(std::move(will))
{
    // The timers go with this object to another thread.
    for (QTimer *timer : {&m_misc, &m_retry, &m_connectDeadline, &m_handshakePace})
        timer->setParent(this);
    initLibrary();
    m_mosq = mosquitto_new(clientId(options).toUtf8().constData(), true, this);
    mosquitto_connect_callback_set(m_mosq, &MqttClient::onConnectCallback);
    mosquitto_disconnect_callback_set(m_mosq, &MqttClient::onDisconnectCallback);
    mosquitto_message_callback_set(m_mosq, &MqttClient::onMessageCallback);
    // Pings are due once per keep-alive; a quarter of it is soon enough.
    // (Restarting it at each burst costs more than the wake-up it saves.)
    m_misc.setInterval(std::max(1, brokerKeepAlive(options) / 4) * 1000);
    connect(&m_misc, &QTimer::timeout, this, [this] { service(mosquitto_loop_misc(m_mosq)); });
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &MqttClient::attempt);
    m_connectDeadline.setSingleShot(true);
    connect(&m_connectDeadline, &QTimer::timeout, this, [this] {
        if (!m_connected && m_readWatch)
            dropLink(QStringLiteral("no answer from the broker"));
    });
    m_handshakePace.setSingleShot(true);
    m_handshakePace.setInterval(50);
    connect(&m_handshakePace, &QTimer::timeout, this, &MqttClient::updateWriteWatch);
}

MqttClient::~MqttClient()
{
    m_finishing = true;
    if (m_connector.joinable())
        m_connector.join();
    m_readWatch.reset();
    m_writeWatch.reset();
    // Without a goodbye the broker sends the will: as after a crash.
    mosquitto_destroy(m_mosq);
}

bool MqttClient::start()
{
    const QByteArray willPayload = m_will.payload;
    mosquitto_will_set(m_mosq, m_will.topic.constData(), int(willPayload.size()), willPayload.constData(), m_will.qos,
                       m_will.retain);
    if (!m_options.user.isEmpty())
        mosquitto_username_pw_set(m_mosq, m_options.user.toUtf8().constData(),
                                  m_options.password.isEmpty() ? nullptr : m_options.password.toUtf8().constData());
    if (m_options.tls) {
        int rc = MOSQ_ERR_SUCCESS;
        if (m_options.caFile.isEmpty()) {
            rc = mosquitto_int_option(m_mosq, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        } else if (!QFileInfo(m_options.caFile).isReadable()) {
            m_setupError = QStringLiteral("the CA file %1 cannot be read (Mqtt/CaFile)").arg(m_options.caFile);
            return false;
        } else if (QSslCertificate::fromPath(m_options.caFile, QSsl::Pem).isEmpty()) {
            m_setupError = QStringLiteral("the CA file %1 holds no PEM certificate (Mqtt/CaFile)").arg(m_options.caFile);
            return false;
        } else {
            rc = mosquitto_tls_set(m_mosq, m_options.caFile.toLocal8Bit().constData(), nullptr, nullptr, nullptr, nullptr);
        }
        if (rc != MOSQ_ERR_SUCCESS) {
            m_setupError = QStringLiteral("TLS cannot be set up: %1").arg(errorText(rc, errno));
            return false;
        }
    }
    attempt();
    return true;
}

void MqttClient::subscribe(const QString &topic)
{
    m_subscriptions << topic;
    if (m_connected)
        mosquitto_subscribe(m_mosq, nullptr, topic.toUtf8().constData(), 1);
}

void MqttClient::attempt()
{
    if (m_finishing)
        return;
    if (!QHostAddress(m_options.host).isNull()) {
        connectTo(m_options.host);
        return;
    }
    // libmosquitto's own lookup would block the watch; Qt's runs aside.
    QHostInfo::lookupHost(m_options.host, this, [this](const QHostInfo &info) {
        if (m_finishing)
            return;
        if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
            emit problem(QStringLiteral("cannot find the broker host \"%1\": %2").arg(m_options.host, info.errorString()));
            retryLater();
            return;
        }
        if (!m_options.tls) {
            connectTo(info.addresses().first().toString());
            return;
        }
        // The certificate is checked against the name, so libmosquitto gets the
        // name and looks it up again, on a thread of its own for this one call.
        if (m_connector.joinable())
            m_connector.join();
        m_connector = std::thread([this, host = m_options.host.toUtf8()] {
            qCDebug(lcMqtt) << "connecting to" << host << m_options.port;
            const int rc = mosquitto_connect_async(m_mosq, host.constData(), m_options.port, brokerKeepAlive(m_options));
            const int savedErrno = errno;
            QMetaObject::invokeMethod(this, [this, rc, savedErrno] {
                m_connector.join();
                connectStarted(rc, savedErrno);
            }, Qt::QueuedConnection);
        });
    });
}

void MqttClient::connectTo(const QString &address)
{
    qCDebug(lcMqtt) << "connecting to" << address << m_options.port;
    const int rc = mosquitto_connect_async(m_mosq, address.toUtf8().constData(), m_options.port, brokerKeepAlive(m_options));
    connectStarted(rc, errno);
}

void MqttClient::connectStarted(int rc, int savedErrno)
{
    if (m_finishing)
        return;
    if (rc != MOSQ_ERR_SUCCESS) {
        emit problem(QStringLiteral("cannot connect to the broker at %1:%2: %3")
                         .arg(m_options.host).arg(m_options.port).arg(errorText(rc, savedErrno)));
        retryLater();
        return;
    }
    watchSocket();
}

void MqttClient::watchSocket()
{
    const int fd = mosquitto_socket(m_mosq);
    m_readWatch = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read, this);
    m_writeWatch = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write, this);
    connect(m_readWatch.get(), &QSocketNotifier::activated, this, [this] {
        // A failed connect reads as readable too, with nothing libmosquitto takes as an error.
        QString why;
        if (!m_connected && socketDead(mosquitto_socket(m_mosq), why, m_closedEarly))
            dropLink(why);
        else
            service(mosquitto_loop_read(m_mosq, 1));
    });
    connect(m_writeWatch.get(), &QSocketNotifier::activated, this, &MqttClient::onWritable);
    m_misc.start();
    m_connectDeadline.start(std::max(10, m_options.keepAliveSeconds) * 1000);
    updateWriteWatch();
}

void MqttClient::service(int rc)
{
    const int savedErrno = errno;
    if (m_finishing || !m_readWatch)
        return;
    if (rc != MOSQ_ERR_SUCCESS)
        dropLink(errorText(rc, savedErrno));
    else if (mosquitto_socket(m_mosq) < 0)
        dropLink(QStringLiteral("the broker did not answer within the keep-alive"));
    else
        updateWriteWatch();
}

void MqttClient::onWritable()
{
    if (m_connected) {
        service(mosquitto_loop_write(m_mosq, 1));
        return;
    }
    // Before the broker's answer the socket may stay writable with nothing
    // for libmosquitto to do: a failed connect is dropped, a handshake is
    // looked at again in a moment instead of at once and for ever.
    QString why;
    if (socketDead(mosquitto_socket(m_mosq), why, m_closedEarly)) {
        dropLink(why);
        return;
    }
    service(mosquitto_loop_write(m_mosq, 1));
    if (!m_connected && m_writeWatch) {
        m_writeWatch->setEnabled(false);
        m_handshakePace.start();
    }
}

void MqttClient::updateWriteWatch()
{
    if (m_writeWatch)
        m_writeWatch->setEnabled(mosquitto_want_write(m_mosq));
}

void MqttClient::dropLink(const QString &why)
{
    const bool closedBeforeAnswer = !m_connected && !m_refused && m_closedEarly;
    // A notifier may be the caller: it goes once control is back in the loop.
    for (auto *watch : {&m_readWatch, &m_writeWatch}) {
        if (*watch) {
            (*watch)->setEnabled(false);
            watch->release()->deleteLater();
        }
    }
    m_misc.stop();
    m_connectDeadline.stop();
    m_handshakePace.stop();
    const bool wasConnected = m_connected;
    m_connected = false;
    qCDebug(lcMqtt) << "link dropped:" << why;
    const QString where = QStringLiteral("%1:%2").arg(m_options.host).arg(m_options.port);
    if (wasConnected)
        emit problem(QStringLiteral("lost the link to the broker at %1: %2").arg(where, why));
    else if (closedBeforeAnswer) // the socket no longer tells a refusal from a close: most often TLS on one side only
        emit problem(QStringLiteral("cannot connect to the broker at %1: the connection was refused or closed before %2: does port %3 %4 "
                                    "TLS? (Mqtt/Tls, Mqtt/Port)").arg(where, m_options.tls ? QStringLiteral("the TLS handshake ended") : QStringLiteral("the broker answered"))
                         .arg(m_options.port).arg(m_options.tls ? QStringLiteral("take") : QStringLiteral("want")));
    else
        emit problem(QStringLiteral("cannot connect to the broker at %1: %2").arg(where, why));
    m_refused = false;
    m_closedEarly = false;
    retryLater();
}

void MqttClient::retryLater()
{
    m_retry.start(m_backoff * 1000);
    m_backoff = std::min(60, m_backoff * 2);
}

int MqttClient::send(const MqttMessage &m)
{
    return mosquitto_publish(m_mosq, nullptr, m.topic.constData(), int(m.payload.size()), m.payload.constData(), m.qos,
                             m.retain);
}

bool MqttClient::publish(const MqttMessage &m)
{
    if (!m_connected)
        return false;
    const int rc = send(m);
    service(rc);
    return rc == MOSQ_ERR_SUCCESS;
}

void MqttClient::publishAll(const std::vector<MqttMessage> &messages)
{
    if (!m_connected || messages.empty())
        return;
    // Each publish is a write of its own; corked, a cycle's dozen cost the
    // loopback or the network one segment instead of a dozen.
    const int fd = mosquitto_socket(m_mosq);
    int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_CORK, &on, sizeof on);
    int rc = MOSQ_ERR_SUCCESS;
    for (auto m = messages.begin(); m != messages.end() && rc == MOSQ_ERR_SUCCESS; ++m)
        rc = send(*m);
    on = 0;
    if (mosquitto_socket(m_mosq) == fd)
        setsockopt(fd, IPPROTO_TCP, TCP_CORK, &on, sizeof on);
    service(rc);
}

void MqttClient::finish(const MqttMessage &last, int timeoutMs)
{
    m_retry.stop();
    if (m_connected) {
        publish(last);
        mosquitto_disconnect(m_mosq);
    }
    m_finishing = true;
    m_misc.stop();
    m_connectDeadline.stop();
    m_handshakePace.stop();
    m_readWatch.reset();
    m_writeWatch.reset();
    QElapsedTimer clock;
    clock.start();
    // Only at the end of the run: the goodbye leaves before the program does.
    while (m_connected && mosquitto_socket(m_mosq) >= 0 && clock.elapsed() < timeoutMs)
        if (mosquitto_loop(m_mosq, 50, 1) != MOSQ_ERR_SUCCESS)
            break;
    m_connected = false;
}

void MqttClient::onConnectCallback(mosquitto *, void *self, int rc)
{
    auto *client = static_cast<MqttClient *>(self);
    if (rc != 0) {
        const MqttOptions &o = client->m_options;
        const QString login = o.user.isEmpty() ? QStringLiteral("without a user name") : QStringLiteral("as \"%1\"").arg(o.user);
        client->m_refused = true;
        emit client->problem(rc == 4 || rc == 5 // bad user name or password, not authorised
                                 ? QStringLiteral("the broker at %1:%2 refused the login %3: %4 (Mqtt/User, Mqtt/Password)").arg(o.host).arg(o.port).arg(login, refusalText(rc))
                                 : QStringLiteral("the broker at %1:%2 refused the connection: %3").arg(o.host).arg(o.port).arg(refusalText(rc)));
        return;
    }
    client->m_connected = true;
    client->m_backoff = 1;
    client->m_connectDeadline.stop();
    qCDebug(lcMqtt) << "connected to" << client->m_options.host << client->m_options.port;
    for (const QString &topic : client->m_subscriptions)
        mosquitto_subscribe(client->m_mosq, nullptr, topic.toUtf8().constData(), 1);
    emit client->connected();
}

void MqttClient::onDisconnectCallback(mosquitto *, void *, int)
{
    // The loop call that closed the link returns an error or leaves no
    // socket; service() takes it from there.
}

void MqttClient::onMessageCallback(mosquitto *, void *self, const mosquitto_message *m)
{
    auto *client = static_cast<MqttClient *>(self);
    emit client->messageReceived(QString::fromUtf8(m->topic),
                                 QByteArray(static_cast<const char *>(m->payload), m->payloadlen));
}
