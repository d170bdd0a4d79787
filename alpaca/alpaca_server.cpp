// HTTP side of the Alpaca endpoint.
#include "alpaca/alpaca_server.h"

#include "core/messages.h"
#include "core/profile_store.h"
#include "core/settings.h"
#include "alpaca/alpaca_discovery.h"
#include "alpaca/socket_activation.h"
#include "alpaca/alpaca_logging.h"

#include <QHttpServerRequest>
#include <QPointer>
#include <QHttpServerResponder>
#include <QTcpSocket>
#include <QUrl>
#include <QUuid>
#include <QtConcurrent/QtConcurrentRun>
#include <memory>

Q_LOGGING_CATEGORY(lcAlpaca, "tarnwick.alpaca", QtInfoMsg)

namespace {
QByteArray methodName(QHttpServerRequest::Method method)
{
    switch (method) {
    case QHttpServerRequest::Method::Get:
        return "GET";
    case QHttpServerRequest::Method::Put:
        return "PUT";
    case QHttpServerRequest::Method::Post:
        return "POST";
    case QHttpServerRequest::Method::Delete:
        return "DELETE";
    case QHttpServerRequest::Method::Head:
        return "HEAD";
    default:
        return "OTHER";
    }
}

// A route's answer with its own headers after the usual two.
void writeRouteReply(QHttpServerResponder &responder, const HttpRouteReply &reply)
{
    if (reply.headers.isEmpty()) {
        responder.write(reply.body, reply.contentType, QHttpServerResponder::StatusCode(reply.status));
        return;
    }
    responder.writeStatusLine(QHttpServerResponder::StatusCode(reply.status));
    responder.writeHeader("Content-Type", reply.contentType);
    responder.writeHeader("Content-Length", QByteArray::number(reply.body.size()));
    for (const auto &[name, value] : reply.headers)
        responder.writeHeader(name, value);
    responder.writeBody(reply.body);
}
} // namespace

AlpacaServer::AlpacaServer(QObject *parent) : QAbstractHttpServer(parent) {}

AlpacaServer::~AlpacaServer() = default;

bool AlpacaServer::listen(const QHostAddress &address, quint16 port, const GuardedTcpServer::Limits &limits,
                          const std::optional<QSslConfiguration> &tls)
{
    auto *tcp = new GuardedTcpServer(this);
    tcp->setLimits(limits);
    if (tls)
        tcp->setTls(*tls);
    if (!tcp->listen(address, port)) {
        m_error = QStringLiteral("Alpaca endpoint not started: cannot listen on %1 port %2: %3")
                      .arg(address.toString())
                      .arg(port)
                      .arg(tcp->errorString());
        delete tcp;
        return false;
    }
    qCDebug(lcAlpaca) << "listening on" << address.toString() << tcp->serverPort();
    return adopt(tcp);
}

bool AlpacaServer::listenOn(int socketDescriptor, const GuardedTcpServer::Limits &limits,
                            const std::optional<QSslConfiguration> &tls)
{
    auto *tcp = new GuardedTcpServer(this);
    tcp->setLimits(limits);
    if (tls)
        tcp->setTls(*tls);
    if (!tcp->setSocketDescriptor(socketDescriptor)) {
        m_error = QStringLiteral("Alpaca endpoint not started: the socket handed over (descriptor %1) cannot be used: %2")
                      .arg(socketDescriptor)
                      .arg(tcp->errorString());
        delete tcp;
        return false;
    }
    return adopt(tcp);
}

bool AlpacaServer::adopt(GuardedTcpServer *tcp)
{
    m_tcp = tcp;
    m_address = tcp->serverAddress();
    m_port = tcp->serverPort();
    bind(tcp);
    return true;
}

bool AlpacaServer::startDiscovery(quint16 udpPort, const QHostAddress &bindAddress)
{
    delete m_discovery;
    m_discovery = new AlpacaDiscovery(m_port, this);
    m_discovery->setHttpAddress(m_address);
    if (!m_discovery->start(bindAddress, udpPort)) {
        m_error = QStringLiteral("Alpaca discovery not started on UDP port %1: %2").arg(udpPort).arg(m_discovery->error());
        delete m_discovery;
        m_discovery = nullptr;
        return false;
    }
    return true;
}

const HttpRouteHandler *AlpacaServer::routeFor(const QString &path) const
{
    for (const char *alpaca : {"/api/", "/management/", "/setup"}) {
        if (path.startsWith(QLatin1String(alpaca)))
            return nullptr;
    }
    if (auto exact = m_routes.find(path); exact != m_routes.end())
        return &exact->second;
    const HttpRouteHandler *best = nullptr;
    qsizetype bestLength = -1;
    for (const auto &[prefix, handler] : m_routes) {
        if (prefix.endsWith(u'/') && path.startsWith(prefix) && prefix.size() > bestLength) {
            best = &handler;
            bestLength = prefix.size();
        }
    }
    return best;
}

