// The Focuser over Alpaca on loopback: member rules, errors, traffic, client
// objects, management and discovery.
#include "app/program.h"
#include "station/weather_state.h"
#include "fake_hand_box.h"
#include "alpaca/alpaca_discovery.h"
#include "alpaca/alpaca_server.h"
#include "alpaca/devices/focuser_device.h"
#include "watch/watch_status.h"
#include "windows/traffic_setup.h"
#include "windows/traffic_window.h"
#include "http_client.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QPushButton>
#include <QJsonArray>
#include <QNetworkDatagram>
#include <QUdpSocket>
#include <gtest/gtest.h>

class AlpacaHttp : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetProgram();
        focuser.handBox = &handBox;
        focuser.shutDown = [this] {
            handBox.unload();
            ++quits;
        };
        focuser.drive = [this](int32_t t) { targets.push_back(t); };
        focuser.traffic = &trafficFor;
        // Readings are fresh: the board's last record is a moment old.
        const QDateTime now = QDateTime::currentDateTimeUtc();
        feed.setBoard(BoardStatus{BoardState::Live, "/dev/ttyUSB0", "", now, now});
        Observation record;
        record.utc = now;
        feed.publish(record);
        focuser.watch = &feed;
        focuser.clock = [now] { return now; };
        server = std::make_unique<AlpacaServer>();
        device = server->addDevice(std::make_unique<FocuserDevice>(focuser, "focuser-uid"));
        ASSERT_TRUE(server->listen(QHostAddress::LocalHost, 0)) << server->error().toStdString();
        port = server->port();
    }
    void TearDown() override
    {
        server.reset();
        unloadTrafficWindow(prog().TrafficWindow);
        resetProgram();
    }
    TrafficWindow *openTraffic(std::initializer_list<TrafficGroup> groups)
    {
        showTrafficWindow(prog().TrafficWindow);
        auto *w = dynamic_cast<TrafficWindow *>(prog().TrafficWindow);
        for (TrafficGroup g : groups)
            w->groupBox(g)->setChecked(true);
        return w;
    }
    QJsonObject get(const QByteArray &member, const QByteArray &query = "ClientID=1")
    {
        const HttpAnswer a = httpGet(port, "/api/v1/focuser/0/" + member + "?" + query);
        EXPECT_EQ(a.status, 200) << member.constData() << ": " << a.body.constData();
        return a.json();
    }
    QJsonObject put(const QByteArray &member, const QByteArray &form)
    {
        const HttpAnswer a = httpPut(port, "/api/v1/focuser/0/" + member, form);
        EXPECT_EQ(a.status, 200) << member.constData() << ": " << a.body.constData();
        return a.json();
    }
    static int error(const QJsonObject &o) { return o.value("ErrorNumber").toInt(); }

    WeatherState weather;
    FocuserContext focuser{weather, prog().settings};
    WatchFeed feed;
    FocuserDevice *device = nullptr;
    FakeHandBox handBox;
    std::vector<int32_t> targets;
    int quits = 0;
    std::unique_ptr<AlpacaServer> server;
    quint16 port = 0;
};

TEST_F(AlpacaHttp, UserStartedProgramNeverDisconnects)
{
    TrafficWindow *w = openTraffic({TrafficGroup::OtherCalls});
    EXPECT_EQ(error(put("connected", "Connected=True&ClientID=1")), 0);
    EXPECT_EQ(error(put("link", "Link=false&ClientID=1")), 0);
    EXPECT_TRUE(focuser.Linked);
    // The link stays, but the client reads its own Connected=False.
    EXPECT_FALSE(get("connected").value("Value").toBool());
    put("link", "Link=true&ClientID=1");
    EXPECT_EQ(w->log().text(), "Link: False -> True (done)\r\n"
                               "Link: True -> False (ignored, not auto launch)\r\n"
                               "Link: True\r\n"
                               "Link: True -> True (done)\r\n");
    EXPECT_EQ(focuser.ClientCount, 0);
}

