// Connection limits for the Alpaca endpoint. Our watcher is connected to each
// socket before the HTTP layer is, so it sees the data first.
#include "focuser/guarded_tcp_server.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>

namespace {
class ConnectionWatch : public QObject {
public:
    ConnectionWatch(QTcpSocket *socket, const GuardedTcpServer::Limits &limits)
        : QObject(socket), m_socket(socket), m_limits(limits)
    {
        m_idle.setSingleShot(true);
        m_idle.setInterval(limits.idleTimeoutMs);
        connect(&m_idle, &QTimer::timeout, this, [this] { m_socket->abort(); });
        connect(socket, &QTcpSocket::readyRead, this, &ConnectionWatch::onReadyRead);
        connect(socket, &QTcpSocket::bytesWritten, this, [this] {
            // An answer went out: the next request starts its own count.
            m_received = 0;
            m_idle.start();
            if (m_rejected && m_socket->bytesToWrite() == 0)
                m_socket->abort();
        });
        m_active.start();
        m_idle.start();
    }

    qint64 lastActivity() const { return m_active.elapsed(); }

private:
    void onReadyRead()
    {
        m_active.restart();
        m_idle.start();
        if (m_rejected) {
            m_socket->readAll();
            return;
        }
        m_received += m_socket->bytesAvailable();
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

    QTcpSocket *m_socket;
    GuardedTcpServer::Limits m_limits;
    QTimer m_idle;
    QElapsedTimer m_active;
    qint64 m_received = 0;
    bool m_rejected = false;
};
} // namespace

GuardedTcpServer::GuardedTcpServer(QObject *parent) : QTcpServer(parent)
{
}

int GuardedTcpServer::openConnections()
{
    m_sockets.removeIf([](const QPointer<QTcpSocket> &s) { return !s || s->state() == QAbstractSocket::UnconnectedState; });
    return int(m_sockets.size());
}

void GuardedTcpServer::makeRoom()
{
    while (openConnections() >= m_limits.maxConnections && !m_sockets.isEmpty()) {
        QTcpSocket *oldest = nullptr;
        qint64 idleMost = -1;
        for (const auto &s : m_sockets) {
            auto *watch = s->findChild<ConnectionWatch *>(QString(), Qt::FindDirectChildrenOnly);
            const qint64 idle = watch ? watch->lastActivity() : 0;
            if (idle > idleMost) {
                idleMost = idle;
                oldest = s;
            }
        }
        if (!oldest)
            break;
        oldest->abort();
    }
}

void GuardedTcpServer::incomingConnection(qintptr descriptor)
{
    makeRoom();
    auto *socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    socket->setReadBufferSize(m_limits.readBufferBytes);
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    new ConnectionWatch(socket, m_limits);
    m_sockets.append(socket);
    addPendingConnection(socket);
}
