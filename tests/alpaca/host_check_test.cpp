// Host names the HTTP endpoint answers: a page elsewhere must not reach the
// devices, the page or the JSON through a name rebound to this machine.
#include "alpaca/alpaca_server.h"
#include "alpaca/devices/focuser_device.h"
#include "alpaca/host_guard.h"
#include "app/program.h"
#include "watch/watch_status.h"
#include "station/weather_state.h"
#include "web/web_routes.h"
#include "http_client.h"

#include <QHostInfo>
#include <QNetworkInterface>
#include <gtest/gtest.h>

namespace {
QByteArray request(const QByteArray &target, const QByteArray &host, const QByteArray &body = {})
{
    const QByteArray method = body.isNull() ? "GET" : "PUT";
    QByteArray r = method + " " + target + " HTTP/1.1\r\n";
    if (!host.isNull())
        r += "Host: " + host + "\r\n";
    r += "Connection: close\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
    return r;
}

// An IPv4 address of this machine other than loopback, or loopback when it has none.
QHostAddress ownAddress()
{
    for (const QHostAddress &a : QNetworkInterface::allAddresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback())
            return a;
    return QHostAddress::LocalHost;
}
} // namespace

class HostCheck : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetProgram();
        server.addDevice(std::make_unique<FocuserDevice>(focuser, "focuser-uid"));
        installWebRoutes([this](const QString &path, HttpRouteHandler h) { server.addRoute(path, std::move(h)); },
                         feed, nullptr);
        ASSERT_TRUE(server.listen(QHostAddress::AnyIPv4, 0)) << server.error().toStdString();
        port = QByteArray::number(server.port());
    }
    void TearDown() override { resetProgram(); }
    HttpAnswer ask(const QByteArray &target, const QByteArray &host, const QByteArray &body = {},
                   const QHostAddress &to = QHostAddress::LocalHost)
    {
        return rawExchange(server.port(), request(target, host, body), 3000, to);
    }

    WeatherState weather;
    FocuserContext focuser{weather, prog().settings};
    WatchFeed feed;
    AlpacaServer server;
    QByteArray port;
};

TEST_F(HostCheck, AForeignNameIsRefusedOnThePageTheJsonAndTheDevices)
{
    for (const QByteArray &host : {QByteArray("evil.example"), "evil.example:" + port, QByteArray("localhost.evil.example"),
                                   QByteArray("0.0.0.0:") + port, QByteArray("127.0.0.1:x")}) {
        for (const HttpAnswer &a : {ask("/", host), ask("/tarnwick/v1/live", host),
                                    ask("/api/v1/focuser/0/connected", host, "Connected=true&ClientID=1")}) {
            EXPECT_EQ(a.status, 403) << host.constData();
            EXPECT_TRUE(a.headers.toLower().contains("content-type: text/plain"));
            EXPECT_FALSE(a.headers.toLower().contains("access-control-"));
        }
    }
    EXPECT_FALSE(focuser.Linked); // the refused PUT did nothing
}

TEST_F(HostCheck, ThisMachinesAddressesAndNamesAreServed)
{
    const QHostAddress own = ownAddress();
    const QByteArray ownText = own.toString().toLatin1();
    const QByteArray hostName = QHostInfo::localHostName().toLower().toLatin1();
    for (const QByteArray &host : {"127.0.0.1:" + port, QByteArray("127.0.0.1"), "[::1]:" + port, "localhost:" + port,
                                   QByteArray("LocalHost."), hostName, hostName + ".local:" + port, ownText + ":" + port,
                                   QByteArray()}) {
        EXPECT_EQ(ask("/", host).status, 200) << host.constData();
        EXPECT_EQ(ask("/tarnwick/v1/live", host).status, 200) << host.constData();
        const HttpAnswer a = ask("/api/v1/focuser/0/connected", host, "Connected=true&ClientID=1");
        EXPECT_EQ(a.status, 200) << host.constData();
        EXPECT_FALSE(a.headers.toLower().contains("access-control-"));
    }
    // An Alpaca client that sends the address it connected to.
    EXPECT_EQ(ask("/api/v1/focuser/0/name", ownText + ":" + port, {}, own).status, 200);
    // HTTP/1.0 without a Host line.
    EXPECT_EQ(rawExchange(server.port(), "GET /api/v1/focuser/0/name HTTP/1.0\r\n\r\n").status, 200);
}

TEST_F(HostCheck, AllowedHostsAddNamesSuchAsAProxys)
{
    EXPECT_EQ(ask("/", "observatory.example.org").status, 403);
    server.hostGuard().setAllowedHosts(" Observatory.Example.org , pier7 ,");
    EXPECT_EQ(ask("/", "observatory.example.org:443").status, 200);
    EXPECT_EQ(ask("/tarnwick/v1/live", "PIER7").status, 200);
    EXPECT_EQ(ask("/", "example.org").status, 403);
}

TEST(HostGuardRule, OwnAddressesOnlyWithOrWithoutPort)
{
    const HostGuard guard([] { return QList<QHostAddress>{QHostAddress("192.168.1.5"), QHostAddress("fe80::1%eth0")}; },
                          QStringLiteral("Pier.lan"));
    for (const char *ok : {"192.168.1.5", "192.168.1.5:11111", "[fe80::1]:11111", "127.0.0.2:80", "pier.lan", "pier.local",
                           "PIER.LOCAL:8080", "pier", "localhost", ""})
        EXPECT_TRUE(guard.allows(ok)) << ok;
    for (const char *refused : {"192.168.1.6", "0.0.0.0", "[::]:80", "evil.example", "pier.lan.evil.example", "a b",
                                "192.168.1.5:11111:1", "[::1", "user@localhost", "localhost:999999"})
        EXPECT_FALSE(guard.allows(refused)) << refused;
}