TEST_F(AlpacaHttp, ClientStartedProgramCountsClientsAndClosesWithTheLast)
{
    focuser.startedByUser = false;
    TrafficWindow *w = openTraffic({TrafficGroup::OtherCalls});
    put("connected", "Connected=true&ClientID=1");
    put("connected", "Connected=true&ClientID=2");
    EXPECT_EQ(focuser.ClientCount, 2);
    put("connected", "Connected=false&ClientID=1");
    EXPECT_TRUE(w->log().text().endsWith("Link: True -> False (ignored, not last user)\r\n"));
    EXPECT_TRUE(focuser.Linked);
    EXPECT_EQ(focuser.ClientCount, 1);
    EXPECT_FALSE(device->hasClient(1));
    EXPECT_EQ(handBox.unloads, 0);

    put("link", "Link=false&ClientID=2");
    EXPECT_FALSE(focuser.Linked);
    EXPECT_TRUE(w->log().text().endsWith("Link: True -> False (done)\r\n"));
    EXPECT_EQ(handBox.unloads, 1);
    EXPECT_EQ(quits, 1);
}

TEST_F(AlpacaHttp, AClientWithoutAConnectionCannotDisconnectAnother)
{
    focuser.startedByUser = false;
    put("connected", "Connected=true&ClientID=1");
    EXPECT_EQ(error(put("connected", "Connected=false&ClientID=2")), 0);
    EXPECT_TRUE(focuser.Linked);
    EXPECT_TRUE(get("connected").value("Value").toBool());
    EXPECT_FALSE(get("connected", "ClientID=2").value("Value").toBool());
    EXPECT_EQ(quits, 0);
}

TEST_F(AlpacaHttp, WithoutARestarterTheLastReleaseKeepsTheProgramRunning)
{
    focuser.startedByUser = false;
    focuser.shutDown = nullptr; // nobody would start the program again
    for (int round = 0; round < 2; ++round) {
        put("connected", "Connected=true&ClientID=1");
        EXPECT_EQ(focuser.ClientCount, 1);
        put("connected", "Connected=false&ClientID=1");
        EXPECT_FALSE(focuser.Linked) << round;
        EXPECT_EQ(focuser.ClientCount, 0);
    }
    EXPECT_EQ(handBox.unloads, 0);
}

TEST_F(AlpacaHttp, MaxIncrementIsAWholeNumberWithinOneToMaxStep)
{
    prog().settings.WindSpeedCloseD = 17;
    for (auto [setting, served] : {std::pair{2.5, 2}, {3.5, 4}, {0.0, 1}, {-4.0, 1}, {1e6, 17}}) {
        prog().settings.MaxInc = setting;
        const HttpAnswer a = httpGet(port, "/api/v1/focuser/0/maxincrement");
        EXPECT_TRUE(a.body.contains("\"Value\":" + QByteArray::number(served) + "}")) << setting << a.body.constData();
    }
    EXPECT_EQ(alpacaMaxIncrement(5, 1e12), 5);
    EXPECT_EQ(alpacaMaxIncrement(1e12, 1e12), 2147483647);
}

