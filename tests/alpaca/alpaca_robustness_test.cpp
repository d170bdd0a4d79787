// The endpoint under abuse: malformed requests, silent and greedy clients,
// many connections. It must answer or close, stay bounded, and let the rest
// of the program's events run.
#include "app/program.h"
#include "station/weather_state.h"
#include "alpaca/alpaca_request.h"
#include "alpaca/alpaca_server.h"
#include "alpaca/devices/focuser_device.h"
#include "http_client.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <QRandomGenerator>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

TEST(AlpacaRequest, FormDecodingAndValueSyntax)
{
    const FormFields f = parseFormFields("a=1+2&b=%25x%2B&c&&ClientID=7");
    EXPECT_EQ(fieldValue(f, "a", true), "1 2");
    EXPECT_EQ(fieldValue(f, "b", true), "%x+");
    EXPECT_EQ(fieldValue(f, "c", true), "");
    EXPECT_EQ(fieldValue(f, "clientid", false), "7");
    EXPECT_FALSE(fieldValue(f, "clientid", true));

    EXPECT_EQ(parseAlpacaBool("TRUE"), true);
    EXPECT_FALSE(parseAlpacaBool("1"));
    EXPECT_FALSE(parseAlpacaBool(" true"));
    EXPECT_EQ(parseAlpacaInt32("-2147483648"), INT32_MIN);
    EXPECT_FALSE(parseAlpacaInt32("2147483648"));
    EXPECT_FALSE(parseAlpacaInt32(" 5"));
    EXPECT_FALSE(parseAlpacaInt32("-"));
    EXPECT_EQ(parseTransactionId("4294967295"), 4294967295u);
    EXPECT_FALSE(parseTransactionId("4294967296"));
    EXPECT_FALSE(parseTransactionId("+5"));
    EXPECT_FALSE(parseTransactionId(""));
}

class AlpacaAbuse : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetProgram();
        GuardedTcpServer::Limits limits;
        limits.idleTimeoutMs = 200;
        limits.maxConnections = 64;
        ASSERT_TRUE(serveFocuser(server, limits));
        port = server.port();
    }
    void TearDown() override { resetProgram(); }
    // The focuser on a server of these limits, for requests naming the host "x".
    bool serveFocuser(AlpacaServer &on, const GuardedTcpServer::Limits &limits)
    {
        on.addDevice(std::make_unique<FocuserDevice>(focuser, "focuser-uid"));
        on.hostGuard().setAllowedHosts("x");
        return on.listen(QHostAddress::LocalHost, 0, limits);
    }
    bool stillServes() { return httpGet(port, "/api/v1/focuser/0/absolute").status == 200; }

    WeatherState weather;
    FocuserContext focuser{weather, prog().settings};
    AlpacaServer server;
    quint16 port = 0;
};

