// A local stand-in for the weather service on 127.0.0.1: records what each
// connection sends and answers as the test tells it to.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <sys/socket.h>

class CaptureServer : public QObject {
public:
    enum class Mode {
        ReplyAndClose, // once the request's empty line is in: write the reply, close
        Silent,        // accept, read, never answer, never close
        Reset,         // once the request is in: reset the connection
        ReplyAndHold,  // write the reply but never close
    };

    Mode mode = Mode::ReplyAndClose;
    QByteArray reply = "HTTP/1.0 200 OK\nContent-Type: text/plain\n\nsuccess\n";
    QList<QByteArray> requests; // one entry per connection
    QList<QPointer<QTcpSocket>> sockets;

    CaptureServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        m_port = m_server.serverPort();
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] { accept(); });
    }

    quint16 port() const { return m_server.serverPort(); }
    // Stops listening: later connections to the port are refused.
    void stop() { m_server.close(); }
    QString url(const QString &path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
    }
    int connections() const { return static_cast<int>(requests.size()); }
    bool waitForRequests(int n, int ms = 5000)
    {
        return QTest::qWaitFor([&] { return requestsComplete() >= n; }, ms);
    }

private:
    int requestsComplete() const
    {
        int n = 0;
        for (const QByteArray &r : requests)
            n += r.contains("\r\n\r\n") ? 1 : 0;
        return n;
    }

    void accept()
    {
        while (QTcpSocket *s = m_server.nextPendingConnection()) {
            const qsizetype index = requests.size();
            requests.append(QByteArray());
            sockets.append(s);
            QObject::connect(s, &QTcpSocket::readyRead, this, [this, s, index] {
                requests[index] += s->readAll();
                if (!requests[index].contains("\r\n\r\n"))
                    return;
                if (mode == Mode::ReplyAndClose) {
                    s->write(reply);
                    s->disconnectFromHost();
                } else if (mode == Mode::ReplyAndHold) {
                    s->write(reply);
                } else if (mode == Mode::Reset) {
                    const linger hard{1, 0}; // close with RST instead of FIN
                    ::setsockopt(static_cast<int>(s->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
                    s->abort();
                }
            });
        }
    }

    QTcpServer m_server;
    quint16 m_port = 0;
};