TEST(AlpacaDiscoveryRule, AnswersOnlyWhereTheEndpointCanBeReached)
{
    using A = AlpacaDiscovery::Arrival;
    const QHostAddress lo("127.0.0.1"), lan("192.168.1.5"), other("10.0.0.9"), bcast("255.255.255.255");
    const A fromLoopback{lo, lo, 1};
    const A toLan{QHostAddress("192.168.1.20"), lan, 2};
    const A broadcastOnLan{QHostAddress("192.168.1.20"), bcast, 2};
    const A broadcastElsewhere{QHostAddress("10.0.0.20"), bcast, 3};
    for (const A &a : {fromLoopback, toLan, broadcastOnLan, broadcastElsewhere})
        EXPECT_TRUE(AlpacaDiscovery::reachable(QHostAddress::Any, 0, a));
    EXPECT_TRUE(AlpacaDiscovery::reachable(lo, 1, fromLoopback));
    EXPECT_FALSE(AlpacaDiscovery::reachable(lo, 1, toLan));
    // Bound to one card's address: a loopback asker could not reach it at 127.0.0.1.
    EXPECT_FALSE(AlpacaDiscovery::reachable(lan, 2, fromLoopback));
    EXPECT_TRUE(AlpacaDiscovery::reachable(lan, 2, A{lo, lan, 1})); // this host asking at the card's address
    EXPECT_TRUE(AlpacaDiscovery::reachable(lan, 2, toLan));
    EXPECT_TRUE(AlpacaDiscovery::reachable(lan, 2, broadcastOnLan));
    EXPECT_FALSE(AlpacaDiscovery::reachable(lan, 2, broadcastElsewhere));
    EXPECT_FALSE(AlpacaDiscovery::reachable(other, 0, toLan));
    EXPECT_FALSE(AlpacaDiscovery::reachable(QHostAddress::AnyIPv6, 0, toLan));
}

TEST_F(AlpacaHttp, CallsWithoutAnObjectAreNotCounted)
{
    focuser.startedByUser = false;
    get("name");
    get("absolute");
    EXPECT_EQ(focuser.ClientCount, 0);
    EXPECT_EQ(quits, 0);
}

TEST_F(AlpacaHttp, WindCurrentChecksCapabilityThenLink)
{
    TrafficWindow *w = openTraffic({TrafficGroup::OtherCalls});
    prog().settings.Absolute = false;
    QJsonObject o = get("windcurrent");
    EXPECT_EQ(error(o), 1024);
    EXPECT_EQ(o.value("ErrorMessage").toString(), "Property WindCurrent is not implemented by this focus driver.");
    EXPECT_EQ(o.value("ErrorSource").toString(), "ASCOM Pellon focuser");
    EXPECT_TRUE(o.contains("Value"));

    w->findChild<QPushButton *>("cmdClear")->click();
    prog().settings.Absolute = true;
    o = get("position");
    EXPECT_EQ(error(o), 1031);
    EXPECT_EQ(o.value("ErrorMessage").toString(), "The focuser is not connected");
    EXPECT_EQ(w->log().text(), "WindCurrent: ");

    put("connected", "Connected=true");
    prog().settings.Position = 1234;
    o = get("windcurrent");
    EXPECT_EQ(error(o), 0);
    EXPECT_EQ(o.value("Value").toDouble(), 1234);
    EXPECT_EQ(o.value("ErrorMessage").toString(), "");
}

TEST_F(AlpacaHttp, TempCompCapabilityGateComesBeforeTheLinkCheck)
{
    prog().settings.CanTemp = false;
    QJsonObject o = put("tempcomp", "TempComp=true");
    EXPECT_EQ(error(o), 1024);
    EXPECT_EQ(o.value("ErrorMessage").toString(), "Property TempComp is not implemented by this focus driver.");
    EXPECT_EQ(error(put("tempcomp", "TempComp=false")), 1031);

    put("connected", "Connected=true");
    EXPECT_EQ(error(put("tempcomp", "TempComp=false")), 0);
    EXPECT_EQ(handBox.tempCompStates, std::vector<int>{0});
    weather.TempEnabled = true;
    EXPECT_FALSE(get("tempcomp").value("Value").toBool());
    EXPECT_FALSE(get("tempcompavailable").value("Value").toBool());

    prog().settings.CanTemp = true;
    weather.WindSpeed = 7.5;
    EXPECT_EQ(error(put("tempcomp", "TempComp=True")), 0);
    EXPECT_EQ(focuser.LastComp, 7.5);
    EXPECT_TRUE(get("tempcomp").value("Value").toBool());
}

