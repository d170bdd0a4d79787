// Connection limits for the Alpaca endpoint. Our watcher is connected to each
// socket before the HTTP layer is, so it sees the data first.
#include "alpaca/guarded_tcp_server.h"

#include <QElapsedTimer>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace {
// HTTP/1.0 closes after the answer unless the client asks to keep the
// connection; HTTP/1.1 keeps it unless the client says "close".
bool asksToClose(const QByteArray &head)
{
    const QList<QByteArray> lines = head.split('\n');
    bool keepAlive = false;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed().toLower();
        if (!line.startsWith("connection:"))
            continue;
        for (const QByteArray &option : line.mid(11).split(',')) {
            if (option.trimmed() == "close")
                return true; // whatever else it says
            keepAlive = keepAlive || option.trimmed() == "keep-alive";
        }
    }
    return lines.value(0).trimmed().endsWith("HTTP/1.0") && !keepAlive;
}

class ConnectionWatch : public QObject {
public:
    ConnectionWatch(QTcpSocket *socket, const GuardedTcpServer::Limits &limits)
        : QObject(socket), m_socket(socket), m_limits(limits)
    {
        m_idle.setSingleShot(true);
        m_idle.setInterval(limits.idleTimeoutMs);
        connect(&m_idle, &QTimer::timeout, this, [this] {
            if (m_busy == 0)
                m_socket->abort();
        });
        // Unlike the idle time, the head's limit is not renewed by each byte.
        m_head.setSingleShot(true);
        m_head.setInterval(limits.headTimeoutMs);
        connect(&m_head, &QTimer::timeout, this, [this] {
            if (m_busy == 0)
                m_socket->abort();
        });
        connect(socket, &QTcpSocket::readyRead, this, &ConnectionWatch::onReadyRead);
        connect(socket, &QTcpSocket::bytesWritten, this, [this] {
            // An answer went out: the next request starts its own count and clock.
            m_received = 0;
            armIdle();
            if (m_socket->bytesToWrite() == 0) {
                m_headText.clear();
                m_head.start();
            }
            if (m_rejected && m_socket->bytesToWrite() == 0)
                m_socket->abort();
            else if (m_closeAfterAnswer && m_busy == 0 && m_socket->bytesToWrite() == 0)
                m_socket->disconnectFromHost(); // the client asked for one answer only
        });
        // Not while a request is being answered: the handler (a modal dialog
        // runs its own event loop) still holds the socket.
        connect(socket, &QTcpSocket::disconnected, this, [this] {
            if (m_busy == 0)
                m_socket->deleteLater();
        });
        m_active.start();
        m_idle.start();
        m_head.start();
    }

    qint64 lastActivity() const { return m_active.elapsed(); }
    bool busy() const { return m_busy > 0; }
    // A client that has sent a whole request head is one we serve; one that
    // never has may be holding a place on purpose.
    bool completedARequest() const { return m_requests > 0; }

    // While busy the connection is the server's to finish: no idle time-out,
    // no eviction, no deletion.
    void setBusy(bool on)
    {
        m_busy = std::max(0, m_busy + (on ? 1 : -1));
        if (m_busy > 0) {
            m_idle.stop();
            m_head.stop();
            return;
        }
        m_active.restart();
        if (m_socket->state() == QAbstractSocket::UnconnectedState) {
            m_socket->deleteLater();
            return;
        }
        m_idle.start();
        // The answer may have been flushed while busy: no later bytesWritten closes then.
        if (m_closeAfterAnswer && m_socket->bytesToWrite() == 0)
            m_socket->disconnectFromHost();
    }

private:
    void onReadyRead()
    {
        m_active.restart();
        armIdle();
        if (m_rejected) {
            m_socket->readAll();
            return;
        }
        m_received += m_socket->bytesAvailable();
        if (m_head.isActive()) {
            // The head ends with an empty line, perhaps split across reads.
            m_headText += m_socket->peek(m_socket->bytesAvailable());
            const qsizetype end = m_headText.indexOf("\r\n\r\n");
            if (end >= 0) {
                m_head.stop();
                ++m_requests;
                m_closeAfterAnswer = m_closeAfterAnswer || asksToClose(m_headText.left(end));
                m_headText.clear();
            }
        }
        if (m_socket->bytesToWrite() > m_limits.maxUnsentBytes) {
            m_socket->abort();
            return;
        }
        if (m_received > m_limits.maxRequestBytes) {
            m_rejected = true;
            const QByteArray text = "Request too large";
            m_socket->write("HTTP/1.1 400 Bad Request\r\nContent-Type: text/plain\r\nConnection: close\r\nContent-Length: "
                            + QByteArray::number(text.size()) + "\r\n\r\n" + text);
            m_socket->readAll();
            m_socket->disconnectFromHost();
        }
    }