TEST_F(AlpacaAbuse, ThousandsOfMalformedRequestsWhileTheStationTicks)
{
    int ticks = 0;
    QTimer station;
    QObject::connect(&station, &QTimer::timeout, [&] { ++ticks; });
    station.start(5);

    const QList<QByteArray> paths = {"/api/v1/focuser/0/", "/api/v1/focuser/0/tempcomp", "/api/v1/focuser/0/move",
                                     "/api/v1/focuser/0/connected", "/api/v1/FOCUSER/0/x", "/", "/management/v1/",
                                     "/api/v1/focuser/0/ismoving?ClientID=%zz", "/api/v1/focuser/0/absolute?a=%"};
    const QList<QByteArray> methods = {"GET", "PUT", "POST", "OPTIONS", "get", "PATCH"};
    QRandomGenerator rng(12345);
    const int total = 2000;
    QList<QByteArray> requests;
    for (int i = 0; i < total; ++i) {
        const QByteArray method = methods[rng.bounded(int(methods.size()))];
        QByteArray path = paths[rng.bounded(int(paths.size()))];
        QByteArray body;
        for (int n = rng.bounded(40); n > 0; --n)
            body += char(rng.bounded(1, 256));
        if (i % 7 == 0)
            body = "TempComp=" + body + "&Position=" + QByteArray::number(rng.generate());
        QByteArray request = method + " " + path + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n";
        if (i % 11 == 0)
            request += "Content-Length: 99999999\r\n";
        else
            request += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
        requests << (i % 13 == 0 ? body : request + "\r\n" + body); // some are not HTTP at all
    }
    // Fifty clients at a time; each is answered or closed by the server.
    int answered = 0;
    for (qsizetype first = 0; first < requests.size(); first += 50) {
        std::vector<std::unique_ptr<QTcpSocket>> clients;
        std::vector<QByteArray> received;
        const qsizetype count = std::min<qsizetype>(50, requests.size() - first);
        for (qsizetype k = 0; k < count; ++k) {
            clients.push_back(std::make_unique<QTcpSocket>());
            clients.back()->connectToHost(QHostAddress::LocalHost, port);
            received.emplace_back();
        }
        QElapsedTimer t;
        t.start();
        std::vector<bool> sent(count, false);
        auto open = [&] {
            for (const auto &c : clients) {
                if (c->state() != QAbstractSocket::UnconnectedState)
                    return true;
            }
            return false;
        };
        while (open() && t.elapsed() < 2000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            for (qsizetype k = 0; k < count; ++k) {
                if (!sent[k] && clients[k]->state() == QAbstractSocket::ConnectedState) {
                    clients[k]->write(requests[first + k]);
                    sent[k] = true;
                }
                if (clients[k]->isOpen())
                    received[k] += clients[k]->readAll();
                HttpAnswer a;
                if (answerComplete(received[k], a))
                    clients[k]->abort();
            }
        }
        EXPECT_FALSE(open()) << "a connection stayed open";
        for (qsizetype k = 0; k < count; ++k) {
            HttpAnswer a;
            if (answerComplete(received[k], a)) {
                ++answered;
                EXPECT_TRUE(a.status == 200 || a.status == 400) << a.status;
            }
        }
    }
    EXPECT_GT(answered, total / 2);
    EXPECT_GT(ticks, 10);
    EXPECT_TRUE(stillServes());
    EXPECT_LE(server.tcpServer()->openConnections(), 64);
}

TEST_F(AlpacaAbuse, SilentClientIsClosedAndOthersAreServedMeanwhile)
{
    QTcpSocket silent;
    silent.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(silent.waitForConnected(1000));
    EXPECT_TRUE(stillServes());
    QElapsedTimer t;
    t.start();
    while (silent.state() == QAbstractSocket::ConnectedState && t.elapsed() < 3000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_NE(silent.state(), QAbstractSocket::ConnectedState);
}

TEST_F(AlpacaAbuse, EndlessBodyIsRefusedWithoutGrowing)
{
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(client.waitForConnected(1000));
    client.write("PUT /api/v1/focuser/0/move HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n");
    const QByteArray chunk = "4000\r\n" + QByteArray(0x4000, 'a') + "\r\n";
    QByteArray received;
    QElapsedTimer t;
    t.start();
    while (client.state() == QAbstractSocket::ConnectedState && t.elapsed() < 3000) {
        if (client.bytesToWrite() < 0x10000)
            client.write(chunk);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        received += client.readAll();
    }
    received += client.readAll();
    EXPECT_NE(client.state(), QAbstractSocket::ConnectedState);
    EXPECT_TRUE(received.startsWith("HTTP/1.1 400")) << received.left(100).constData();
    EXPECT_TRUE(stillServes());
}

TEST_F(AlpacaAbuse, ManyConnectionsAtOnceStayWithinTheCap)
{
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    for (int i = 0; i < 200; ++i) {
        sockets.push_back(std::make_unique<QTcpSocket>());
        sockets.back()->connectToHost(QHostAddress::LocalHost, port);
    }
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_LE(server.tcpServer()->openConnections(), 64);
    EXPECT_TRUE(stillServes());
}

// SetupDialog holds its request while the modal dialog runs its own event
// loop; the connection must survive that, whatever the client does meanwhile.
TEST_F(AlpacaAbuse, RequestHeldByAModalDialogIsNeitherCutNorFreedUnderIt)
{
    int dialogs = 0;
    std::function<void()> whileOpen;
    focuser.runSetupDialog = [&] {
        ++dialogs;
        QEventLoop dialog; // longer than the idle time-out of 200 ms
        if (whileOpen)
            QTimer::singleShot(50, &dialog, whileOpen);
        QTimer::singleShot(600, &dialog, &QEventLoop::quit);
        dialog.exec();
    };
    const HttpAnswer a = httpPut(port, "/api/v1/focuser/0/setupdialog", "ClientTransactionID=8");
    EXPECT_EQ(a.status, 200);
    EXPECT_EQ(a.json().value("ClientTransactionID").toInt(), 8);

    // A client that gives up while the dialog is open: its answer is dropped.
    QTcpSocket client;
    whileOpen = [&] { client.abort(); };
    client.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(client.waitForConnected(1000));
    client.write("PUT /api/v1/focuser/0/setupdialog HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n");
    QElapsedTimer t;
    t.start();
    while (dialogs < 2 && t.elapsed() < 3000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_EQ(dialogs, 2);
    EXPECT_EQ(client.state(), QAbstractSocket::UnconnectedState);
    EXPECT_TRUE(stillServes());
}

TEST(AlpacaConnections, TheLeastRecentlyActiveConnectionMakesRoom)
{
    WeatherState weather;
    FocuserContext focuser{weather, prog().settings};
    AlpacaServer server;
    server.addDevice(std::make_unique<FocuserDevice>(focuser, "focuser-uid"));
    server.hostGuard().setAllowedHosts("x");
    GuardedTcpServer::Limits limits;
    limits.maxConnections = 2;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0, limits));
    const auto settle = [](int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    };
    QTcpSocket oldest, newer, newest;
    oldest.connectToHost(QHostAddress::LocalHost, server.port());
    settle(60);
    newer.connectToHost(QHostAddress::LocalHost, server.port());
    settle(60);
    oldest.write("GET /api/v1/focuser/0/name HTTP/1.1\r\nHost: x\r\n\r\n"); // now the most recently active
    settle(60);
    newest.connectToHost(QHostAddress::LocalHost, server.port());
    settle(150);
    EXPECT_EQ(oldest.state(), QAbstractSocket::ConnectedState);
    EXPECT_NE(newer.state(), QAbstractSocket::ConnectedState);
    EXPECT_EQ(newest.state(), QAbstractSocket::ConnectedState);
}