TEST_F(AlpacaHttp, TemperatureIsTheWindValueAndCapabilitiesGateOtherMembers)
{
    put("connected", "Connected=true");
    for (double v : {0.0, -3.25, 12.5}) {
        weather.WindSpeed = v;
        EXPECT_EQ(get("temperature").value("Value").toDouble(), v);
    }
    prog().settings.CanTemp = false;
    EXPECT_EQ(get("temperature").value("ErrorMessage").toString(),
              "Property Temperature is not implemented by this focus driver.");
    prog().settings.CanHalt = false;
    EXPECT_EQ(put("halt", "").value("ErrorMessage").toString(), "Halt is not implemented by this focus driver.");

    // WindSpeedWarn needs no link, only its capability.
    put("connected", "Connected=false");
    prog().settings.WindSpeedWarn = 10.5;
    EXPECT_EQ(get("stepsize").value("Value").toDouble(), 10.5);
    prog().settings.CanStepSize = false;
    EXPECT_EQ(error(get("windspeedwarn")), 1024);
}

TEST_F(AlpacaHttp, MaxStepRoundsHalvesToEvenAndOverflowIsAnError)
{
    prog().settings.WindSpeedCloseD = 2.5;
    EXPECT_EQ(get("windspeedclosed").value("Value").toInt(), 2);
    prog().settings.WindSpeedCloseD = 3.5;
    EXPECT_EQ(get("maxstep").value("Value").toInt(), 4);
    TrafficWindow *w = openTraffic({TrafficGroup::OtherCalls});
    prog().settings.WindSpeedCloseD = 1e12;
    const QJsonObject o = get("maxstep");
    EXPECT_EQ(error(o), 0x4FF); // the driver's catch-all error
    EXPECT_EQ(o.value("ErrorMessage").toString(), "Overflow");
    EXPECT_TRUE(w->log().text().isEmpty());

    // A compensation step whose target lies beyond the 32-bit range.
    prog().settings.TempMax = 1;
    prog().settings.TempSteps = 2000000000;
    focuser.LastComp = 0;
    weather.WindSpeed = 5;
    const QJsonObject step = put("do_tempcomp", "");
    EXPECT_EQ(error(step), 0x4FF);
    EXPECT_EQ(step.value("ErrorMessage").toString(), "Overflow");
    EXPECT_TRUE(targets.empty());
}

TEST_F(AlpacaHttp, MoveHaltAndIsMoving)
{
    TrafficWindow *w = openTraffic({TrafficGroup::MoveHalt, TrafficGroup::IsMoving, TrafficGroup::OtherCalls});
    prog().settings.Position = 500;
    EXPECT_EQ(error(put("move", "Position=900")), 0); // not linked, still fine
    EXPECT_EQ(w->log().text(), "");
    EXPECT_EQ(error(get("ismoving")), 1031);
    put("connected", "Connected=true");
    EXPECT_FALSE(get("ismoving").value("Value").toBool());
    EXPECT_EQ(error(put("halt", "")), 0);
    EXPECT_EQ(get("position").value("Value").toDouble(), 500);
    EXPECT_EQ(w->log().text().count("IsMoving: False"), 2);
    EXPECT_TRUE(w->log().text().contains("Halt (done)\r\n"));
}

TEST_F(AlpacaHttp, DoTempCompHandsItsTargetsToTheMotionHook)
{
    Settings &s = prog().settings;
    s.TempMax = 1.5;
    s.TempSteps = 30;
    s.Position = 1000;
    s.BacklashComp = 20;
    struct Case {
        bool synchronous, backlashDir;
        double value;
        std::vector<int32_t> expected;
    };
    for (const Case &c : {Case{false, false, 12.0, {1040}}, Case{true, true, 8.0, {940, 960}},
                          Case{true, true, 12.0, {1040}}, Case{true, false, 12.0, {1060, 1040}}}) {
        targets.clear();
        s.Synchronous = c.synchronous;
        s.BacklashDir = c.backlashDir;
        focuser.LastComp = 10.0;
        weather.WindSpeed = c.value;
        EXPECT_EQ(error(put("do_tempcomp", "ClientID=3")), 0);
        EXPECT_EQ(targets, c.expected);
        EXPECT_EQ(focuser.LastComp, c.value);
    }
    s.Synchronous = false;
    s.TempMax = 1;
    s.TempSteps = 1;
    s.Position = 0;
    for (auto [value, target] : {std::pair{2.5, 2}, std::pair{3.5, 4}}) {
        targets.clear();
        focuser.LastComp = 0;
        weather.WindSpeed = value;
        put("do_tempcomp", "");
        EXPECT_EQ(targets, std::vector<int32_t>{target});
    }
}

