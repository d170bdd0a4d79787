// The observing-conditions and safety-monitor devices over HTTP on loopback,
// beside the focuser: routing and management, common members, units and
// errors, and IsSafe on a clock the test moves.
#include "observation_fixture.h"
#include "app/program.h"
#include "watch/watch_status.h"
#include "alpaca/alpaca_server.h"
#include "alpaca/devices/focuser_device.h"
#include "alpaca/devices/observing_conditions_device.h"
#include "alpaca/devices/safety_monitor_device.h"
#include "safety/safety_watch.h"
#include "station/alert_engine.h"
#include "station/weather_state.h"
#include "http_client.h"

#include <QJsonArray>
#include <gtest/gtest.h>

namespace {
const QDateTime t0 = QDateTime(QDate(2026, 12, 7), QTime(22, 0), Qt::UTC);

struct NoPrograms : ProgramLauncher {
    QStringList started;
    void start(const QString &commandLine) override { started << commandLine; }
};
} // namespace

class AlpacaWeather : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetProgram();
        const auto clock = [this] { return now; };
        focuser.watch = &feed;
        focuser.clock = clock;
        server = std::make_unique<AlpacaServer>();
        focuserDevice = server->addDevice(std::make_unique<FocuserDevice>(focuser, "focuser-uid"));
        server->addDevice(std::make_unique<ObservingConditionsDevice>(
            feed, [] { return staleLimitSeconds(prog().settings); }, "oc-uid", clock));
        server->addDevice(std::make_unique<SafetyMonitorDevice>(feed, "sm-uid", clock));
        ASSERT_TRUE(server->listen(QHostAddress::LocalHost, 0));
        port = server->port();
        watch = std::make_unique<SafetyWatch>(feed, [] { return safetyWatchOptionsFrom(prog().settings); }, launcher, clock);
    }
    void TearDown() override
    {
        watch.reset();
        server.reset();
        resetProgram();
    }
    // One live record at the current time.
    void record(const Observation &base)
    {
        Observation o = base;
        o.utc = now;
        // The board tells its changes of state; the feed keeps its last record.
        if (feed.status().board.state != BoardState::Live)
            feed.setBoard(BoardStatus{BoardState::Live, "/dev/ttyUSB0", "", t0, now});
        feed.publish(o);
    }
    QJsonObject get(const QByteArray &path, const QByteArray &query = "ClientID=5")
    {
        const HttpAnswer a = httpGet(port, "/api/v1/" + path + "?" + query);
        EXPECT_EQ(a.status, 200) << path.constData() << ": " << a.body.constData();
        return a.json();
    }
    QJsonObject put(const QByteArray &path, const QByteArray &form)
    {
        const HttpAnswer a = httpPut(port, "/api/v1/" + path, form);
        EXPECT_EQ(a.status, 200) << path.constData() << ": " << a.body.constData();
        return a.json();
    }
    void connectBoth()
    {
        put("observingconditions/0/connect", "ClientID=5");
        put("safetymonitor/0/connected", "Connected=True&ClientID=5");
    }
    static int error(const QJsonObject &o) { return o.value("ErrorNumber").toInt(); }
    double value(const QByteArray &member, const QByteArray &query = "ClientID=5")
    {
        return get("observingconditions/0/" + member, query).value("Value").toDouble();
    }
    int errorOf(const QByteArray &member, const QByteArray &query = "ClientID=5")
    {
        return error(get("observingconditions/0/" + member, query));
    }

    QDateTime now = t0;
    WeatherState weather;
    FocuserContext focuser{weather, prog().settings};
    WatchFeed feed;
    FocuserDevice *focuserDevice = nullptr;
    NoPrograms launcher;
    std::unique_ptr<AlpacaServer> server;
    std::unique_ptr<SafetyWatch> watch;
    quint16 port = 0;
};

