// The real endpoint on loopback with the login routes, the request gate, a
// safety monitor to switch (an Alpaca PUT) and a test route that changes a
// counter through the change gate; a clock the test moves; the auth events
// and every answer kept so that no secret may show in them.
#pragma once

#include "alpaca/alpaca_server.h"
#include "alpaca/devices/safety_monitor_device.h"
#include "auth/auth_routes.h"
#include "auth/auth_service.h"
#include "auth/password_hash.h"
#include "http_client.h"
#include "watch/watch_status.h"

#include <QMutex>
#include <QStringList>
#include <gtest/gtest.h>

inline const QByteArray kPassword = "correct horse battery";

// Made once: the cheapest cost keeps a hundred tries quick.
inline const QByteArray &testPasswordHash()
{
    static const QByteArray hash = *hashPassword(kPassword, cheapestPasswordCost());
    return hash;
}

struct Header {
    QByteArray name, value;
};

class AuthServer {
public:
    explicit AuthServer(bool withPassword, bool loginToRead = false, std::optional<QSslConfiguration> tls = {})
    {
        EXPECT_TRUE(server.listen(QHostAddress::LocalHost, 0, {}, tls)) << qPrintable(server.error());
        AuthOptions options;
        options.passwordHash = withPassword ? testPasswordHash() : QByteArray();
        options.https = tls.has_value();
        options.loginToRead = loginToRead;
        options.clock = [this] { return nowMs; };
        auth = AuthService::make(options);
        auth->setEventSink([this](const QString &event) {
            QMutexLocker locked(&eventsLock);
            events << event;
        });
        installAuthRoutes([this](const QString &path, HttpRouteHandler h) { server.addRoute(path, std::move(h)); }, auth);
        server.setRequestGate(auth->requestGate());
        server.addRoute(QStringLiteral("/tarnwick/v1/change"), [this, gate = auth->changeGate()](const HttpRouteRequest &r) {
            if (std::optional<HttpRouteReply> refused = gate(r))
                return *refused;
            ++changes;
            return HttpRouteReply{200, "application/json", "{}"};
        });
        server.addRoute(QStringLiteral("/"), [](const HttpRouteRequest &) {
            return HttpRouteReply{200, "text/html", "<p>the page</p>"};
        });
        server.addDevice(std::make_unique<SafetyMonitorDevice>(feed, QStringLiteral("test-monitor")));
    }

    quint16 port() const { return server.port(); }
    QByteArray host() const { return "127.0.0.1:" + QByteArray::number(port()); }

    // One request; Host is this server unless given. Every answer is kept.
    HttpAnswer send(const QByteArray &method, const QByteArray &target, const QList<Header> &headers = {},
                    const QByteArray &body = {}, bool withHost = true)
    {
        QByteArray text = method + ' ' + target + " HTTP/1.1\r\nConnection: close\r\n";
        if (withHost)
            text += "Host: " + host() + "\r\n";
        for (const Header &h : headers)
            text += h.name + ": " + h.value + "\r\n";
        if (!body.isEmpty() || method == "POST" || method == "PUT")
            text += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
        const HttpAnswer answer = rawExchange(port(), text + "\r\n" + body, 10000);
        answers += answer.headers + "\r\n\r\n" + answer.body;
        return answer;
    }
    HttpAnswer login(const QByteArray &password, const QList<Header> &extra = {})
    {
        QList<Header> headers{{"Content-Type", "application/x-www-form-urlencoded"}};
        headers += extra;
        return send("POST", "/login", headers, "password=" + password.toPercentEncoding() + "&next=%2Fsettings");
    }
    // A logged-in session: its cookie header and CSRF token.
    std::pair<Header, QByteArray> loggedIn()
    {
        const HttpAnswer answer = login(kPassword);
        EXPECT_EQ(answer.status, 303) << answer.body.constData();
        const Header cookie{"Cookie", QByteArray(kSessionCookie) + '=' + cookieOf(answer)};
        return {cookie, send("GET", "/tarnwick/v1/session", {cookie}).json()["csrf"].toString().toLatin1()};
    }
    bool monitorConnected()
    {
        return send("GET", "/api/v1/safetymonitor/0/connected").json()["Value"].toBool();
    }
    HttpAnswer connectMonitor(const QList<Header> &headers = {})
    {
        QList<Header> all{{"Content-Type", "application/x-www-form-urlencoded"}};
        all += headers;
        return send("PUT", "/api/v1/safetymonitor/0/connected", all, "Connected=true");
    }

    static QByteArray headerOf(const HttpAnswer &answer, const QByteArray &name)
    {
        for (const QByteArray &line : answer.headers.split('\n')) {
            const qsizetype colon = line.indexOf(':');
            if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
                return line.mid(colon + 1).trimmed();
        }
        return {};
    }
    static QByteArray cookieOf(const HttpAnswer &answer)
    {
        const QByteArray set = headerOf(answer, "Set-Cookie");
        const QByteArray prefix = QByteArray(kSessionCookie) + '=';
        return set.startsWith(prefix) ? set.mid(prefix.size()).split(';').first() : QByteArray();
    }
    QString eventText()
    {
        QMutexLocker locked(&eventsLock);
        return events.join(QLatin1Char('\n'));
    }

    qint64 nowMs = 1000000;
    WatchFeed feed;
    AlpacaServer server;
    std::shared_ptr<AuthService> auth;
    int changes = 0;
    QByteArray answers; // everything the server sent
    QMutex eventsLock;
    QStringList events;
};