    void armIdle()
    {
        if (m_busy == 0)
            m_idle.start();
    }

    QTcpSocket *m_socket;
    GuardedTcpServer::Limits m_limits;
    QTimer m_idle;
    QTimer m_head;
    QByteArray m_headText; // a head still arriving (bounded by maxRequestBytes)
    int m_requests = 0;    // whole request heads received
    bool m_closeAfterAnswer = false;
    QElapsedTimer m_active;
    qint64 m_received = 0;
    bool m_rejected = false;
    int m_busy = 0; // requests of this connection being answered (they can nest)
};

// The watch has no meta-object of its own, so findChild would return any
// child (the socket engine comes first); look for it by type instead.
ConnectionWatch *watchOf(QTcpSocket *socket)
{
    if (!socket)
        return nullptr;
    for (QObject *child : socket->children()) {
        if (auto *watch = dynamic_cast<ConnectionWatch *>(child))
            return watch;
    }
    return nullptr;
}
} // namespace

GuardedTcpServer::GuardedTcpServer(QObject *parent) : QTcpServer(parent)
{
}

namespace {
// The kernel knows before the event loop does when the client has closed.
bool bothEndsOpen(QTcpSocket *socket)
{
    if (socket->state() != QAbstractSocket::ConnectedState)
        return false;
    tcp_info info{};
    socklen_t len = sizeof info;
    if (::getsockopt(int(socket->socketDescriptor()), IPPROTO_TCP, TCP_INFO, &info, &len) != 0)
        return true;
    return info.tcpi_state == TCP_ESTABLISHED;
}
} // namespace

int GuardedTcpServer::openConnections()
{
    m_sockets.removeIf([](const QPointer<QTcpSocket> &s) { return !s || s->state() == QAbstractSocket::UnconnectedState; });
    return int(std::count_if(m_sockets.begin(), m_sockets.end(), [](const QPointer<QTcpSocket> &s) { return bothEndsOpen(s); }));
}

void GuardedTcpServer::makeRoom()
{
    while (openConnections() >= m_limits.maxConnections && !m_sockets.isEmpty()) {
        // The least recently active of the connections that never sent a whole
        // request goes first (a head dripping in keeps its connection busy-looking);
        // a client that is being served only when there is no such connection.
        QTcpSocket *victim = nullptr;
        bool victimServed = true;
        qint64 victimIdle = -1;
        for (const auto &s : m_sockets) {
            if (!bothEndsOpen(s))
                continue; // already on its way out
            auto *watch = watchOf(s);
            if (watch && watch->busy())
                continue;
            const bool served = watch && watch->completedARequest();
            const qint64 idle = watch ? watch->lastActivity() : 0;
            if (victimIdle < 0 || (victimServed && !served) || (served == victimServed && idle > victimIdle)) {
                victim = s;
                victimServed = served;
                victimIdle = idle;
            }
        }
        if (!victim)
            break;
        victim->abort();
    }
}

void GuardedTcpServer::setBusy(QTcpSocket *socket, bool busy)
{
    if (auto *watch = watchOf(socket))
        watch->setBusy(busy);
}

void GuardedTcpServer::incomingConnection(qintptr descriptor)
{
    makeRoom();
    QTcpSocket *socket = m_tls ? new QSslSocket(this) : new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    socket->setReadBufferSize(m_limits.readBufferBytes);
    new ConnectionWatch(socket, m_limits);
    m_sockets.append(socket);
    auto *tls = qobject_cast<QSslSocket *>(socket);
    if (!tls) {
        addPendingConnection(socket);
        return;
    }
    // A client that fails the handshake (plain HTTP, a refused certificate)
    // just loses its connection; the watch's clocks end a stalled one.
    tls->setSslConfiguration(*m_tls);
    connect(tls, &QSslSocket::encrypted, this, [this, tls] { addPendingConnection(tls); });
    connect(tls, &QSslSocket::sslErrors, tls, [tls](const QList<QSslError> &) { tls->abort(); });
    tls->startServerEncryption();
}