TEST_F(AlpacaWeather, ThreeDevicesOnOneEndpointWithOneTransactionCounter)
{
    const QJsonArray devices = httpGet(port, "/management/v1/configureddevices").json().value("Value").toArray();
    ASSERT_EQ(devices.size(), 3);
    QStringList seen;
    for (const QJsonValue &d : devices)
        seen << d["DeviceType"].toString() + "/" + QString::number(d["DeviceNumber"].toInt()) + "/" + d["UniqueID"].toString();
    EXPECT_EQ(seen, (QStringList{"Focuser/0/" + focuserDevice->uniqueId(), "ObservingConditions/0/oc-uid",
                                 "SafetyMonitor/0/sm-uid"}));

    const qint64 first = get("focuser/0/name").value("ServerTransactionID").toInteger();
    EXPECT_EQ(get("safetymonitor/0/name").value("ServerTransactionID").toInteger(), first + 1);
    EXPECT_EQ(get("observingconditions/0/name", "clienttransactionid=77").value("ClientTransactionID").toInteger(), 77);
    EXPECT_EQ(put("safetymonitor/0/connect", "clienttransactionid=78").value("ClientTransactionID").toInteger(), 0);

    for (const char *bad : {"/api/v1/safetymonitor/1/issafe", "/api/v1/SafetyMonitor/0/issafe", "/api/v1/weather/0/name",
                            "/api/v1/safetymonitor/0/IsSafe", "/api/v1/observingconditions/0/bogus"})
        EXPECT_EQ(httpGet(port, bad).status, 400) << bad;
    EXPECT_EQ(httpGet(port, "/setup/v1/safetymonitor/0/setup").status, 200);
    EXPECT_EQ(httpGet(port, "/setup/v1/observingconditions/0/setup").status, 200);
}

TEST_F(AlpacaWeather, CommonMembersAndAConnectionPerClient)
{
    EXPECT_EQ(get("observingconditions/0/interfaceversion").value("Value").toInt(), 2);
    EXPECT_EQ(get("safetymonitor/0/interfaceversion").value("Value").toInt(), 3);
    EXPECT_EQ(get("safetymonitor/0/supportedactions").value("Value").toArray(), QJsonArray{"SafetyEvents"});
    EXPECT_EQ(get("observingconditions/0/supportedactions").value("Value").toArray(), QJsonArray());
    EXPECT_FALSE(get("safetymonitor/0/connecting").value("Value").toBool());

    // Not connected: the value members and DeviceState refuse with NotConnected, IsSafe never true.
    QJsonObject o = get("safetymonitor/0/issafe");
    EXPECT_EQ(error(o), 1031);
    EXPECT_EQ(o.value("Value"), QJsonValue(false));
    EXPECT_EQ(errorOf("temperature"), 1031);
    // DeviceState never fails: nothing known to this client is an empty list.
    EXPECT_EQ(get("safetymonitor/0/devicestate").value("Value").toArray(), QJsonArray());

    connectBoth();
    EXPECT_TRUE(get("safetymonitor/0/connected").value("Value").toBool());
    EXPECT_FALSE(get("safetymonitor/0/connected", "ClientID=6").value("Value").toBool());
    put("safetymonitor/0/disconnect", "ClientID=6"); // not this client's connection to end
    o = get("safetymonitor/0/issafe"); // the weather not judged yet: never safe
    EXPECT_EQ(error(o), 0);
    EXPECT_EQ(o.value("Value"), QJsonValue(false));
    watch->judgeNow();
    const QJsonArray state = get("safetymonitor/0/devicestate").value("Value").toArray();
    ASSERT_EQ(state.size(), 2);
    EXPECT_EQ(state[0]["Name"].toString(), "IsSafe");
    EXPECT_EQ(state[1]["Name"].toString(), "TimeStamp");
    EXPECT_EQ(state[1]["Value"].toString(), "2026-12-07T22:00:00.0000000Z");

    EXPECT_EQ(httpPut(port, "/api/v1/safetymonitor/0/connected", "Connected=asdqwe").status, 400);
    EXPECT_EQ(httpPut(port, "/api/v1/safetymonitor/0/connected", "connected=true").status, 400);
    EXPECT_EQ(httpGet(port, "/api/v1/safetymonitor/0/issafe?ClientID=-1").status, 400);
    EXPECT_EQ(error(put("safetymonitor/0/action", "Action=Unknown&Parameters=&ClientID=5")), 0x40C);
    EXPECT_EQ(error(put("observingconditions/0/commandblind", "Command=x&Raw=false")), 1024);
    put("safetymonitor/0/connected", "Connected=false&ClientID=5");
    EXPECT_EQ(error(get("safetymonitor/0/issafe")), 1031);
}

