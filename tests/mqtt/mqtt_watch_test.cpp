// The whole program in this process on a real broker: a pulled board, a
// broker that goes away and comes back, settings that cannot work.
#include "app/app.h"
#include "app/command_line.h"
#include "app/desktop/desktop_app.h"
#include "core/settings.h"
#include "message_recorder.h"
#include "mqtt/mqtt_publisher.h"
#include "mqtt_peers.h"
#include "station/board_simulator.h"
#include "station/station_link.h"
#include "temp_profile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <ctime>
#include <gtest/gtest.h>

namespace {

const QString kPrefix = QStringLiteral("tarnwick/watch");

class WatchOnBroker : public ::testing::Test {
protected:
    Broker broker;
    std::unique_ptr<TempProfile> profile;
    std::unique_ptr<MessageRecorder> messages;
    std::unique_ptr<BoardSimulator> sim;
    std::unique_ptr<App> app;

    void SetUp() override { fresh(); }
    void TearDown() override
    {
        app.reset();
        resetProgram();
    }
    // A new profile pointing at the broker, no program yet.
    void fresh()
    {
        app.reset();
        resetProgram();
        messages.reset(); // gives the handler back before the next one takes it
        messages = std::make_unique<MessageRecorder>();
        profile = std::make_unique<TempProfile>();
        writeDefaultsIfNeeded(*profile->store);
        profile->store->writeValue(kDriverId, QStringLiteral("StaleAfterSeconds"), QStringLiteral("2"));
        setMqtt("Enabled", "True");
        setMqtt("Host", "127.0.0.1");
        setMqtt("Port", QString::number(broker.port));
        setMqtt("TopicPrefix", kPrefix);
    }
    void setMqtt(const char *key, const QString &value)
    {
        profile->store->writeValue(kDriverId, QLatin1String(key), value, kMqttSubKey);
    }
    void start()
    {
        sim = std::make_unique<BoardSimulator>(7);
        ASSERT_TRUE(sim->start()) << qPrintable(sim->errorText());
        app = Main(parseCommandLine({"tarnwick", "--serial-device", sim->slavePath(), "--no-alpaca", "--no-archive",
                                     "--log-dir", profile->dir.path()}),
                   *profile->store);
        ASSERT_TRUE(QTest::qWaitFor([&] { return app->link->board().state == BoardState::Live; }, 5000));
    }
    QStringList mqttMessages() const { return messages->texts.filter(QStringLiteral("MQTT")); }
    // Times (ms) of the observations from now on.
    std::shared_ptr<std::vector<qint64>> observationTimes()
    {
        auto times = std::make_shared<std::vector<qint64>>();
        app->watch.listen([times](const WatchStatus &, WatchFeed::Change c) {
            if (c == WatchFeed::Change::Observation)
                times->push_back(QDateTime::currentMSecsSinceEpoch());
        });
        return times;
    }
};

bool isValueTopic(const QString &topic)
{
    const QString last = topic.section(QLatin1Char('/'), -1);
    return last != QLatin1String("board") && last != QLatin1String("safety") && last != QLatin1String("status");
}

TEST_F(WatchOnBroker, PulledBoardSendsNoValuesAndTheVerdictNamesTheBoard)
{
    ASSERT_TRUE(broker.start());
    Subscriber sub(broker.port, kPrefix + QStringLiteral("/#"));
    start();
    ASSERT_GE(sub.waitFor(kPrefix + QStringLiteral("/observation"), 10000), 0);

    sim.reset();
    const int lost = sub.waitFor(kPrefix + QStringLiteral("/board"), 5000, 0,
                                 [](const QByteArray &p) { return p.contains("\"state\":\"lost\""); });
    ASSERT_GE(lost, 0);
    const QJsonObject board = QJsonDocument::fromJson(sub.got[size_t(lost)].payload).object();
    EXPECT_TRUE(board.value(QStringLiteral("problem")).toBool());
    EXPECT_FALSE(board.value(QStringLiteral("why")).toString().isEmpty());

    const int unsafe = sub.waitFor(kPrefix + QStringLiteral("/safety"), 5000, size_t(lost), [](const QByteArray &p) {
        const QJsonObject s = QJsonDocument::fromJson(p).object();
        const QJsonArray reasons = s.value(QStringLiteral("reasons")).toArray();
        return s.value(QStringLiteral("state")) == QStringLiteral("unsafe") && !reasons.isEmpty()
               && reasons.first().toObject().value(QStringLiteral("name")) == QStringLiteral("board");
    });
    EXPECT_GE(unsafe, 0);
    QTest::qWait(2500); // cycles go on with the old record in hand
    EXPECT_EQ(sub.count([](const Delivery &d) { return isValueTopic(d.topic); }, size_t(lost)), 0);
}

TEST_F(WatchOnBroker, BrokerAwayTwentySecondsTheWatchKeepsTimeAndTheLinkComesBack)
{
    ASSERT_TRUE(broker.start());
    start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return app->mqtt && app->mqtt->client().isConnected(); }, 10000));
    const auto times = observationTimes();
    broker.stop();
    QTest::qWait(20000);
    ASSERT_GE(times->size(), 18u);
    qint64 longest = 0;
    for (size_t i = 1; i < times->size(); ++i)
        longest = std::max(longest, (*times)[i] - (*times)[i - 1]);
    EXPECT_LT(longest, 1500); // the cycle's period, whatever the link does
    EXPECT_EQ(mqttMessages().size(), 1) << qPrintable(mqttMessages().join('\n'));

    // A broker without memory: what arrives was sent again after reconnecting.
    ASSERT_TRUE(broker.start());
    Subscriber sub(broker.port);
    ASSERT_GE(sub.waitFor(kPrefix + QStringLiteral("/status"), 40000, 0, [](const QByteArray &p) { return p == "online"; }), 0);
    EXPECT_GE(sub.waitFor(QStringLiteral("homeassistant/binary_sensor/tarnwick_watch/safety/config"), 5000), 0);
    EXPECT_GE(sub.waitFor(kPrefix + QStringLiteral("/board"), 5000), 0);
    EXPECT_GE(sub.waitFor(kPrefix + QStringLiteral("/observation"), 5000), 0);
    EXPECT_EQ(mqttMessages().size(), 1);
}

