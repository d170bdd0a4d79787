// Alpaca discovery: answers "alpacadiscovery1" datagrams with the HTTP port.
#pragma once

#include <QHostAddress>
#include <QObject>

class QUdpSocket;

class AlpacaDiscovery : public QObject {
    Q_OBJECT
public:
    static constexpr quint16 kDefaultPort = 32227;

    AlpacaDiscovery(quint16 httpPort, QObject *parent = nullptr);
    // Binds with address and port sharing, so other Alpaca servers on this host
    // can listen too. Returns false and fills error() when it cannot.
    bool start(const QHostAddress &address = QHostAddress::AnyIPv4, quint16 port = kDefaultPort);
    quint16 port() const;
    QString error() const { return m_error; }
    // Answer only askers on this machine (the endpoint serves loopback only).
    void setLoopbackOnly(bool on) { m_loopbackOnly = on; }

    // The reply to one datagram, or empty when it is not a discovery request.
    static QByteArray replyTo(const QByteArray &datagram, quint16 httpPort);

private:
    void readPending();

    quint16 m_httpPort;
    QUdpSocket *m_socket = nullptr;
    QString m_error;
    bool m_loopbackOnly = false;
};