TEST_F(AlpacaWeather, IsSafeTurnsAtOnceAndBackOnlyAfterTheDelay)
{
    prog().settings.SafeDelayMinutes = 10;
    connectBoth();
    watch->start(60000); // judged by the test; the first judgement finds no board
    EXPECT_FALSE(get("safetymonitor/0/issafe").value("Value").toBool());
    const Observation clear = withReadings({});
    record(clear);
    now = t0.addSecs(600);
    record(clear);
    EXPECT_TRUE(get("safetymonitor/0/issafe").value("Value").toBool());

    Observation wet = clear;
    wet.raining = true;
    now = t0.addSecs(601);
    record(wet);
    EXPECT_FALSE(get("safetymonitor/0/issafe").value("Value").toBool());
    const QString events = put("safetymonitor/0/action", "Action=safetyevents&ClientID=5").value("Value").toString();
    const QJsonArray list = QJsonDocument::fromJson(events.toUtf8()).array();
    ASSERT_EQ(list.size(), 1) << events.toStdString();
    EXPECT_EQ(list[0]["Type"].toString(), "RainRate");
    EXPECT_EQ(list[0]["EventTimeUtc"].toString(), "2026-12-07T22:10:01.0000000Z");

    now = t0.addSecs(602);
    record(clear);
    put("safetymonitor/0/connected", "Connected=true&ClientID=9"); // a new client changes nothing
    now = t0.addSecs(1200); // the rain was last seen at 601
    record(clear);
    EXPECT_FALSE(get("safetymonitor/0/issafe").value("Value").toBool());
    now = t0.addSecs(1201);
    record(clear);
    EXPECT_TRUE(get("safetymonitor/0/issafe").value("Value").toBool());

    // The board is unplugged: no more records, and the once-a-second judgement finds it stale.
    now = now.addSecs(29);
    watch->judgeNow();
    EXPECT_TRUE(get("safetymonitor/0/issafe").value("Value").toBool());
    now = now.addSecs(1);
    watch->judgeNow();
    EXPECT_FALSE(get("safetymonitor/0/issafe").value("Value").toBool());
    EXPECT_EQ(errorOf("temperature"), 0x40B);
}

