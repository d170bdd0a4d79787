// Discovery responder on a socket we open ourselves: Qt's own bind sets only
// SO_REUSEADDR, and peers that use SO_REUSEPORT could not share the port.
#include "alpaca/alpaca_discovery.h"

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QUdpSocket>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

AlpacaDiscovery::AlpacaDiscovery(quint16 httpPort, QObject *parent) : QObject(parent), m_httpPort(httpPort)
{
}

QByteArray AlpacaDiscovery::replyTo(const QByteArray &datagram, quint16 httpPort)
{
    // Bytes after the 16-byte tag are reserved.
    if (!datagram.startsWith("alpacadiscovery1"))
        return QByteArray();
    return "{\"AlpacaPort\":" + QByteArray::number(httpPort) + "}";
}

void AlpacaDiscovery::setHttpAddress(const QHostAddress &address)
{
    m_httpAddress = address;
    m_httpInterface = 0;
    for (const QNetworkInterface &nic : QNetworkInterface::allInterfaces())
        for (const QNetworkAddressEntry &entry : nic.addressEntries())
            if (entry.ip().isEqual(address, QHostAddress::ConvertV4MappedToIPv4))
                m_httpInterface = nic.index();
}

bool AlpacaDiscovery::reachable(const QHostAddress &http, int httpInterface, const Arrival &a)
{
    if (http == QHostAddress::Any || http == QHostAddress::AnyIPv4)
        return true;
    bool isV4 = false;
    http.toIPv4Address(&isV4);
    if (!isV4)
        return false; // an IPv6-only endpoint cannot be reached at an IPv4 asker's reply address
    if (http.isLoopback())
        return a.sender.isLoopback();
    if (!a.destination.isNull() && a.destination.isEqual(http, QHostAddress::ConvertV4MappedToIPv4))
        return true;
    // A broadcast arrives for no one address: answer on the endpoint's own network card.
    return httpInterface > 0 && a.interfaceIndex == httpInterface;
}

bool AlpacaDiscovery::start(const QHostAddress &address, quint16 port)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    if (!isV4) {
        m_error = QStringLiteral("discovery needs an IPv4 address");
        return false;
    }
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEPORT, &one, sizeof one);
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    // Which address and card a request came in on decides whether it is answered.
    ::setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(v4);
    if (::bind(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        ::close(fd);
        return false;
    }
    m_socket = new QUdpSocket(this);
    if (!m_socket->setSocketDescriptor(fd, QAbstractSocket::BoundState)) {
        m_error = m_socket->errorString();
        ::close(fd);
        delete m_socket;
        m_socket = nullptr;
        return false;
    }
    connect(m_socket, &QUdpSocket::readyRead, this, &AlpacaDiscovery::readPending);
    return true;
}

quint16 AlpacaDiscovery::port() const
{
    return m_socket ? m_socket->localPort() : 0;
}

void AlpacaDiscovery::readPending()
{
    while (m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram(64);
        if (!datagram.isValid())
            continue;
        const Arrival arrival{datagram.senderAddress(), datagram.destinationAddress(), int(datagram.interfaceIndex())};
        if (!reachable(m_httpAddress, m_httpInterface, arrival))
            continue;
        const QByteArray reply = replyTo(datagram.data(), m_httpPort);
        if (!reply.isEmpty())
            m_socket->writeDatagram(datagram.makeReply(reply));
    }
}
