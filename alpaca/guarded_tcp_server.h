// The listening socket of the Alpaca endpoint, with the limits the HTTP layer
// lacks: a cap on open connections (one that never sent a whole request makes
// room first, then the least recently active), an idle time-out, a time limit
// for a request's head, a bound on the bytes of one request and on unread
// answers; and the close after the answer that "Connection: close" and HTTP/1.0 ask for.
// With a TLS configuration each connection is a QSslSocket under the same
// limits (the handshake counts as part of the first request's head), handed
// to the HTTP layer once encrypted.
#pragma once

#include <QList>
#include <QPointer>
#include <QSslConfiguration>
#include <QTcpServer>
#include <optional>

class QTcpSocket;

class GuardedTcpServer : public QTcpServer {
    Q_OBJECT
public:
    struct Limits {
        int maxConnections = 64;
        int idleTimeoutMs = 20000;
        int headTimeoutMs = 20000;             // a request's head, however slowly it drips
        qint64 maxRequestBytes = 64 * 1024;    // received since the last answer
        qint64 maxUnsentBytes = 1024 * 1024;   // answers the client does not read
        qint64 readBufferBytes = 256 * 1024;   // never more than this waits in memory
    };

    explicit GuardedTcpServer(QObject *parent = nullptr);
    void setLimits(const Limits &limits) { m_limits = limits; }
    const Limits &limits() const { return m_limits; }
    void setTls(const QSslConfiguration &configuration) { m_tls = configuration; }
    bool servesTls() const { return m_tls.has_value(); }
    // Connections both ends still hold open: one the client has closed (its
    // close not yet seen by the event loop) does not count.
    int openConnections();
    // Marks a connection whose request is being answered; the handler may run
    // an event loop (a modal dialog), and the connection must outlast it.
    void setBusy(QTcpSocket *socket, bool busy);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void makeRoom();

    Limits m_limits;
    std::optional<QSslConfiguration> m_tls;
    QList<QPointer<QTcpSocket>> m_sockets;
};