bool AlpacaServer::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    // A name that is not this machine's: a page elsewhere reached us through
    // a rebound name. No CORS header is ever sent either.
    if (!m_hostGuard.allows(request.value("Host"))) {
        qCDebug(lcAlpaca) << "refused the host name" << request.value("Host");
        QHttpServerResponder responder = makeResponder(request, socket);
        responder.write(QByteArray("Forbidden: this host name is not served here (see the AllowedHosts setting)\n"),
                        "text/plain; charset=utf-8", QHttpServerResponder::StatusCode::Forbidden);
        return true;
    }
    const QUrl url = request.url();
    const QString path = url.path(QUrl::FullyDecoded);
    const HttpRouteRequest asked{methodName(request.method()), path, url.query(QUrl::FullyEncoded).toUtf8(),
                                 request.body(), request.headers(), request.remoteAddress().toString()};
    if (m_gate) {
        if (const std::optional<HttpRouteReply> refused = m_gate(asked)) {
            QHttpServerResponder responder = makeResponder(request, socket);
            writeRouteReply(responder, *refused);
            return true;
        }
    }
    if (const HttpRouteHandler *route = routeFor(path)) {
        HttpRouteReply reply = (*route)(asked);
        if (reply.later) {
            answerLater(request, socket, std::move(reply.later));
            return true;
        }
        QHttpServerResponder responder = makeResponder(request, socket);
        writeRouteReply(responder, reply);
        return true;
    }
    // A member may run an event loop (SetupDialog's modal dialog), during which
    // the client can go away; the socket (and the request with it) is kept
    // until we are done, and an answer nobody waits for is dropped.
    QPointer<QTcpSocket> guard(socket);
    if (m_tcp)
        m_tcp->setBusy(socket, true);
    AlpacaReply reply = m_endpoint.handle(asked.method, path, asked.query, asked.body);
    if (guard && guard->state() == QAbstractSocket::ConnectedState) {
        {
            QHttpServerResponder responder = makeResponder(request, socket);
            responder.write(reply.body, reply.contentType, QHttpServerResponder::StatusCode(reply.status));
        }
        socket->flush();
    }
    if (m_tcp && guard)
        m_tcp->setBusy(socket, false);
    if (reply.afterSend)
        reply.afterSend();
    return true;
}

void AlpacaServer::answerLater(const QHttpServerRequest &request, QTcpSocket *socket,
                               std::function<HttpRouteReply()> compute)
{
    // The request lives as long as its socket and the client waits for this
    // answer before asking again; a client gone meanwhile gets nothing.
    QPointer<QTcpSocket> guard(socket);
    if (m_tcp)
        m_tcp->setBusy(socket, true);
    QtConcurrent::run(std::move(compute)).then(this, [this, &request, guard](const HttpRouteReply &reply) {
        if (!guard)
            return;
        if (guard->state() == QAbstractSocket::ConnectedState) {
            {
                QHttpServerResponder responder = makeResponder(request, guard);
                writeRouteReply(responder, reply);
            }
            guard->flush();
        }
        if (m_tcp)
            m_tcp->setBusy(guard, false);
    });
}

void AlpacaServer::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket)
{
    // Not reached, since every request is handled above; answer as a bad request anyway.
    QHttpServerResponder responder = makeResponder(request, socket);
    responder.write(QByteArray("Bad request"), "text/plain", QHttpServerResponder::StatusCode::BadRequest);
}

std::unique_ptr<AlpacaServer> startAlpaca(const QHostAddress &address, quint16 port,
                                          const std::optional<QSslConfiguration> &tls)
{
    auto server = std::make_unique<AlpacaServer>();
    const ActivatedSocket handed = takeActivatedSocket();
    if (!handed.error.isEmpty())
        printNotice(handed.error);
    if (handed.fd >= 0) {
        if (!server->listenOn(handed.fd, {}, tls)) {
            printNotice(server->error());
            return nullptr;
        }
        server->m_socketActivated = true;
    } else {
        if (address.isNull()) {
            printNotice(QStringLiteral("Alpaca endpoint not started: not an address"));
            return nullptr;
        }
        if (!server->listen(address, port, {}, tls)) {
            printNotice(server->error());
            return nullptr;
        }
    }
    if (!server->address().isLoopback() && !server->startDiscovery())
        printNotice(server->error());
    return server;
}

QString alpacaUniqueId(ProfileStore *profile, const QString &key)
{
    const QString subKey = QStringLiteral("Alpaca");
    if (profile) {
        const QString stored = profile->value(kDriverId, key, subKey);
        if (!QUuid(stored).isNull())
            return stored;
    }
    const QString made = QUuid::createUuid().toString(QUuid::WithoutBraces);
    if (profile)
        profile->writeValue(kDriverId, key, made, subKey);
    return made;
}