TEST_F(AlpacaHttp, ProtocolErrorsAreBadRequests)
{
    const auto status = [&](const QByteArray &raw) { return rawExchange(port, raw).status; };
    EXPECT_EQ(httpGet(port, "/api/v1/focuser/0/Absolute").status, 400);
    EXPECT_EQ(httpGet(port, "/api/v1/Focuser/0/absolute").status, 400);
    EXPECT_EQ(httpGet(port, "/api/v2/focuser/0/absolute").status, 400);
    EXPECT_EQ(httpGet(port, "/api/v1/focuser/1/absolute").status, 400);
    EXPECT_EQ(httpGet(port, "/api/v1/focuser/99999999999/absolute").status, 400);
    EXPECT_EQ(httpGet(port, "/api/v1/focuser/-1/absolute").status, 400);
    EXPECT_EQ(httpGet(port, "/api/v1/focuser/0/descrip").status, 400);
    EXPECT_EQ(httpGet(port, "/api/v1/focuser/0/move").status, 400);
    EXPECT_EQ(httpPut(port, "/api/v1/focuser/0/absolute", "").status, 400);
    EXPECT_EQ(status("POST /api/v1/focuser/0/connected HTTP/1.1\r\nContent-Length: 0\r\n\r\n"), 400);
    EXPECT_EQ(status("DELETE /api/v1/focuser/0/connected HTTP/1.1\r\n\r\n"), 400);
    EXPECT_EQ(httpPut(port, "/api/v1/focuser/0/tempcomp", "tEMPcOMP=true").status, 400);
    EXPECT_EQ(httpPut(port, "/api/v1/focuser/0/connected", "Connected=").status, 400);
    EXPECT_EQ(httpPut(port, "/api/v1/focuser/0/connected", "Connected=123456").status, 400);
    EXPECT_EQ(httpPut(port, "/api/v1/focuser/0/move", "Position=1.5").status, 400);
    EXPECT_EQ(httpPut(port, "/api/v1/focuser/0/move", "Position=99999999999").status, 400);
    EXPECT_EQ(httpGet(port, "/api/v1/focuser/0/absolute?ClientTransactionID=-1").status, 400);
    EXPECT_EQ(httpGet(port, "/api/v1/focuser/0/absolute?ClientID=abc").status, 400);
    // Parameters of a PUT come from the body only.
    EXPECT_EQ(httpPut(port, "/api/v1/focuser/0/tempcomp?TempComp=true", "").status, 400);
    const HttpAnswer a = httpGet(port, "/api/v1/focuser/0/descrip");
    EXPECT_TRUE(a.headers.toLower().contains("content-type: text/plain"));
    EXPECT_FALSE(a.body.isEmpty());
}

