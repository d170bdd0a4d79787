// A local HTTPS stand-in for a weather service: a test CA and a certificate for
// "localhost" made with openssl when the server is made, and a server on
// 127.0.0.1 that records what each TLS session sends and answers "success".
#pragma once

#include "test_ca.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

class TlsCaptureServer : public QTcpServer {
public:
    QList<QByteArray> requests; // one entry per session that got as far as sending
    int handshakes = 0;         // connections accepted
    QString error;              // why the certificates could not be made

    TlsCaptureServer()
    {
        if (!makeCertificates())
            return;
        listen(QHostAddress::LocalHost, 0);
    }
    QString caFile() const { return m_certs.caFile(); }
    QString url(const QString &host) const
    {
        return QStringLiteral("https://%1:%2/update.php").arg(host).arg(serverPort());
    }
    int bytesReceived() const
    {
        int n = 0;
        for (const QByteArray &r : requests)
            n += int(r.size());
        return n;
    }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *s = new QSslSocket(this);
        s->setSocketDescriptor(descriptor);
        s->setLocalCertificate(m_cert);
        s->setPrivateKey(m_key);
        ++handshakes;
        const qsizetype index = requests.size();
        requests.append(QByteArray());
        connect(s, &QSslSocket::readyRead, this, [this, s, index] {
            requests[index] += s->readAll();
            if (requests[index].contains("\r\n\r\n")) {
                s->write("HTTP/1.0 200 OK\r\n\r\nsuccess\r\n");
                s->disconnectFromHost();
            }
        });
        connect(s, &QSslSocket::disconnected, s, &QObject::deleteLater);
        s->startServerEncryption();
    }

private:
    bool makeCertificates()
    {
        if (!m_certs.made()) {
            error = m_certs.error;
            return false;
        }
        QFile cert(m_certs.certFile());
        QFile key(m_certs.keyFile());
        if (!cert.open(QIODevice::ReadOnly) || !key.open(QIODevice::ReadOnly))
            return false;
        m_cert = QSslCertificate(&cert, QSsl::Pem);
        m_key = QSslKey(&key, QSsl::Ec, QSsl::Pem);
        return !m_cert.isNull() && !m_key.isNull();
    }

    TestCertificates m_certs;
    QSslCertificate m_cert;
    QSslKey m_key;
};
