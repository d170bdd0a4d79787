// The notifications' peers on 127.0.0.1: an HTTP receiver that keeps every
// complete request, and Debian's aiosmtpd writing each mail to a maildir.
#pragma once

#include "free_port.h"

#include <QDir>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

struct HttpRequest {
    QByteArray head;
    QByteArray body;
    QByteArray header(const QByteArray &name) const
    {
        for (const QByteArray &line : head.split('\n'))
            if (line.toLower().startsWith(name.toLower() + ':'))
                return line.mid(name.size() + 1).trimmed();
        return {};
    }
};

class HttpReceiver : public QObject {
public:
    bool silent = false; // accept and read, never answer
    QByteArray status = "200 OK";
    QList<HttpRequest> requests;

    HttpReceiver()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] { accept(); });
    }
    bool listen(quint16 port = 0)
    {
        return m_server.listen(QHostAddress::LocalHost, port);
    }
    quint16 port() const { return m_server.serverPort(); }
    QString url(const QString &path) const { return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path); }
    bool waitFor(int n, int ms = 10000)
    {
        return QTest::qWaitFor([&] { return requests.size() >= n; }, ms);
    }

private:
    void accept()
    {
        while (QTcpSocket *s = m_server.nextPendingConnection()) {
            auto *buffer = new QByteArray;
            connect(s, &QObject::destroyed, [buffer] { delete buffer; });
            connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            connect(s, &QTcpSocket::readyRead, this, [this, s, buffer] {
                *buffer += s->readAll();
                const qsizetype end = buffer->indexOf("\r\n\r\n");
                if (end < 0)
                    return;
                HttpRequest r{buffer->left(end), buffer->mid(end + 4)};
                if (r.body.size() < r.header("Content-Length").toInt())
                    return;
                buffer->clear();
                requests.append(r);
                if (!silent) {
                    s->write("HTTP/1.1 " + status + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                    s->disconnectFromHost();
                }
            });
        }
    }
    QTcpServer m_server;
};

// aiosmtpd on a free port; a missing aiosmtpd fails the test that uses it.
// Given a certificate and key, it offers STARTTLS and takes mail only after it.
class SmtpServer {
public:
    explicit SmtpServer(const QString &tlsCert = {}, const QString &tlsKey = {})
    {
        m_port = freeLoopbackPort();
        m_process.setProcessChannelMode(QProcess::ForwardedChannels);
        QStringList args{"-m", "aiosmtpd", "-n", "-l", QStringLiteral("127.0.0.1:%1").arg(m_port)};
        if (!tlsCert.isEmpty())
            args << "--tlscert" << tlsCert << "--tlskey" << tlsKey;
        m_process.start(QStringLiteral("/usr/bin/python3"),
                        args + QStringList{"-c", "aiosmtpd.handlers.Mailbox", m_dir.filePath("mail")});
        m_up = QTest::qWaitFor([this] {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, m_port);
            return probe.waitForConnected(200);
        }, 15000);
    }
    ~SmtpServer()
    {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
    bool up() const { return m_up; }
    QString url() const { return QStringLiteral("smtp://127.0.0.1:%1").arg(m_port); }
    QStringList mails() const
    {
        QStringList out;
        const QDir dir(m_dir.filePath("mail/new"));
        for (const QString &name : dir.entryList(QDir::Files, QDir::Time | QDir::Reversed)) {
            QFile f(dir.filePath(name));
            f.open(QIODevice::ReadOnly);
            out << QString::fromUtf8(f.readAll());
        }
        return out;
    }
    bool waitFor(int n, int ms = 10000) const
    {
        return QTest::qWaitFor([&] { return mails().size() >= n; }, ms);
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    bool m_up = false;
};