TEST_F(WatchOnBroker, SettingsThatCannotWorkAreToldOnceAndTheWatchGoesOn)
{
    QTemporaryDir dir;
    const QString badCa = dir.path() + QStringLiteral("/ca.pem");
    QFile f(badCa);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a certificate\n");
    f.close();
    struct Case {
        const char *key;
        QString value;
        QString said;
    };
    const Case cases[] = {{"Port", QStringLiteral("0"), QStringLiteral("port 0")},
                          {"Host", QStringLiteral("no-such-host.invalid"), QStringLiteral("no-such-host.invalid")},
                          {"CaFile", badCa, QStringLiteral("CA file")},
                          // Nobody listens: the TLS connect fails without a spinning loop.
                          {"Port", QString::number(freeLoopbackPort()), QStringLiteral("cannot connect")}};
    for (const Case &c : cases) {
        fresh();
        setMqtt("Host", QStringLiteral("localhost")); // a name: the TLS connect looks it up itself
        setMqtt("Tls", QStringLiteral("True"));
        setMqtt(c.key, c.value);
        start();
        const auto times = observationTimes();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !mqttMessages().isEmpty(); }, 15000)) << c.key;
        QTest::qWait(1500); // tries again meanwhile, quietly
        const size_t before = times->size();
        const std::clock_t processorBefore = std::clock();
        QTest::qWait(1500);
        EXPECT_LT(double(std::clock() - processorBefore) / CLOCKS_PER_SEC, 0.5) << c.key; // no busy loop
        EXPECT_GE(times->size(), before + 1) << c.key; // the watch goes on
        EXPECT_EQ(mqttMessages().size(), 1) << qPrintable(mqttMessages().join('\n'));
        EXPECT_TRUE(mqttMessages().value(0).contains(c.said)) << qPrintable(mqttMessages().value(0));
        EXPECT_EQ(app->link->board().state, BoardState::Live);
    }
}

TEST(MqttTopics, PrefixFollowsTheStationIdAndRefusesWildcards)
{
    EXPECT_EQ(defaultTopicPrefix(QStringLiteral("KXXTOWN99"), QStringLiteral("dome-pc")), QStringLiteral("tarnwick/dome-pc"));
    EXPECT_EQ(defaultTopicPrefix(QStringLiteral("My Site/2"), QStringLiteral("x")), QStringLiteral("tarnwick/My_Site_2"));
    Settings s;
    s.MqttTopicPrefix = QStringLiteral("obs/+/weather");
    QString problem;
    mqttOptionsFrom(s, QStringLiteral("x"), problem);
    EXPECT_TRUE(problem.contains(QStringLiteral("wildcard")));
}

} // namespace
