// The Alpaca endpoint: HTTP on the watch's thread (so a stalled window never
// holds a client up, and client calls arrive between the watch's events and
// inside its waits), and discovery when it serves the network. It starts with
// no device; the program adds them.
// Every request, the program's own routes included, is answered only when
// its Host names this machine (HostGuard), and then passes the request gate
// the program sets (who may change what). With a TLS configuration the
// endpoint speaks HTTPS only.
#pragma once

#include "alpaca/alpaca_endpoint.h"
#include "alpaca/guarded_tcp_server.h"
#include "alpaca/host_guard.h"
#include "core/http_route.h"

#include <QAbstractHttpServer>
#include <QHostAddress>
#include <QSslConfiguration>
#include <functional>
#include <map>
#include <memory>
#include <optional>

class AlpacaDiscovery;
class ProfileStore;

class AlpacaServer : public QAbstractHttpServer {
    Q_OBJECT
public:
    explicit AlpacaServer(QObject *parent = nullptr);
    ~AlpacaServer() override;

    // Listens on address:port (0 picks a free port). On failure returns false
    // and error() says why in one line.
    bool listen(const QHostAddress &address, quint16 port, const GuardedTcpServer::Limits &limits = {},
                const std::optional<QSslConfiguration> &tls = std::nullopt);
    // Serves on a socket that is already listening (one handed over by systemd).
    bool listenOn(int socketDescriptor, const GuardedTcpServer::Limits &limits = {},
                  const std::optional<QSslConfiguration> &tls = std::nullopt);
    bool servesTls() const { return m_tcp && m_tcp->servesTls(); }
    // Discovery on the given UDP port; answers loopback askers only unless the
    // endpoint serves the network.
    bool startDiscovery(quint16 udpPort = 32227, const QHostAddress &bindAddress = QHostAddress::AnyIPv4);

    // Serves path (exact) or, for a path ending in '/', everything under it
    // that is not an Alpaca path (/api/, /management/, /setup); the longest wins.
    void addRoute(const QString &path, HttpRouteHandler handler) { m_routes[path] = std::move(handler); }
    // Asked before every route and device once the Host is accepted: an
    // answer refuses the request, nothing lets it through.
    using RequestGate = std::function<std::optional<HttpRouteReply>(const HttpRouteRequest &)>;
    void setRequestGate(RequestGate gate) { m_gate = std::move(gate); }

    // A device, numbered from 0 within its type; returns it.
    template <typename Device>
    Device *addDevice(std::unique_ptr<Device> device)
    {
        Device *added = device.get();
        m_endpoint.addDevice(std::move(device));
        return added;
    }
    AlpacaEndpoint &endpoint() { return m_endpoint; }
    HostGuard &hostGuard() { return m_hostGuard; }

    quint16 port() const { return m_port; }
    QHostAddress address() const { return m_address; }
    QString error() const { return m_error; }
    // Listens on a socket handed over by socket activation: systemd starts
    // the program again on the next connection.
    bool socketActivated() const { return m_socketActivated; }
    GuardedTcpServer *tcpServer() const { return m_tcp; }
    AlpacaDiscovery *discovery() const { return m_discovery; }

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    friend std::unique_ptr<AlpacaServer> startAlpaca(const QHostAddress &address, quint16 port,
                                                     const std::optional<QSslConfiguration> &tls);
    // Computes a slow route's answer beside this thread and sends it when ready.
    void answerLater(const QHttpServerRequest &request, QTcpSocket *socket, std::function<HttpRouteReply()> compute);
    const HttpRouteHandler *routeFor(const QString &path) const;
    bool adopt(GuardedTcpServer *tcp);

    AlpacaEndpoint m_endpoint;
    HostGuard m_hostGuard;
    std::map<QString, HttpRouteHandler> m_routes;
    RequestGate m_gate;
    GuardedTcpServer *m_tcp = nullptr;
    AlpacaDiscovery *m_discovery = nullptr;
    QHostAddress m_address;
    quint16 m_port = 0;
    QString m_error;
    bool m_socketActivated = false;
};

// Start-up: serves on the socket systemd handed over, if any, or else on
// address:port (discovery too when the endpoint is not on loopback). A port in
// use or a bad address is one line on standard error and no server. With tls
// the endpoint serves HTTPS.
std::unique_ptr<AlpacaServer> startAlpaca(const QHostAddress &address, quint16 port,
                                          const std::optional<QSslConfiguration> &tls = std::nullopt);

// A device's persistent UniqueID, kept under the profile's "Alpaca" subkey:
// read, or made and stored on first use (a fresh one each run without a profile).
QString alpacaUniqueId(ProfileStore *profile, const QString &key);