TEST_F(AlpacaWeather, ReadingsInStandardUnitsAndOnlyPhysicalValues)
{
    connectBoth();
    EXPECT_EQ(errorOf("temperature"), 0x40B); // no live record yet
    EXPECT_EQ(get("observingconditions/0/devicestate").value("Value").toArray(), QJsonArray());
    EXPECT_EQ(value("timesincelastupdate", "SensorName=&ClientID=5"), -1);

    Observation humid;
    humid.ambientC = 26;
    humid.skyC = 5.5;
    humid.ambientMinusSkyC = 20.5; // halfway between FullCloudyDegC 19 and PartCloudyDegC 22
    humid.humidityPercent = 100;
    humid.dewPointC = 26;
    humid.windAverage = 10;
    humid.windGust = -10; // no wind sample yet
    record(withReadings(humid, 50));
    EXPECT_EQ(value("humidity"), 100);
    EXPECT_EQ(value("dewpoint"), 26);
    EXPECT_EQ(value("temperature"), 26);
    EXPECT_EQ(value("skytemperature"), 5.5);
    EXPECT_EQ(value("cloudcover"), 50);
    EXPECT_NEAR(value("windspeed"), 4.4704, 1e-9);
    EXPECT_EQ(errorOf("windgust"), 0x40B);
    EXPECT_EQ(value("rainrate"), 0);
    EXPECT_EQ(value("averageperiod"), 0);

    for (const char *missing : {"pressure", "winddirection", "skybrightness", "skyquality", "starfwhm"})
        EXPECT_EQ(errorOf(missing), 1024) << missing;
    EXPECT_EQ(errorOf("sensordescription", "SensorName=Pressure&ClientID=5"), 1024);
    EXPECT_EQ(errorOf("timesincelastupdate", "SensorName=StarFWHM&ClientID=5"), 1024);
    EXPECT_EQ(errorOf("sensordescription", "SensorName=Moisture&ClientID=5"), 0x401);
    EXPECT_FALSE(get("observingconditions/0/sensordescription", "sensorname=RainRate&ClientID=5")
                     .value("Value").toString().isEmpty());
    EXPECT_EQ(httpGet(port, "/api/v1/observingconditions/0/sensordescription?ClientID=5").status, 400);

    EXPECT_EQ(error(put("observingconditions/0/averageperiod", "AveragePeriod=0&ClientID=5")), 0);
    EXPECT_EQ(error(put("observingconditions/0/averageperiod", "AveragePeriod=1.5&ClientID=5")), 0x401);
    EXPECT_EQ(httpPut(port, "/api/v1/observingconditions/0/averageperiod", "AveragePeriod=abc").status, 400);
    EXPECT_EQ(httpPut(port, "/api/v1/observingconditions/0/averageperiod", "ClientID=5").status, 400);

    // The "no humidity" marker is no reading; the humidity keeps its last update time.
    now = t0.addSecs(10);
    Observation marker = withReadings(humid, 50);
    clearHumidityReadings(marker);
    marker.raining = true;
    marker.readings.set(Quantity::Gust, 12);
    record(marker);
    EXPECT_EQ(errorOf("humidity"), 0x40B);
    EXPECT_EQ(errorOf("dewpoint"), 0x40B);
    EXPECT_EQ(value("rainrate"), kRainRateWhileWet);
    EXPECT_NEAR(value("windgust"), 12 * 0.44704, 1e-9);
    now = t0.addSecs(12);
    EXPECT_EQ(value("timesincelastupdate", "SensorName=Humidity&ClientID=5"), 12);
    EXPECT_EQ(value("timesincelastupdate", "SensorName=&ClientID=5"), 2);
    QStringList names;
    for (const QJsonValue &item : get("observingconditions/0/devicestate").value("Value").toArray())
        names << item["Name"].toString();
    EXPECT_EQ(names, (QStringList{"CloudCover", "RainRate", "SkyTemperature", "Temperature", "WindGust", "WindSpeed",
                                  "TimeStamp"}));

    // The board is lost: no values, and the time since the last update keeps growing.
    feed.setBoard(BoardStatus{BoardState::Lost, "/dev/ttyUSB0", "I/O error", now, t0.addSecs(10)});
    now = t0.addSecs(100);
    EXPECT_EQ(errorOf("temperature"), 0x40B);
    EXPECT_EQ(value("timesincelastupdate", "SensorName=Temperature&ClientID=5"), 90);
}

// The focuser's Temperature (the wind) takes the same freshness rule as the
// observing conditions: no reading yet, a silent board and a lost one give
// InvalidOperation rather than the last value.
TEST_F(AlpacaWeather, FocuserTemperatureAnswersOnlyWhileReadingsAreFresh)
{
    const auto focuserTemperature = [&] { return get("focuser/0/temperature"); };
    connectBoth();
    put("focuser/0/connected", "Connected=true&ClientID=5");
    weather.WindSpeed = 6.5;
    QJsonObject o = focuserTemperature();
    EXPECT_EQ(error(o), 0x40B); // no record yet
    EXPECT_EQ(o.value("Value").toDouble(-1), 0.0);
    EXPECT_TRUE(o.value("ErrorMessage").toString().contains("no live reading yet"));

    record(withReadings({}));
    EXPECT_EQ(focuserTemperature().value("Value").toDouble(), 6.5);
    EXPECT_EQ(errorOf("temperature"), 0);

    now = t0.addSecs(prog().settings.StaleAfterSeconds); // silent from this age on
    EXPECT_EQ(error(focuserTemperature()), 0x40B);
    EXPECT_EQ(errorOf("temperature"), 0x40B);

    now = t0.addSecs(1);
    record(Observation{});
    EXPECT_EQ(error(focuserTemperature()), 0);
    feed.setBoard(BoardStatus{BoardState::Lost, "/dev/ttyUSB0", "I/O error", now, now});
    o = focuserTemperature();
    EXPECT_EQ(error(o), 0x40B);
    EXPECT_EQ(o.value("ErrorSource").toString(), "ASCOM Pellon focuser");
}
