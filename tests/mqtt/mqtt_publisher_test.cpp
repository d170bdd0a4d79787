// The publisher on a real broker, seen by real subscribers: every entity's
// state as Home Assistant reads it through its discovery config (retained
// flag, unit, polarity), values only while the board's readings are of now,
// announcements that do not flood the broker, refusals told in plain words.
#include "mqtt/mqtt_publisher.h"
#include "mqtt_peers.h"
#include "observation_fixture.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

const QString kDiscovery = QStringLiteral("homeassistant");

QJsonObject jsonOf(const QByteArray &payload)
{
    return QJsonDocument::fromJson(payload).object();
}

Observation observationNow(bool raining)
{
    Observation o;
    o.utc = QDateTime::currentDateTimeUtc();
    o.ambientC = 12.5;
    o.skyC = -18.5;
    o.ambientMinusSkyC = 31;
    o.humidityPercent = 71;
    o.dewPointC = 7.4;
    o.windCurrent = 9.5;
    o.windAverage = 8.5;
    o.windGust = 14.5;
    o.skyBrightness = 4321;
    o.raining = raining;
    return withReadings(o, 12);
}

SafetyVerdict verdict(bool safe)
{
    SafetyVerdict v;
    v.known = true;
    v.safe = safe;
    v.changed = QDateTime::currentDateTimeUtc();
    if (!safe)
        v.unsafe = {{"rain", "Rain", v.changed}};
    return v;
}

// What Home Assistant makes of a binary sensor's payload through its config:
// the templates our configs use, then payload_on/payload_off.
std::optional<bool> binaryState(const QJsonObject &config, const QByteArray &payload)
{
    QString value = QString::fromUtf8(payload);
    const QString tmpl = config.value("value_template").toString();
    if (!tmpl.isEmpty()) {
        const QRegularExpressionMatch field = QRegularExpression(QStringLiteral("value_json\\.(\\w+)")).match(tmpl);
        if (!field.hasMatch())
            return std::nullopt;
        const QJsonValue v = jsonOf(payload).value(field.captured(1));
        if (tmpl.contains(QLatin1String("'ON' if")))
            value = v.toBool() ? QStringLiteral("ON") : QStringLiteral("OFF");
        else
            value = v.toString();
    }
    if (value == config.value("payload_on").toString(QStringLiteral("ON")))
        return true;
    if (value == config.value("payload_off").toString(QStringLiteral("OFF")))
        return false;
    return std::nullopt;
}

class PublisherOnBroker : public ::testing::Test {
protected:
    Broker broker;
    WatchFeed feed;
    QStringList reports;

    void SetUp() override { ASSERT_TRUE(broker.start()) << broker.log().constData(); }

    MqttOptions options(const QString &prefix) const
    {
        MqttOptions o;
        o.host = QStringLiteral("127.0.0.1");
        o.port = broker.port;
        o.topicPrefix = prefix;
        o.discoveryPrefix = kDiscovery;
        o.staleAfterSeconds = 2;
        return o;
    }
    std::unique_ptr<MqttPublisher> connected(const MqttOptions &o)
    {
        auto p = std::make_unique<MqttPublisher>(o, feed, QStringLiteral("test"), [this](const QString &t) { reports << t; });
        EXPECT_TRUE(p->start());
        EXPECT_TRUE(QTest::qWaitFor([&] { return p->client().isConnected(); }, 5000)) << qPrintable(reports.join('\n'));
        return p;
    }
    // The station's cycle: a record of now every 400 ms with the same values.
    void feedFor(int ms, bool raining = false)
    {
        QElapsedTimer t;
        t.start();
        do {
            feed.publish(observationNow(raining));
            QTest::qWait(400);
        } while (t.elapsed() < ms);
    }
    void liveBoard()
    {
        BoardStatus b;
        b.state = BoardState::Live;
        feed.setBoard(b);
    }
};

bool isValueTopic(const QString &topic)
{
    const QString last = topic.section(QLatin1Char('/'), -1);
    return !QStringList{"board", "safety", "status", "observation", "config"}.contains(last);
}