TEST_F(AlpacaHttp, TransactionIdsFollowTheKeyCaseRules)
{
    QJsonObject o = get("absolute", "clienttransactionid=42&ExtraParameter=ExtraValue");
    EXPECT_EQ(o.value("ClientTransactionID").toInteger(), 42);
    const qint64 first = o.value("ServerTransactionID").toInteger();
    EXPECT_GE(first, 1);
    o = put("move", "clienttransactionid=43&Position=5");
    EXPECT_EQ(o.value("ClientTransactionID").toInteger(), 0);
    EXPECT_FALSE(o.contains("Value"));
    o = put("move", "ClientTransactionID=4294967295&Position=5");
    EXPECT_EQ(o.value("ClientTransactionID").toInteger(), 4294967295LL);
    EXPECT_EQ(o.value("ServerTransactionID").toInteger(), first + 2);
    EXPECT_EQ(get("supportedactions").value("Value").toArray(), QJsonArray());
    EXPECT_EQ(get("interfaceversion").value("Value").toInt(), 1);
    EXPECT_EQ(error(put("action", "Action=foo")), 0x40C);
    EXPECT_EQ(error(put("commandblind", "Command=x&Raw=true")), 1024);
}

TEST_F(AlpacaHttp, ManagementAnswersAndDiscoveryReplies)
{
    HttpAnswer a = httpGet(port, "/management/apiversions?ClientTransactionID=5");
    EXPECT_EQ(a.status, 200);
    EXPECT_EQ(a.json().value("Value").toArray(), QJsonArray{1});
    EXPECT_EQ(a.json().value("ClientTransactionID").toInt(), 5);
    const QJsonObject d = httpGet(port, "/management/v1/description").json().value("Value").toObject();
    EXPECT_FALSE(d.value("Manufacturer").toString().isEmpty());
    EXPECT_FALSE(d.value("ManufacturerVersion").toString().isEmpty());
    const QJsonArray devices = httpGet(port, "/management/v1/configureddevices").json().value("Value").toArray();
    ASSERT_EQ(devices.size(), 1);
    EXPECT_EQ(devices[0].toObject().value("DeviceType").toString(), "Focuser");
    EXPECT_EQ(devices[0].toObject().value("DeviceNumber").toInt(), 0);
    EXPECT_EQ(devices[0].toObject().value("UniqueID").toString(), device->uniqueId());
    EXPECT_EQ(httpGet(port, "/setup").status, 200);
    EXPECT_EQ(httpPut(port, "/management/apiversions", "").status, 400);

    ASSERT_TRUE(server->startDiscovery(0, QHostAddress::LocalHost)) << server->error().toStdString();
    QUdpSocket asker;
    ASSERT_TRUE(asker.bind(QHostAddress::LocalHost, 0));
    asker.writeDatagram(QByteArray("alpacadiscovery1"), QHostAddress::LocalHost, server->discovery()->port());
    asker.writeDatagram(QByteArray("something else"), QHostAddress::LocalHost, server->discovery()->port());
    QElapsedTimer t;
    t.start();
    QList<QByteArray> replies;
    while (t.elapsed() < 1000 && replies.size() < 2) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        while (asker.hasPendingDatagrams())
            replies << asker.receiveDatagram().data();
    }
    EXPECT_EQ(replies, QList<QByteArray>{"{\"AlpacaPort\":" + QByteArray::number(port) + "}"});
}

TEST_F(AlpacaHttp, APortInUseIsRefusedWithOneLine)
{
    AlpacaServer second;
    EXPECT_FALSE(second.listen(QHostAddress::LocalHost, port));
    EXPECT_TRUE(second.error().contains(QString::number(port)));
    EXPECT_FALSE(second.error().contains('\n'));
}

TEST_F(AlpacaHttp, ExtraRoutesServeTheirPathsAndLeaveAlpacaPathsToTheDevice)
{
    server->addRoute("/", [](const HttpRouteRequest &) { return HttpRouteReply{200, "text/html", "page"}; });
    server->addRoute("/feed/", [](const HttpRouteRequest &r) { return HttpRouteReply{200, "text/plain", r.path.toUtf8()}; });
    EXPECT_EQ(httpGet(port, "/").body, "page");
    EXPECT_EQ(httpGet(port, "/feed/a?x=1").body, "/feed/a");
    EXPECT_EQ(httpGet(port, "/elsewhere").body, "page");
    EXPECT_EQ(httpGet(port, "/management/v1/description").json().value("Value").toObject().isEmpty(), false);
}