// A client that has closed its connection no longer takes a place under the
// cap, even before the event loop has seen the close.
TEST(AlpacaConnections, OnlyConnectionsStillOpenCount)
{
    AlpacaServer server;
    GuardedTcpServer::Limits limits;
    limits.maxConnections = 2;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0, limits));
    QTcpSocket stays, leaves;
    stays.connectToHost(QHostAddress::LocalHost, server.port());
    leaves.connectToHost(QHostAddress::LocalHost, server.port());
    ASSERT_TRUE(stays.waitForConnected(1000) && leaves.waitForConnected(1000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.tcpServer()->openConnections() == 2; }, 1000));
    const int fd = int(leaves.socketDescriptor());
    ::shutdown(fd, SHUT_RDWR); // the close reaches the server's kernel, not yet its event loop
    ::usleep(20000);
    EXPECT_EQ(server.tcpServer()->openConnections(), 1);
}

// The head of a request has a time limit that trickling bytes do not renew.
TEST_F(AlpacaAbuse, ARequestHeadDrippingInIsClosedAtItsLimit)
{
    AlpacaServer slow;
    GuardedTcpServer::Limits limits;
    limits.idleTimeoutMs = 300;
    limits.headTimeoutMs = 600;
    ASSERT_TRUE(serveFocuser(slow, limits));
    QTcpSocket drip;
    drip.connectToHost(QHostAddress::LocalHost, slow.port());
    ASSERT_TRUE(drip.waitForConnected(1000));
    drip.write("GET /api/v1/focuser/0/name HTTP/1.1\r\n");
    QElapsedTimer t;
    t.start();
    while (drip.state() == QAbstractSocket::ConnectedState && t.elapsed() < 3000) {
        drip.write("X");
        QTest::qWait(100);
    }
    EXPECT_NE(drip.state(), QAbstractSocket::ConnectedState);
    EXPECT_LT(t.elapsed(), 1500);

    // A whole head in time is answered as ever, however it is split.
    QTcpSocket split;
    split.connectToHost(QHostAddress::LocalHost, slow.port());
    ASSERT_TRUE(split.waitForConnected(1000));
    split.write("GET /api/v1/focuser/0/name HTTP/1.1\r\nHost: x\r");
    QTest::qWait(100);
    split.write("\n\r\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return split.bytesAvailable() > 0; }, 2000));
    EXPECT_TRUE(split.readAll().startsWith("HTTP/1.1 200"));
}

// The answer, then the server's close when the client asked for one answer
// only; a keep-alive connection stays (the idle time-out is 5 s here).
TEST_F(AlpacaAbuse, ConnectionCloseAndHttp10CloseAfterTheAnswer)
{
    AlpacaServer held;
    GuardedTcpServer::Limits limits;
    limits.idleTimeoutMs = 5000;
    ASSERT_TRUE(serveFocuser(held, limits));
    const struct {
        const char *head;
        bool closed;
    } cases[] = {
        {"GET /api/v1/focuser/0/name HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n", true},
        {"GET /api/v1/focuser/0/name HTTP/1.1\r\nHost: x\r\nconnection: Keep-Alive, Close\r\n\r\n", true},
        {"GET /api/v1/focuser/0/name HTTP/1.0\r\nHost: x\r\n\r\n", true},
        {"GET /tarnwick/none HTTP/1.0\r\nHost: x\r\n\r\n", true}, // a route's answer, not a device's
        {"GET /api/v1/focuser/0/name HTTP/1.0\r\nHost: x\r\nConnection: keep-alive\r\n\r\n", false},
        {"GET /api/v1/focuser/0/name HTTP/1.1\r\nHost: x\r\n\r\n", false},
    };
    held.addRoute("/tarnwick/", [](const HttpRouteRequest &) { return HttpRouteReply{404, "text/plain", "none"}; });
    for (const auto &c : cases) {
        SCOPED_TRACE(c.head);
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, held.port());
        ASSERT_TRUE(client.waitForConnected(1000));
        client.write(c.head);
        QByteArray received;
        HttpAnswer answer;
        EXPECT_TRUE(QTest::qWaitFor([&] { received += client.readAll(); return answerComplete(received, answer); }, 2000));
        EXPECT_GT(answer.status, 0);
        const bool closed = QTest::qWaitFor([&] { return client.state() == QAbstractSocket::UnconnectedState; }, 1000);
        EXPECT_EQ(closed, c.closed);
    }
}