TEST_F(PublisherOnBroker, EveryEntityReadsRightThroughItsDiscoveryConfig)
{
    struct Case {
        bool safe;
        bool retainValues; // the Retain setting
    };
    for (const Case c : {Case{true, false}, Case{false, true}}) {
        const QString prefix = QStringLiteral("tarnwick/case%1").arg(int(c.safe));
        const QString node = QString(prefix).replace('/', '_');
        MqttOptions o = options(prefix);
        o.retain = c.retainValues;
        liveBoard();
        feed.setSafety(verdict(c.safe));
        feed.publish(observationNow(!c.safe));
        const auto publisher = connected(o);
        feedFor(500, !c.safe);

        // A controller or Home Assistant connecting now: first what the broker kept...
        Subscriber sub(broker.port);
        feedFor(2500, !c.safe); // ...then a stale period of unchanged values
        const int obsAt = sub.waitFor(prefix + QStringLiteral("/observation"), 1000);
        ASSERT_GE(obsAt, 0);
        const QJsonObject obs = jsonOf(sub.got[size_t(obsAt)].payload);
        const QJsonObject units = obs.value("units").toObject();
        std::map<QString, QByteArray> lastState;
        int entities = 0;
        for (const Delivery &d : sub.got) {
            if (!d.topic.startsWith(kDiscovery + '/') || !d.topic.contains('/' + node + '/'))
                continue;
            ++entities;
            EXPECT_TRUE(d.retained) << qPrintable(d.topic);
            const QJsonObject config = jsonOf(d.payload);
            const QString object = d.topic.section('/', -2, -2);
            const QString state = config.value("state_topic").toString();
            const bool stateEntity = object == "safety" || object == "board";
            const auto on = [&](const Delivery &x) { return x.topic == state; };
            const auto retained = [&](const Delivery &x) { return x.topic == state && x.retained; };
            EXPECT_EQ(sub.count(retained), stateEntity || c.retainValues ? 1 : 0) << qPrintable(object);
            ASSERT_GE(sub.count(on), 1) << qPrintable(object) << " not sent again within the stale period";
            QByteArray payload;
            for (const Delivery &x : sub.got)
                if (on(x))
                    payload = x.payload;
            lastState[object] = payload;
            if (d.topic.contains(QLatin1String("/binary_sensor/"))) {
                const bool expected = object == "safety" ? !c.safe : object == "raining" ? !c.safe : false;
                EXPECT_EQ(binaryState(config, payload), std::optional<bool>(expected)) << qPrintable(object) << " " << payload.constData();
                continue;
            }
            EXPECT_EQ(config.value("unit_of_measurement").toString(), units.value(object).toString()) << qPrintable(object);
            bool number = false;
            payload.toDouble(&number);
            EXPECT_TRUE(number) << qPrintable(object) << " " << payload.constData();
        }
        EXPECT_EQ(entities, 12);
        EXPECT_DOUBLE_EQ(lastState["sky_minus_ambient_c"].toDouble(), lastState["sky_c"].toDouble() - lastState["ambient_c"].toDouble());
        EXPECT_DOUBLE_EQ(lastState["wind_avg"].toDouble(), 8.5); // as the station holds it, in the unit declared
    }
}

TEST_F(PublisherOnBroker, ValuesGoOutOnlyWhileTheBoardsReadingsAreOfNow)
{
    struct Case {
        const char *name;
        BoardState board;
        int ageSeconds;
        bool sent;
    };
    const Case cases[] = {{"live", BoardState::Live, 0, true}, {"lost", BoardState::Lost, 0, false},
                          {"stale", BoardState::Live, 5, false}};
    for (const Case &c : cases) {
        const QString prefix = QStringLiteral("tarnwick/%1").arg(QLatin1String(c.name));
        const auto publisher = connected(options(prefix));
        Subscriber sub(broker.port, prefix + QStringLiteral("/#"));
        QTest::qWait(300);
        BoardStatus b;
        b.state = c.board;
        feed.setBoard(b);
        for (int i = 0; i < 3; ++i) {
            Observation o = observationNow(false);
            o.utc = o.utc.addSecs(-c.ageSeconds);
            feed.publish(o);
            QTest::qWait(300);
        }
        QTest::qWait(300);
        const int values = sub.count([](const Delivery &d) { return isValueTopic(d.topic); });
        EXPECT_EQ(values > 0, c.sent) << c.name << ": " << values << " values";
    }
}

TEST_F(PublisherOnBroker, ABurstOfAnnouncementsGetsOneResendOfTheConfigs)
{
    MqttOptions o = options(QStringLiteral("tarnwick/burst"));
    o.rediscoverySeconds = 3;
    const auto publisher = connected(o);
    Subscriber sub(broker.port, kDiscovery + QStringLiteral("/#"));
    const QString config = kDiscovery + QStringLiteral("/binary_sensor/tarnwick_burst/safety/config");
    ASSERT_GE(sub.waitFor(config, 3000), 0);
    const size_t before = sub.got.size();
    QProcess announcer;
    announcer.start(QStringLiteral("mosquitto_pub"), {"-h", "127.0.0.1", "-p", QString::number(broker.port), "-t",
                                                      kDiscovery + QStringLiteral("/status"), "-l"});
    ASSERT_TRUE(announcer.waitForStarted(3000));
    announcer.write(QByteArray("online\n").repeated(200));
    announcer.closeWriteChannel();
    ASSERT_TRUE(announcer.waitForFinished(5000));
    QTest::qWait(4500);
    EXPECT_EQ(sub.count([&](const Delivery &d) { return d.topic == config; }, before), 1);
}

TEST_F(PublisherOnBroker, RefusalsAreToldInPlainWords)
{
    Broker guarded;
    ASSERT_TRUE(guarded.requireLogin(QStringLiteral("dome"), QStringLiteral("right")));
    ASSERT_TRUE(guarded.start()) << guarded.log().constData();
    struct Case {
        quint16 port;
        bool tls;
        const char *said;
    };
    const Case cases[] = {
        {guarded.port, false, "refused the login as \"dome\": not authorised (Mqtt/User, Mqtt/Password)"},
        {broker.port, true, "before the TLS handshake ended: does port"}};
    for (const Case &c : cases) {
        reports.clear();
        MqttOptions o = options(QStringLiteral("tarnwick/refused"));
        o.port = c.port;
        o.tls = c.tls;
        o.user = QStringLiteral("dome");
        o.password = QStringLiteral("wrong");
        MqttPublisher publisher(o, feed, QStringLiteral("test"), [this](const QString &t) { reports << t; });
        ASSERT_TRUE(publisher.start());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !reports.isEmpty(); }, 10000)) << c.said;
        EXPECT_TRUE(reports[0].contains(QLatin1String(c.said))) << qPrintable(reports[0]);
        EXPECT_FALSE(reports[0].contains(QLatin1String(".;"))) << qPrintable(reports[0]);
    }
}

} // namespace
