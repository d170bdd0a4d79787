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
    // The address the HTTP endpoint listens on: only askers that can reach the
    // advertised port there are answered (default: any address).
    void setHttpAddress(const QHostAddress &address);

    // The reply to one datagram, or empty when it is not a discovery request.
    static QByteArray replyTo(const QByteArray &datagram, quint16 httpPort);

    struct Arrival {
        QHostAddress sender;
        QHostAddress destination; // null when unknown
        int interfaceIndex = 0;   // 0 when unknown
    };
    // Whether an HTTP endpoint on httpAddress (httpInterface: the index of the
    // interface that holds it, 0 if none) is reachable for this asker over IPv4.
    static bool reachable(const QHostAddress &httpAddress, int httpInterface, const Arrival &arrival);

private:
    void readPending();

    quint16 m_httpPort;
    QUdpSocket *m_socket = nullptr;
    QString m_error;
    QHostAddress m_httpAddress = QHostAddress::Any;
    int m_httpInterface = 0;
};
