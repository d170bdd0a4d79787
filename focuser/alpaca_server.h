// The Alpaca endpoint: HTTP on the Qt main thread (so client calls arrive
// between events and inside waits, like any other event), and discovery when
// it serves the network.
#pragma once

#include "focuser/alpaca_device.h"
#include "focuser/alpaca_endpoint.h"
#include "focuser/guarded_tcp_server.h"
#include "core/http_route.h"

#include <QAbstractHttpServer>
#include <QHostAddress>
#include <map>

class AlpacaDiscovery;

class AlpacaServer : public QAbstractHttpServer {
    Q_OBJECT
public:
    explicit AlpacaServer(FocuserContext &focuser, QObject *parent = nullptr);
    ~AlpacaServer() override;

    // Listens on address:port (0 picks a free port). On failure returns false
    // and error() says why in one line.
    bool listen(const QHostAddress &address, quint16 port, const GuardedTcpServer::Limits &limits = {});
    // Serves on a socket that is already listening (one handed over by systemd).
    bool listenOn(int socketDescriptor, const GuardedTcpServer::Limits &limits = {});
    // Discovery on the given UDP port; answers loopback askers only unless the
    // endpoint serves the network.
    bool startDiscovery(quint16 udpPort = 32227, const QHostAddress &bindAddress = QHostAddress::AnyIPv4);

    // Serves path (exact) or, for a path ending in '/', everything under it
    // that is not an Alpaca path (/api/, /management/, /setup); the longest wins.
    void addRoute(const QString &path, HttpRouteHandler handler) { m_routes[path] = std::move(handler); }

    // Another device beside the focuser, numbered from 0 within its type.
    void addDevice(std::unique_ptr<AlpacaServedDevice> device) { m_endpoint.addDevice(std::move(device)); }
    AlpacaEndpoint &endpoint() { return m_endpoint; }

    quint16 port() const { return m_port; }
    QHostAddress address() const { return m_address; }
    QString error() const { return m_error; }
    AlpacaDevice &device() { return m_device; }
    GuardedTcpServer *tcpServer() const { return m_tcp; }
    AlpacaDiscovery *discovery() const { return m_discovery; }

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    // Computes a slow route's answer beside this thread and sends it when ready.
    void answerLater(const QHttpServerRequest &request, QTcpSocket *socket, std::function<HttpRouteReply()> compute);
    const HttpRouteHandler *routeFor(const QString &path) const;
    bool adopt(GuardedTcpServer *tcp);

    AlpacaDevice m_device;
    AlpacaEndpoint m_endpoint;
    std::map<QString, HttpRouteHandler> m_routes;
    GuardedTcpServer *m_tcp = nullptr;
    AlpacaDiscovery *m_discovery = nullptr;
    QHostAddress m_address;
    quint16 m_port = 0;
    QString m_error;
};

// Start-up: serves the Focuser on the socket systemd handed over, if any, or
// else on address:port (discovery too when the endpoint is not on loopback).
// A port in use or a bad address is one line on standard error and the
// program goes on without the endpoint.
bool startAlpaca(FocuserContext &focuser, const QHostAddress &address, quint16 port);
// The running endpoint listens on a socket handed over by socket activation:
// systemd starts the program again on the next connection.
bool alpacaSocketActivated();
// The running endpoint, or nullptr.
AlpacaServer *alpacaServer();
void stopAlpaca();