// A polite client polling on one keep-alive connection while others hold
// every place with heads that drip in and never end: they make room, not it.
TEST_F(AlpacaAbuse, AClientThatCompletesRequestsOutlastsDrippingHeads)
{
    AlpacaServer crowded;
    GuardedTcpServer::Limits limits;
    limits.maxConnections = 4;
    ASSERT_TRUE(serveFocuser(crowded, limits));
    const quint16 port = crowded.port();
    QTcpSocket polite;
    polite.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(polite.waitForConnected(1000));
    std::vector<std::unique_ptr<QTcpSocket>> drippers;
    int answered = 0;
    QByteArray received;
    for (int poll = 0; poll < 10; ++poll) {
        received.clear();
        polite.write("GET /api/v1/focuser/0/name HTTP/1.1\r\nHost: x\r\n\r\n");
        HttpAnswer a;
        if (QTest::qWaitFor([&] { received += polite.readAll(); return answerComplete(received, a); }, 1000))
            ++answered;
        // A quarter of a second between polls; meanwhile new drippers come and the old ones drip on.
        for (int step = 0; step < 5; ++step) {
            drippers.push_back(std::make_unique<QTcpSocket>());
            drippers.back()->connectToHost(QHostAddress::LocalHost, port);
            QTest::qWait(50);
            for (const auto &d : drippers) {
                if (d->state() != QAbstractSocket::ConnectedState)
                    continue;
                d->write(d->objectName().isEmpty() ? "GET / HTTP/1.1\r\n" : "X");
                d->setObjectName(QStringLiteral("dripping"));
            }
        }
    }
    EXPECT_EQ(answered, 10);
    EXPECT_EQ(polite.state(), QAbstractSocket::ConnectedState);
    EXPECT_LE(crowded.tcpServer()->openConnections(), 4);
}
